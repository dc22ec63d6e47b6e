// The shell on a real X server: tray icon, tray menu, what counts as the
// application becoming active, Qt's dialogs in Japanese.
#include "DesktopModel.h"
#include "FakeTrayHost.h"
#include "NextMessageBox.h"

#include "app/ActivationMonitor.h"
#include "app/AppSettingsHost.h"
#include "app/TrayMenu.h"
#include "platform/CoordinateSpace.h"
#include "tray/TrayIcon.h"
#include "updates/AppUpdateController.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidgetAction>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

double luminance(QRgb p) {
    return (0.2126 * qRed(p) + 0.7152 * qGreen(p) + 0.0722 * qBlue(p)) / 255.0;
}

// Pixels of an image that stand out from the panel colour (by half the luminance range).
int contrastingPixels(const QImage& image, QRgb panel) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (std::abs(luminance(image.pixel(x, y)) - luminance(panel)) > 0.5)
                ++n;
    return n;
}

QRgb over(QRgb top, QRgb bottom) {
    const double a = qAlpha(top) / 255.0; // premultiplied colours
    return qRgb(int(qRed(top) + qRed(bottom) * (1 - a)), int(qGreen(top) + qGreen(bottom) * (1 - a)),
                int(qBlue(top) + qBlue(bottom) * (1 - a)));
}

QImage onPanel(const QImage& glyph, QRgb panel) {
    QImage out(glyph.size(), QImage::Format_RGB32);
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x)
            out.setPixel(x, y, over(glyph.pixel(x, y), panel));
    return out;
}

} // namespace

// The glyph drawn for a panel stands out from it: white on dark, black on light; the
// outlined look for an unknown panel stands out from both.
TEST(TrayIconGlyph, VisibleOnDarkAndLightPanels) {
    const QRgb dark = qRgb(32, 32, 32), light = qRgb(242, 242, 242);
    EXPECT_GT(luminance(TrayIcon::inkForPanel(QColor(dark)).rgb()), 0.9);
    EXPECT_LT(luminance(TrayIcon::inkForPanel(QColor(light)).rgb()), 0.2);
    for (QRgb panel : {dark, light}) {
        const QImage glyph = TrayIcon::glyphImage(22, TrayIcon::inkForPanel(QColor(panel)));
        EXPECT_GT(contrastingPixels(onPanel(glyph, panel), panel), 90) << std::hex << panel;
        EXPECT_GT(contrastingPixels(onPanel(TrayIcon::glyphImage(22, std::nullopt), panel), panel), 40)
            << std::hex << panel;
        EXPECT_EQ(TrayIcon::panelColour(onPanel(glyph, panel)), QColor(panel)) << "the border is the panel's";
    }
    // The drawing: a frame with a thicker bar above the opening, a cross-hair in the opening.
    const QImage g = TrayIcon::glyphImage(220, QColor(Qt::black));
    auto ink = [&](double x, double y) { return qAlpha(g.pixel(int(x * 10 + 20), int(y * 10 + 20))) > 200; };
    EXPECT_TRUE(ink(9, 5.5)) << "top bar";
    EXPECT_TRUE(ink(9, 16)) << "bottom bar";
    EXPECT_FALSE(ink(5, 11.4)) << "opening";
    EXPECT_TRUE(ink(9, 11.375 - 1.4)) << "cross-hair arm";
    EXPECT_FALSE(ink(9, 11.375)) << "cross-hair centre";
}

// On a tray host's dark and light panels the icon shows in a contrasting colour;
// a left click opens the menu.
TEST(TrayIconOnAPanel, ContrastsWithThePanelAndOpensTheMenuOnLeftClick) {
    auto x11 = X11Screens::connect();
    std::shared_ptr<const DesktopBackend> desktop = makeX11Backend();
    ASSERT_TRUE(x11 && desktop);
    for (uint32_t colour : {0x202020u, 0xf0f0f0u}) {
        test::FakeTrayHost host(colour);
        ASSERT_TRUE(host.conn);
        QMenu menu;
        menu.addAction(QStringLiteral("全画面を撮影"));
        TrayIcon icon(&menu, desktop);
        icon.trayForeground = [] { return std::optional<QColor>(); };
        ASSERT_TRUE(icon.show());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !host.docked.empty() && icon.ink(); }, 8000)) << std::hex << colour;
        EXPECT_EQ(*icon.ink(), TrayIcon::inkForPanel(QColor(colour)));
        QTest::qWait(300);
        const QRect g = icon.tray().geometry();
        ASSERT_TRUE(g.isValid());
        const QImage shown = x11->grabRoot(g);
        EXPECT_GT(contrastingPixels(shown, 0xff000000u | colour), 90) << std::hex << colour;
        if (const QByteArray dir = qgetenv("LUMIVANE_TRAY_SHOTS"); !dir.isEmpty())
            x11->grabRoot(test::FakeTrayHost::panel)
                .save(QString("%1/tray-%2.png").arg(QString(dir)).arg(colour, 0, 16));

        QProcess::execute(
            "xdotool", {"mousemove", QString::number(g.center().x()), QString::number(g.center().y()), "click", "1"});
        EXPECT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 3000)) << "left click";
        menu.hide();
        icon.tray().hide();
    }
    // A tray that names its foreground colour is obeyed.
    test::FakeTrayHost host(0x336699);
    host.setForeground(QColor(255, 200, 0));
    QMenu menu;
    TrayIcon icon(&menu, desktop);
    ASSERT_TRUE(icon.show());
    ASSERT_TRUE(QTest::qWaitFor([&] { return icon.ink().has_value(); }, 8000));
    EXPECT_EQ(*icon.ink(), QColor(255, 200, 0));
}

