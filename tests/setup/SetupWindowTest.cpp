// The setup checklist view and window on a real X server, and the checklist embedded
// in the settings window's advanced page through the application's settings host.
#include "MemorySettingsStore.h"
#include "app/AppModel.h"
#include "app/AppSettingsHost.h"
#include "settings/AppSettings.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"
#include "setup/SetupChecklistView.h"
#include "setup/SetupWindowController.h"
#include "updates/AppUpdateController.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>

namespace lumivane {
namespace {

class FakeHost : public SetupHost {
public:
    SetupChecklistState state;
    bool verifying = false;
    std::optional<QString> error;
    int refreshes = 0, checks = 0, helps = 0, supports = 0, dismissals = 0;
    std::vector<SetupItemKind> pages;

    const SetupChecklistState& setupState() const override { return state; }
    void refreshSetupState() override { ++refreshes; }
    void verifyBrowserIntegrationSetup() override { ++checks; }
    bool isVerifyingBrowserIntegration() const override { return verifying; }
    void openSetupSettingsPage(SetupItemKind kind) override { pages.push_back(kind); }
    void showBrowserJavaScriptHelp() override { ++helps; }
    void openSupportSite() override { ++supports; }
    void dismissSetupWindow() override { ++dismissals; }
    std::optional<QString> lastErrorMessage() const override { return error; }

    void set(bool screen, bool accessibility, bool verified) {
        AppSettings settings(std::make_unique<test::MemorySettingsStore>());
        settings.setBrowserAutomationVerified(verified);
        settings.setBrowserJavaScriptVerified(verified);
        state = SetupChecklistState::evaluate(settings, {screen, accessibility});
        emit setupStateChanged();
    }
};

// Dark pixels in a band: text was drawn there.
int darkPixels(const QImage& image, QRect band) {
    int dark = 0;
    band &= image.rect();
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 110;
    return dark;
}

TEST(SetupChecklistView, ItemStatesBadgesCardsAndButtonsFollowTheState) {
    FakeHost host;
    host.set(true, false, false);
    SetupChecklistView view(host, SetupPresentationMode::standard);
    view.resize(760, 900);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    auto* sr = view.row(SetupItemKind::screenRecording);
    auto* ax = view.row(SetupItemKind::accessibility);
    auto* am = view.row(SetupItemKind::automation);
    auto* js = view.row(SetupItemKind::browserJavaScript);
    EXPECT_EQ(sr->badge()->text(), "準備完了");
    EXPECT_EQ(ax->badge()->text(), "設定が必要");
    EXPECT_EQ(am->detail()->text(), "画面収録とアクセシビリティの許可を先に済ませてください。");
    EXPECT_EQ(view.basicCardValue()->text(), "すぐ使えます");
    EXPECT_EQ(view.browserCardValue()->text(), "追加設定を確認してください");
    // A granted permission has nothing to open; the missing one does.
    EXPECT_FALSE(sr->settingsButton()->isVisible());
    EXPECT_TRUE(ax->settingsButton()->isVisible());
    EXPECT_EQ(ax->settingsButton()->text(), "アクセシビリティを開く");
    EXPECT_EQ(js->settingsButton()->text(), "手順を見る");
    EXPECT_TRUE(js->settingsButton()->isVisible());
    // No browser check without both permissions.
    EXPECT_FALSE(am->browserCheckButton()->isEnabled());
    EXPECT_FALSE(view.footerBrowserCheckButton()->isEnabled());
    EXPECT_EQ(view.closeForNowButton(), nullptr);
    EXPECT_TRUE(view.procedureBox()->isVisible());
    EXPECT_FALSE(view.errorLabel()->isVisible());
    // Status icon colours: green ready, orange action required.
    EXPECT_EQ(sr->icon()->pixmap().toImage().pixelColor(12 * sr->icon()->pixmap().devicePixelRatio(), 3).green() > 120,
              true);
    const QColor orange = ax->icon()->pixmap().toImage().pixelColor(3, 12 * ax->icon()->pixmap().devicePixelRatio());
    EXPECT_GT(orange.red(), 200);

    QTest::mouseClick(ax->settingsButton(), Qt::LeftButton);
    QTest::mouseClick(js->settingsButton(), Qt::LeftButton);
    QTest::mouseClick(view.recheckButton(), Qt::LeftButton);
    QTest::mouseClick(view.supportButton(), Qt::LeftButton);
    EXPECT_EQ(host.pages, (std::vector<SetupItemKind>{SetupItemKind::accessibility}));
    EXPECT_EQ(host.helps, 1);
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_EQ(host.supports, 1);

    // Both permissions: waiting for verification; the checks become possible.
    host.set(true, true, false);
    EXPECT_EQ(am->badge()->text(), "確認待ち");
    EXPECT_EQ(js->badge()->text(), "確認待ち");
    EXPECT_TRUE(am->browserCheckButton()->isEnabled());
    EXPECT_TRUE(view.footerBrowserCheckButton()->isEnabled());
    QTest::mouseClick(js->browserCheckButton(), Qt::LeftButton);
    QTest::mouseClick(view.footerBrowserCheckButton(), Qt::LeftButton);
    EXPECT_EQ(host.checks, 2);

    // While a check runs nothing else starts.
    host.verifying = true;
    emit host.verifyingChanged();
    EXPECT_FALSE(view.footerBrowserCheckButton()->isEnabled());
    EXPECT_FALSE(view.recheckButton()->isEnabled());
    host.verifying = false;
    host.error = QStringLiteral("ブラウザのページ情報を取得できませんでした。");
    emit host.lastErrorMessageChanged();
    EXPECT_TRUE(view.errorLabel()->isVisible());
    EXPECT_EQ(view.errorLabel()->text(), *host.error);

    // After a successful check everything is ready.
    host.error.reset();
    host.set(true, true, true);
    EXPECT_EQ(view.browserCardValue()->text(), "準備完了です");
    for (SetupItemKind k : allSetupItemKinds)
        EXPECT_EQ(view.row(k)->badge()->text(), "準備完了");
    EXPECT_FALSE(am->settingsButton()->isVisible());
    EXPECT_FALSE(view.procedureBox()->isVisible());
}

TEST(SetupWindow, ModesSizesTitlesAndClosing) {
    FakeHost host;
    host.set(true, true, false);
    {
        SetupWindowController onboarding(host, SetupPresentationMode::onboarding);
        int closes = 0;
        onboarding.onClose = [&] { ++closes; };
        onboarding.present();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(onboarding.window()));
        EXPECT_EQ(onboarding.window()->windowTitle(), "Lumivane セットアップ");
        EXPECT_EQ(onboarding.window()->size(), QSize(820, 680));
        EXPECT_EQ(
            onboarding.view()->findChild<QLabel*>("headerLine")->text(),
            "基本の撮影に必要な設定をここで確認できます。ブラウザ全体撮影を使う場合は追加設定も確認してください。");
        ASSERT_NE(onboarding.view()->closeForNowButton(), nullptr);
        EXPECT_EQ(onboarding.view()->closeForNowButton()->text(), "今は閉じる");
        QTest::mouseClick(onboarding.view()->closeForNowButton(), Qt::LeftButton);
        EXPECT_EQ(host.dismissals, 1);

        // Centred on the screen.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_LE(std::abs(onboarding.window()->geometry().center().x() - screen.center().x()), 40);

        const QImage image = onboarding.window()->grab().toImage();
        EXPECT_GT(darkPixels(image, QRect(0, 0, image.width(), 90)), 300); // header text drawn

        // The close button: the callback runs once, after the close.
        onboarding.window()->close();
        EXPECT_EQ(closes, 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return closes == 1; }, 1000));
        EXPECT_FALSE(onboarding.isVisible());
    }
    SetupWindowController standard(host, SetupPresentationMode::standard);
    standard.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(standard.window()));
    EXPECT_EQ(standard.window()->windowTitle(), "セットアップを確認");
    EXPECT_EQ(standard.window()->size(), QSize(820, 620));
    EXPECT_EQ(standard.view()->closeForNowButton(), nullptr);
    standard.removeFromScreen();
    EXPECT_FALSE(standard.isVisible());
    standard.present();
    EXPECT_TRUE(standard.isVisible());
    // The content scrolls: the footer is reachable.
    EXPECT_NE(standard.window()->findChild<QScrollArea*>(), nullptr);
}

