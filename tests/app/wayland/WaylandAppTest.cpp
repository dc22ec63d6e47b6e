// The application on a headless Wayland desktop: hot keys bound through a
// GlobalShortcuts portal (the tests' own, on a private bus: the desktop here has
// none), a capture from its activation shown in the preview, and the answers of a
// desktop that refuses or drops the shortcuts.
#include "FakeGlobalShortcutsPortal.h"
#include "MemorySettingsStore.h"
#include "VisibleWindow.h"
#include "WaylandSession.h"
#include "app/AppModel.h"
#include "app/Application.h"
#include "app/QtClipboardWriter.h"
#include "app/TextRecognitionController.h"
#include "platform/DesktopBackend.h"
#include "platform/wayland/PortalGlobalShortcuts.h"
#include "setup/SetupChecklistView.h"
#include "tray/TrayIcon.h"

#include <QApplication>
#include <QBuffer>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace lumivane;
using test::FakeGlobalShortcutsPortal;
using test::visibleWindow;
using Action = HotKeyService::Action;

namespace {

// The application model on the session's own desktop services, with hot keys through
// the tests' portal.
struct WaylandModel {
    // portal: where hot keys are bound; without one, the session's own desktop decides.
    explicit WaylandModel(FakeGlobalShortcutsPortal* portal) {
        desktop = loadDesktopBackend();
        if (portal) {
            const QDBusConnection bus =
                QDBusConnection::connectToBus(portal->busAddress(), QStringLiteral("test-shortcuts"));
            desktop->makeKeyGrabber = [bus] { return std::make_unique<PortalGlobalShortcuts>(bus); };
        }
        AppServices services = makeDesktopServices(desktop, [this] { return model.get(); });
        services.temporaryDirectory = dir.path();
        auto settings = std::make_unique<AppSettings>(std::make_unique<test::MemorySettingsStore>());
        settings->setDefaultSaveFolderPath(dir.filePath("saved"));
        model = std::make_unique<AppModel>(std::move(settings), services);
    }
    ~WaylandModel() {
        model.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("test-shortcuts"));
    }
    QTemporaryDir dir;
    std::shared_ptr<DesktopBackend> desktop;
    std::unique_ptr<AppModel> model;
};

class WaylandApp : public ::testing::Test {
protected:
    void SetUp() override {
        session = test::sharedWayland();
        ASSERT_NE(session, nullptr);
        ASSERT_TRUE(portal.isRunning()) << portal.errorText().toStdString();
    }
    test::WaylandSession* session = nullptr;
    FakeGlobalShortcutsPortal portal;
};

} // namespace

TEST_F(WaylandApp, PortalBindsBothActionsAndAnActivationCapturesIntoThePreview) {
    WaylandModel app(&portal);
    ASSERT_EQ(app.desktop->windowSystem, WindowSystem::wayland);
    AppModel& model = *app.model;
    model.hotKeys().applySettings();
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.bindings().size() == 2; }, 10000));
    EXPECT_EQ(portal.sessions().size(), 1);
    const auto bindings = portal.bindings();
    // The ids name the actions; the triggers are the stored physical keys (Super+Shift+1 / 2).
    EXPECT_EQ(bindings[0].id, "capture-full-screen");
    EXPECT_EQ(bindings[0].description, "全画面を撮影");
    EXPECT_EQ(bindings[0].preferredTrigger, "SHIFT+LOGO+1");
    EXPECT_EQ(bindings[1].id, "capture-area");
    EXPECT_EQ(bindings[1].preferredTrigger, "SHIFT+LOGO+2");
    QTest::qWait(200);
    EXPECT_TRUE(model.hotKeys().shortcutRegistrationFailures().isEmpty());
    EXPECT_FALSE(model.lastErrorMessage().has_value());

    // Activation (the desktop's own hot key) → a portal screenshot of the output → the preview.
    ASSERT_TRUE(portal.activate("capture-full-screen"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.currentCapture().has_value(); }, 20000))
        << model.lastErrorMessage().value_or("").toStdString();
    EXPECT_FALSE(model.currentCapture()->image->isNull());
    QWidget* preview = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (preview = visibleWindow("Lumivane プレビュー")) != nullptr; }, 5000));

    // Applying the same settings again (each activation of the application does) asks the
    // desktop nothing new: no second session, no second binding.
    model.hotKeys().applySettings();
    model.hotKeys().applySettings();
    QTest::qWait(300);
    EXPECT_EQ(portal.sessions().size(), 1);
    EXPECT_EQ(portal.bindings().size(), 2);

    // A click on the preview's copy pill: the application's own offer, both types.
    QRect where;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(where = session->windowRect("Lumivane プレビュー")).isEmpty(); }, 5000));
    const QPoint copyPill(where.center().x(), where.center().y() - 20);
    bool copied = false;
    for (int attempt = 0; attempt < 3 && !copied; ++attempt) {
        ASSERT_TRUE(session->moveCursor(copyPill.x(), copyPill.y()));
        QTest::qWait(150);
        ASSERT_TRUE(session->click(copyPill.x(), copyPill.y()));
        copied = QTest::qWaitFor([&] { return session->clipboardTypes().contains("text/uri-list"); }, 5000);
    }
    ASSERT_TRUE(copied) << session->clipboardTypes().join(' ').toStdString() << " "
                        << model.lastErrorMessage().value_or("").toStdString();
    EXPECT_TRUE(session->clipboardTypes().contains("text/uri-list"));
    QImage pasted;
    ASSERT_TRUE(pasted.loadFromData(session->clipboardData("image/png"), "PNG"));
    EXPECT_EQ(pasted.size(), model.currentCapture()->image->size());
    model.preview().dismiss();
}