// The panel turns from dark to light while Lumivane runs, then its tray restarts and
// asks for a colour: each time the icon follows within a second.
TEST(TrayIconOnAPanel, FollowsAPanelThatChangesWhileItRuns) {
    std::shared_ptr<const DesktopBackend> desktop = makeX11Backend();
    ASSERT_TRUE(desktop);
    auto host = std::make_unique<test::FakeTrayHost>(0x202020u);
    ASSERT_TRUE(host->conn);
    QMenu menu;
    TrayIcon icon(&menu, desktop);
    ASSERT_TRUE(icon.show());
    ASSERT_TRUE(QTest::qWaitFor([&] { return icon.ink() == TrayIcon::inkForPanel(QColor(0x202020)); }, 8000));
    const auto within = [&](const QColor& expected) {
        QElapsedTimer t;
        t.start();
        const bool followed = QTest::qWaitFor([&] { return icon.ink() == expected; }, 3000);
        return followed && t.elapsed() <= 1000;
    };

    host->setBackground(0xf0f0f0u);
    EXPECT_TRUE(within(TrayIcon::inkForPanel(QColor(0xf0f0f0)))) << "dark to light";
    if (const QByteArray dir = qgetenv("LUMIVANE_TRAY_SHOTS"); !dir.isEmpty()) {
        QTest::qWait(300);
        X11Screens::connect()
            ->grabRoot(test::FakeTrayHost::panel)
            .save(QString("%1/tray-switched-light.png").arg(QString(dir)));
    }

    // A new tray manager (the panel restarted) with a dark panel: the icon docks again.
    host.reset();
    host = std::make_unique<test::FakeTrayHost>(0x1a1a1au);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host->docked.empty(); }, 8000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return icon.ink() == TrayIcon::inkForPanel(QColor(0x1a1a1a)); }, 2000));

    // The tray names a foreground colour (_NET_SYSTEM_TRAY_COLORS).
    host->setForeground(QColor(0, 200, 120));
    EXPECT_TRUE(within(QColor(0, 200, 120))) << "tray colours";
    icon.tray().hide();
}

// A popup menu is not the application becoming active; one of its own windows is.
TEST(ApplicationActivation, OwnWindowsCountPopupsDoNot) {
    int activations = 0;
    QObject context;
    subscribeToApplicationActivation(&context, [&] { ++activations; });
    QMenu popup;
    popup.addAction("x");
    popup.popup(QPoint(200, 200));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
    QTest::qWait(300);
    EXPECT_EQ(activations, 0) << "the tray menu opening";
    popup.hide();
    QTest::qWait(200);

    QWidget window;
    window.setWindowTitle("設定");
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(activations, 1);
    // A popup over an active window and back: still the same activation.
    popup.popup(QPoint(220, 220));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
    popup.hide();
    window.activateWindow();
    QTest::qWait(300);
    EXPECT_EQ(activations, 1);
    window.hide();
    QTest::qWait(200);
    EXPECT_FALSE(isActivatingWindow(nullptr));
}