TEST(SetupInSettings, AdvancedPageShowsTheModelsChecklistWithTheDesktopsAnswers) {
    AppServices services;
    auto model = std::make_unique<AppModel>(
        std::make_unique<AppSettings>(std::make_unique<test::MemorySettingsStore>()), std::move(services));
    // Xvfb lets every client read the screen and offers XTEST.
    EXPECT_TRUE(model->setupState().isReady(SetupItemKind::screenRecording));
    EXPECT_TRUE(model->setupState().isReady(SetupItemKind::accessibility));
    EXPECT_EQ(model->setupState().item(SetupItemKind::automation)->status, SetupStatus::verificationNeeded);

    AppUpdateController updates(AppUpdateController::BundleInfo{}, {});
    AppSettingsHost host(*model, updates);
    SettingsWindowController controller(host);
    host.setSelectedSettingsTab(SettingsTab::advanced);
    controller.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    auto* checklist = controller.view()->setupChecklistContainer()->findChild<SetupChecklistView*>();
    ASSERT_NE(checklist, nullptr);
    EXPECT_EQ(checklist->mode(), SetupPresentationMode::standard);
    EXPECT_TRUE(checklist->isVisible());
    EXPECT_EQ(checklist->findChild<QLabel*>("headerLine")->text(),
              "Lumivane の撮影機能に必要な設定をここでまとめて確認できます。");
    EXPECT_EQ(checklist->row(SetupItemKind::automation)->badge()->text(), "確認待ち");
    // X11 has nothing to grant: only the browser's items are listed.
    EXPECT_FALSE(checklist->row(SetupItemKind::screenRecording)->isVisible());
    EXPECT_FALSE(checklist->row(SetupItemKind::accessibility)->isVisible());
    EXPECT_TRUE(checklist->row(SetupItemKind::automation)->isVisible());
    EXPECT_TRUE(checklist->row(SetupItemKind::browserJavaScript)->isVisible());

    // A verified browser, as after a successful check, shows at once.
    model->settings().setBrowserAutomationVerified(true);
    model->settings().setBrowserJavaScriptVerified(true);
    EXPECT_EQ(checklist->browserCardValue()->text(), "準備完了です");
    model->settings().setBrowserAutomationVerified(false);
    model->settings().setBrowserJavaScriptVerified(false);
    QApplication::processEvents();
    const QImage image = controller.window()->grab().toImage();
    EXPECT_GT(darkPixels(image, QRect(0, 90, image.width(), 200)), 300);
}

} // namespace
} // namespace lumivane
