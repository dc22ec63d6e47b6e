// The preview on the headless sway desktop: it leaves the keyboard where the user
// types, shows no stale hover after ✕, asks Qt's Wayland platform nothing it lacks,
// and the real executable's windows carry the application id.
#include "VisibleWindow.h"
#include "WaylandSession.h"
#include "platform/DesktopBackend.h"
#include "preview/PreviewWindowController.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QMutex>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

const QString previewTitle = QStringLiteral("Lumivane プレビュー");

// The sway node with keyboard focus, and a node found by a test.
QJsonObject findNode(const QJsonObject& node, const std::function<bool(const QJsonObject&)>& match) {
    if (match(node))
        return node;
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(key).toArray())
            if (QJsonObject found = findNode(child.toObject(), match); !found.isEmpty())
                return found;
    return {};
}
QString focusedWindow(const test::WaylandSession& session) {
    return findNode(session.swayQuery("get_tree").object(),
                    [](const QJsonObject& n) { return n.value("focused").toBool(); })
        .value("name")
        .toString();
}

// Qt's messages while a test runs.
QMutex messagesLock;
QStringList messages;
QtMessageHandler previousHandler = nullptr;
void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    {
        QMutexLocker lock(&messagesLock);
        messages << text;
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

ImageRef picture() {
    QImage i(400, 300, QImage::Format_RGB32);
    i.fill(qRgb(40, 160, 90));
    return makeImage(i);
}

// A preview with its controller; ✕ hides it as the application does.
struct Preview {
    Preview() {
        desktop = loadDesktopBackend();
        PreviewActions actions;
        actions.dragOptions = [] {
            return ImageExportOptions::drag(ImageExportProfile::standard, CaptureQualityPreset::medium);
        };
        actions.dismiss = [this] { controller->hideWithFadeSlide(); };
        controller = std::make_unique<PreviewWindowController>(desktop->screens, actions);
    }
    std::shared_ptr<DesktopBackend> desktop;
    std::unique_ptr<PreviewWindowController> controller;
};

// A window the user types in, focused by the compositor.
struct TypingWindow {
    explicit TypingWindow(const test::WaylandSession& session) {
        editor.setWindowTitle(QStringLiteral("Typing here"));
        editor.resize(400, 40);
        editor.show();
        focused = QTest::qWaitForWindowExposed(&editor) &&
                  QTest::qWaitFor([&] { return focusedWindow(session) == "Typing here"; }, 5000);
    }
    QLineEdit editor;
    bool focused = false;
};

} // namespace

// sway maps every new toplevel with the keyboard focus unless a no_focus rule of its
// own matches: the panel asks sway for one by its title.
TEST(PreviewOnWayland, LeavesTheKeyboardFocusWhereTheUserTypes) {
    test::WaylandSession* session = test::sharedWayland();
    ASSERT_NE(session, nullptr);
    TypingWindow typing(*session);
    ASSERT_TRUE(typing.focused) << focusedWindow(*session).toStdString();
    Preview preview;
    preview.controller->show(picture(), std::nullopt);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(preview.controller->window()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !session->windowRect(previewTitle).isEmpty(); }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(focusedWindow(*session), "Typing here") << "the compositor's keyboard focus stays";
    EXPECT_EQ(QGuiApplication::focusWindow(), typing.editor.windowHandle());
    preview.controller->removeFromScreen();
}

TEST(PreviewOnWayland, ShowsNoStaleHoverAndAsksForNoWindowOpacity) {
    test::WaylandSession* session = test::sharedWayland();
    ASSERT_NE(session, nullptr);
    {
        QMutexLocker lock(&messagesLock);
        messages.clear();
    }
    previousHandler = qInstallMessageHandler(recordMessage);

    Preview preview;
    auto& controller = preview.controller;
    controller->show(picture(), std::nullopt);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
    QRect where;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(where = session->windowRect(previewTitle)).isEmpty(); }, 5000));

    // Hover, ✕, the pointer elsewhere, the next picture: no controls until it enters again.
    ASSERT_TRUE(session->moveCursor(where.center().x(), where.center().y()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->isHovering(); }, 5000));
    ASSERT_TRUE(session->click(where.x() + 14 + 182 - 35, where.y() + 14 + 35));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isVisible(); }, 5000));
    ASSERT_TRUE(session->moveCursor(1800, 1000));
    controller->show(picture(), std::nullopt);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
    QTest::qWait(300);
    EXPECT_FALSE(controller->isHovering());

    // A fade-out from start to end, then once more at once.
    controller->hideWithFadeSlide();
    QTest::qWait(120);
    EXPECT_LT(controller->paintedOpacity(), 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isVisible(); }, 3000));
    controller->show(picture(), std::nullopt);
    controller->removeFromScreen();
    QTest::qWait(200);

    qInstallMessageHandler(previousHandler);
    QMutexLocker lock(&messagesLock);
    for (const QString& m : messages)
        EXPECT_FALSE(m.contains("opacity", Qt::CaseInsensitive)) << m.toStdString();
}

// The running application and its windows carry the one application id: the session
// bus name and the Wayland app_id of the settings window a second start asks for.
TEST(PreviewOnWayland, TheExecutablesWindowsCarryTheApplicationId) {
    test::WaylandSession* session = test::sharedWayland();
    ASSERT_NE(session, nullptr);
    QProcessEnvironment env = session->processEnvironment();
    env.remove("QT_QPA_PLATFORM");
    QProcess app;
    app.setProcessEnvironment(env);
    app.start(LUMIVANE_BINARY, {});
    ASSERT_TRUE(app.waitForStarted(5000));
    // Running: it owns the bus name; a second start then shows its settings window.
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return bus->isServiceRegistered(QStringLiteral("io.github.lumivane.Lumivane")).value(); }, 20000));
    EXPECT_EQ(bus->servicePid(QStringLiteral("io.github.lumivane.Lumivane")).value(), uint(app.processId()));
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(LUMIVANE_BINARY, {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    // Every window of the application (the settings window, the setup guide on a first
    // start) carries the id.
    QJsonArray windows;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            windows = {};
            findNode(session->swayQuery("get_tree").object(), [&](const QJsonObject& n) {
                if (n.value("pid").toInt() == int(app.processId()) && n.contains("app_id"))
                    windows.append(n);
                return false;
            });
            return !windows.isEmpty();
        },
        10000));
    for (const QJsonValue& w : windows)
        EXPECT_EQ(w.toObject().value("app_id").toString(), "io.github.lumivane.Lumivane")
            << w.toObject().value("name").toString().toStdString();
    app.kill();
    app.waitForFinished(5000);
}