// The menu's texts: the checklist caption follows the model, the capture items show
// their keys as Linux writes them, titles are not greyed; the last error survives the
// menu opening and its alert copies it; a long error stays in a red box of two lines
// without widening the menu.
TEST(ShellMenu, CaptionKeysTitlesAndErrorBox) {
    test::DesktopModel desktop([](AppSettings& s, AppServices& services) {
        s.setBrowserAutomationVerified(true);
        s.setBrowserJavaScriptVerified(true);
        struct AllGranted : DesktopPermissions {
            bool screenCaptureAllowed() const override { return true; }
            bool accessibilityAllowed() const override { return true; }
            bool openSettingsPage(Page) override { return false; }
        };
        services.permissions = std::make_shared<AllGranted>();
        services.frontmostApplicationID = [] { return std::optional<QString>(); };
    });
    ASSERT_TRUE(desktop.ready());
    AppModel& model = *desktop;
    model.refreshSetupState();
    ASSERT_TRUE(model.setupState().isComplete());
    AppUpdateController updates({}, {});
    AppSettingsHost host(model, updates);
    TrayMenu tray(model, host, updates);
    QMenu* menu = tray.menu();

    auto labels = [&] {
        QStringList out;
        for (QLabel* l : menu->findChildren<QLabel*>())
            out << l->text();
        return out;
    };
    EXPECT_TRUE(labels().contains("必要な設定は揃っています"));
    EXPECT_FALSE(labels().contains("未完了の設定があります"));
    QStringList actions;
    for (QAction* a : menu->actions())
        actions << a->text();
    EXPECT_TRUE(actions.contains("全画面を撮影\tSuper+Shift+1"));
    EXPECT_TRUE(actions.contains("範囲を選択して撮影\tSuper+Shift+2"));
    for (QLabel* l : menu->findChildren<QLabel*>())
        if (l->text() == "Lumivane") {
            EXPECT_TRUE(l->isEnabled());
            EXPECT_EQ(l->palette().color(QPalette::WindowText),
                      menu->palette().color(QPalette::Active, QPalette::WindowText));
        }

    menu->popup(QPoint(300, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    const int plainWidth = menu->width();
    menu->hide();

    // The last error survives the menu opening; "コピー" of its alert copies it.
    model.hotKeys().applySettings();
    ASSERT_FALSE(model.lastErrorMessage());
    model.editorSession().openProject(desktop.dir.filePath("missing.lumivane"));
    ASSERT_TRUE(model.lastErrorMessage());
    const QString message = *model.lastErrorMessage();
    EXPECT_TRUE(message.startsWith("ファイル“missing.lumivane”を開けませんでした。")) << message.toStdString();
    menu->popup(QPoint(300, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::qWait(400);
    EXPECT_EQ(model.lastErrorMessage(), message) << "the menu opening is not an activation";
    ASSERT_NE(menu->findChild<QWidget*>("menuErrorBox"), nullptr);
    menu->hide();
    QGuiApplication::clipboard()->clear();
    test::answerNextMessageBox(QStringLiteral("コピー"));
    model.showLastErrorDetails();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), message);

    // A long first paragraph: a file name of 80 characters.
    model.editorSession().openProject(desktop.dir.filePath(QString(80, QChar(0x753B)) + ".lumivane"));
    ASSERT_TRUE(model.lastErrorMessage());
    const QString longMessage = errorSummary(*model.lastErrorMessage());
    ASSERT_GT(longMessage.size(), 120);
    QCoreApplication::processEvents();
    const MenuErrorBox* box = nullptr;
    for (QAction* a : menu->actions())
        if (auto* wa = qobject_cast<QWidgetAction*>(a); wa && wa->defaultWidget())
            if (auto* b = dynamic_cast<MenuErrorBox*>(wa->defaultWidget()->findChild<QWidget*>("menuErrorBox")))
                box = b;
    ASSERT_NE(box, nullptr);
    const QStringList two = MenuErrorBox::twoLines(longMessage, box->font(), 200);
    ASSERT_EQ(two.size(), 2);
    EXPECT_TRUE(two[1].endsWith(QChar(0x2026)));
    EXPECT_EQ(box->shownLines().size(), 2);
    EXPECT_TRUE(box->shownLines()[1].endsWith(QChar(0x2026)));
    menu->popup(QPoint(300, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    EXPECT_LE(menu->width(), std::max(plainWidth, TrayMenu::contentWidth + 40)) << "the error does not widen the menu";
    const QImage shot = menu->grab().toImage();
    const QRect boxRect(box->mapTo(menu, QPoint(0, 0)), box->size());
    const QRgb tint = shot.pixel(boxRect.left() + 4, boxRect.center().y());
    EXPECT_GT(qRed(tint), qBlue(tint) + 10) << "red-tinted box";
    EXPECT_LE(boxRect.height(), 2 * QFontMetrics(box->font()).height() + 2 * 10 + 16);
    if (const QByteArray dir = qgetenv("LUMIVANE_TRAY_SHOTS"); !dir.isEmpty())
        shot.save(QString(dir) + "/menu.png");
    menu->hide();
}

// Qt's own dialogs speak Japanese once the translations are installed.
TEST(ShellTranslations, QtDialogsInJapanese) {
    ASSERT_TRUE(installQtTranslations(*QCoreApplication::instance()))
        << "Debian's qt6-translations-l10n provides qt_ja.qm";
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
}

// With the update test flag the test alert shows 0.9 s after launch; the
// configuration alert's second button opens it too.
TEST(ShellUpdates, TestAlertAtLaunchAndFromTheConfigurationAlert) {
    test::DesktopModel desktop;
    ASSERT_TRUE(desktop.ready());
    AppUpdateController updates({}, {"lumivane", AppUpdateController::testUpdateAvailableFlag});
    AppSettingsHost host(*desktop, updates);
    QStringList titles;
    int answer = 1000;
    host.showAlert = [&](const QString& title, const QString&, const QStringList&) {
        titles << title;
        return answer;
    };
    QElapsedTimer since;
    since.start();
    host.startLaunchTasks();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !titles.isEmpty(); }, 3000));
    EXPECT_GE(since.elapsed(), 850);
    EXPECT_EQ(titles, QStringList{"更新案内のテスト表示"});
    titles.clear();
    answer = 1001;
    host.checkForUpdates();
    EXPECT_EQ(titles, (QStringList{"更新はパッケージで行います", "更新案内のテスト表示"}));
}