TEST_F(WaylandApp, RefusedAndDroppedShortcutsBecomeRegistrationFailures) {
    WaylandModel app(&portal);
    AppModel& model = *app.model;

    // The user leaves the area shortcut unassigned in the desktop's dialog.
    portal.refuseShortcut("capture-area");
    model.hotKeys().applySettings();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.hotKeys().shortcutRegistrationFailures().size() == 1; }, 10000));
    const auto failure = model.hotKeys().shortcutRegistrationFailures().value(Action::captureArea);
    EXPECT_EQ(failure.status, GlobalKeyGrabber::statusRefused);
    EXPECT_EQ(failure.shortcut, model.settings().shortcut(ShortcutAction::captureArea));
    EXPECT_TRUE(model.lastErrorMessage().has_value());

    // A changed shortcut is bound again in the same session; now both are assigned.
    portal.refuseShortcut({});
    model.settings().setShortcut(Shortcut{20, 768}, ShortcutAction::captureArea); // Super+Shift+3
    auto boundBoth = [&](const QString& areaTrigger) {
        const auto b = portal.bindings();
        return b.size() == 2 && b.back().preferredTrigger == areaTrigger;
    };
    model.hotKeys().applySettings();
    // Pending answers are no failures.
    EXPECT_TRUE(model.hotKeys().shortcutRegistrationFailures().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return boundBoth("SHIFT+LOGO+3"); }, 10000));
    EXPECT_EQ(portal.sessions().size(), 1);

    // The user cancels the whole binding.
    portal.refuseNextBinding(1);
    model.settings().setShortcut(Shortcut{21, 768}, ShortcutAction::captureArea);
    model.hotKeys().applySettings();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.hotKeys().shortcutRegistrationFailures().size() == 2; }, 10000));
    EXPECT_EQ(model.hotKeys().shortcutRegistrationFailures().value(Action::captureFullScreen).status,
              GlobalKeyGrabber::statusRefused);

    // Asked again, granted; then the desktop closes the session: both fail until the next registration.
    model.hotKeys().applySettings();
    ASSERT_TRUE(QTest::qWaitFor([&] { return boundBoth("SHIFT+LOGO+4"); }, 10000));
    ASSERT_EQ(portal.sessions().size(), 1);
    ASSERT_TRUE(portal.closeSession(portal.sessions().front()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.hotKeys().shortcutRegistrationFailures().size() == 2; }, 10000));
    model.hotKeys().applySettings();
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.sessions().size() == 1 && boundBoth("SHIFT+LOGO+4"); }, 10000));
    QTest::qWait(200);
    EXPECT_TRUE(model.hotKeys().shortcutRegistrationFailures().isEmpty());
}

// This desktop has no GlobalShortcuts portal: no hot keys of the application's own; the
// checklist offers the capture commands, and a click on a copy button puts the command on
// the clipboard other applications read.
TEST_F(WaylandApp, WithoutAShortcutsPortalTheChecklistOffersTheCommandsToCopy) {
    WaylandModel app(nullptr);
    ASSERT_FALSE(app.desktop->makeKeyGrabber);
    AppModel& model = *app.model;
    model.hotKeys().applySettings();
    EXPECT_TRUE(model.hotKeys().shortcutsBoundByDesktop());
    EXPECT_TRUE(model.hotKeys().shortcutRegistrationFailures().isEmpty());

    SetupChecklistView view(model.setupHost(), SetupPresentationMode::standard);
    view.setWindowTitle("Lumivane checklist");
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QList<QPushButton*> copies;
    for (QPushButton* b : view.findChildren<QPushButton*>())
        if (b->objectName() == "copyShortcutCommand")
            copies << b;
    // The text command only where text recognition is installed.
    ASSERT_EQ(copies.size(), model.textRecognition().isAvailable() ? 5 : 4)
        << "area, full screen, window, last area, text";
    QRect where;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(where = session->windowRect("Lumivane checklist")).isEmpty(); }, 5000));
    const QPoint inWindow = copies[0]->mapTo(&view, copies[0]->rect().center());
    ASSERT_TRUE(where.contains(where.topLeft() + inWindow)) << "the button is off the output";
    // sway may drop the very first click on a window it has just mapped: repeat it (at most three times).
    bool copied = false;
    for (int attempt = 0; attempt < 3 && !copied; ++attempt) {
        ASSERT_TRUE(session->click(where.x() + inWindow.x(), where.y() + inWindow.y()));
        copied = QTest::qWaitFor([&] { return session->clipboardTypes().contains("text/plain"); }, 3000);
    }
    ASSERT_TRUE(copied);
    EXPECT_EQ(session->clipboardData("text/plain"), "lumivane capture area");
}

