// The preview on the headless sway desktop: it leaves the keyboard where the user
// types, shows no stale hover after ✕, asks Qt's Wayland platform nothing it lacks,
// and the real executable's windows carry the application id.
#include "VisibleWindow.h"
#include "WaylandSession.h"
#include "platform/DesktopBackend.h"
#include "preview/PreviewWindowController.h"

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
    if (match(node)) return node;
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(key).toArray())
            if (QJsonObject found = findNode(child.toObject(), match); !found.isEmpty()) return found;
    return {};
}
QString focusedWindow(const test::WaylandSession& session) {
    return findNode(session.swayQuery("get_tree").object(), [](const QJsonObject& n) {
               return n.value("focused").toBool();
           }).value("name").toString();
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
    if (previousHandler) previousHandler(type, context, text);
}

ImageRef picture() {
    QImage i(400, 300, QImage::Format_RGB32);
    i.fill(qRgb(40, 160, 90));
    return makeImage(i);
}

} // namespace

TEST(PreviewOnWayland, LeavesTheFocusShowsNoStaleHoverAndAsksForNoWindowOpacity) {
    test::WaylandSession* session = test::sharedWayland();
    ASSERT_NE(session, nullptr);
    {
        QMutexLocker lock(&messagesLock);
        messages.clear();
    }
    previousHandler = qInstallMessageHandler(recordMessage);

    QLineEdit editor;
    editor.setWindowTitle(QStringLiteral("Typing here"));
    editor.resize(400, 40);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    ASSERT_TRUE(QTest::qWaitFor([&] { return focusedWindow(*session) == "Typing here"; }, 5000))
        << focusedWindow(*session).toStdString();

    const std::shared_ptr<DesktopBackend> desktop = loadDesktopBackend();
    std::unique_ptr<PreviewWindowController> controller;
    PreviewActions actions;
    actions.dragOptions = [] { return ImageExportOptions::drag(ImageExportProfile::standard, CaptureQualityPreset::medium); };
    actions.dismiss = [&controller] { controller->hideWithFadeSlide(); };
    controller = std::make_unique<PreviewWindowController>(desktop->screens, actions);
    controller->show(picture(), std::nullopt);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
    QRect where;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(where = session->windowRect(previewTitle)).isEmpty(); }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(focusedWindow(*session), "Typing here") << "the compositor's keyboard focus stays";
    EXPECT_EQ(QGuiApplication::focusWindow(), editor.windowHandle());

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
    for (const QString& m : messages) EXPECT_FALSE(m.contains("opacity", Qt::CaseInsensitive)) << m.toStdString();
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
    QProcess second;
    second.setProcessEnvironment(env);
    // The second start shows the first one's settings window (retrying while it starts).
    bool shown = false;
    for (int attempt = 0; attempt < 20 && !shown; ++attempt) {
        second.start(LUMIVANE_BINARY, {});
        (void)QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000);
        shown = second.exitCode() == 0;
        if (!shown) QTest::qWait(300);
    }
    EXPECT_TRUE(shown) << second.readAllStandardError().toStdString();
    QJsonObject settings;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        settings = findNode(session->swayQuery("get_tree").object(), [&](const QJsonObject& n) {
            return n.value("pid").toInt() == int(app.processId()) && n.value("name").toString() == "設定";
        });
        return !settings.isEmpty();
    }, 10000));
    EXPECT_EQ(settings.value("app_id").toString(), "io.github.lumivane.Lumivane");
    app.terminate();
    EXPECT_TRUE(app.waitForFinished(10000));
}