// A copy while no window of ours has the keyboard focus (the tray menu, right after a
// hot key): the compositor would drop the application's own offer, so it goes through the
// desktop's clipboard service and other applications can paste the PNG.
TEST_F(WaylandApp, CopyWithoutKeyboardFocusStillReachesOtherApplications) {
    auto desktop = loadDesktopBackend();
    ASSERT_TRUE(desktop->offerClipboardWithoutFocus);
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::focusWindow() == nullptr; }, 5000));
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(qRgb(200, 10, 90));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "PNG"));

    QtClipboardWriter writer(desktop);
    writer.clear();
    ASSERT_TRUE(writer.write(QStringLiteral("/tmp/unused.png"), png));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->clipboardTypes().contains("image/png"); }, 5000));
    QImage pasted;
    ASSERT_TRUE(pasted.loadFromData(session->clipboardData("image/png"), "PNG"));
    EXPECT_EQ(pasted.pixel(5, 5), qRgb(200, 10, 90));
}

// The application's own tray icon registers with the bar's StatusNotifier host, with a
// visible glyph and a menu.
TEST_F(WaylandApp, TrayIconRegistersWithTheStatusNotifierHost) {
    auto desktop = loadDesktopBackend();
    QMenu menu;
    menu.addAction(QStringLiteral("全画面を撮影"));
    TrayIcon tray(&menu, desktop);
    ASSERT_TRUE(tray.show());
    QDBusInterface watcher("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                           QDBusConnection::sessionBus());
    // Ours: registered from a connection of this process.
    auto isOurs = [](const QString& registered) {
        const QDBusReply<uint> pid =
            QDBusConnection::sessionBus().interface()->servicePid(registered.section('/', 0, 0));
        return pid.isValid() && qint64(pid.value()) == QCoreApplication::applicationPid();
    };
    QString item;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const QString& i : watcher.property("RegisteredStatusNotifierItems").toStringList())
                if (isOurs(i))
                    item = i;
            return !item.isEmpty();
        },
        5000))
        << watcher.property("RegisteredStatusNotifierItems").toStringList().join(' ').toStdString();

    // The item as the host reads it: its icon pixmaps and its menu.
    const QString service = item.section('/', 0, 0);
    const QString path = "/" + item.section('/', 1);
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "GetAll");
    get << QStringLiteral("org.kde.StatusNotifierItem");
    // Served by this process's own event loop: asked without blocking it.
    QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(get);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 5000));
    const QDBusMessage reply = pending.reply();
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    EXPECT_TRUE(properties.contains("Menu"));
    const QDBusArgument pixmaps = properties.value("IconPixmap").value<QDBusArgument>();
    // a(iiay): at least one non-empty pixmap whose pixels are not all transparent.
    int width = 0, height = 0;
    QByteArray argb;
    pixmaps.beginArray();
    bool anyVisible = false;
    while (!pixmaps.atEnd()) {
        pixmaps.beginStructure();
        pixmaps >> width >> height >> argb;
        pixmaps.endStructure();
        for (qsizetype i = 0; i + 3 < argb.size(); i += 4)
            if (uchar(argb[i]) > 0)
                anyVisible = true; // network byte order: alpha first
    }
    pixmaps.endArray();
    EXPECT_GT(width, 0);
    EXPECT_TRUE(anyVisible);
}

TEST(PortalTriggers, FollowTheShortcutsConvention) {
    EXPECT_EQ(PortalGlobalShortcuts::triggerFor(2, 1 | 64), "SHIFT+LOGO+1");
    EXPECT_EQ(PortalGlobalShortcuts::triggerFor(30, 4 | 8), "CTRL+ALT+a");
    EXPECT_EQ(PortalGlobalShortcuts::triggerFor(99, 64), "LOGO+Print");
    EXPECT_EQ(PortalGlobalShortcuts::triggerFor(0x2ff, 64), "");
}
