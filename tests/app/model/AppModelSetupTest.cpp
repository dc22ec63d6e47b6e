// Setup checklist, browser checks, launch tasks and alerts of the application model,
// with the desktop replaced by fakes.
#include "MemorySettingsStore.h"
#include "app/AppModel.h"
#include "app/ErrorMessages.h"
#include "browser/BrowserCaptureError.h"
#include "browser/BrowserSetupTexts.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

class FakePermissions : public DesktopPermissions {
public:
    bool screen = true;
    bool accessibility = true;
    bool screenCaptureAllowed() const override { return screen; }
    bool accessibilityAllowed() const override { return accessibility; }
    bool openSettingsPage(Page) override { return false; }
};

struct WindowLog {
    std::vector<SetupPresentationMode> made;
    int presents = 0;
    int removals = 0;
    int closes = 0;
    bool visible = false;
    std::function<void()> onClose;
    QElapsedTimer sinceStart;
    qint64 firstPresentMs = -1;
};

class FakeSetupWindow : public SetupWindowPresenter {
public:
    FakeSetupWindow(WindowLog& log, SetupPresentationMode mode) : log_(log), mode_(mode) {}
    SetupPresentationMode mode() const override { return mode_; }
    void present() override {
        if (log_.firstPresentMs < 0)
            log_.firstPresentMs = log_.sinceStart.elapsed();
        ++log_.presents;
        log_.visible = true;
    }
    void removeFromScreen() override {
        ++log_.removals;
        log_.visible = false;
    }
    bool isVisible() const override { return log_.visible; }
    void close() override {
        ++log_.closes;
        log_.visible = false;
        if (log_.onClose)
            log_.onClose();
    }

private:
    WindowLog& log_;
    SetupPresentationMode mode_;
};

// Refuses the keys listed in `busyKeys`.
class BusyKeysGrabber : public GlobalKeyGrabber {
public:
    std::vector<quint32>* busyKeys;
    explicit BusyKeysGrabber(std::vector<quint32>* busy) : busyKeys(busy) {}
    qint32 install() override { return statusOk; }
    void uninstall() override {}
    bool isInstalled() const override { return true; }
    qint32 grab(quint32 evdevCode, quint16, int) override {
        for (quint32 k : *busyKeys)
            if (k == evdevCode)
                return 10;
        return statusOk;
    }
    void ungrabAll() override {}
};

class AppModelSetup : public ::testing::Test {
protected:
    void SetUp() override { build(); }

    void build(std::function<void(AppSettings&)> prepare = {}, std::optional<QByteArray> stored = {}) {
        model.reset();
        AppServices s;
        s.permissions = permissions;
        s.frontmostApplicationID = [this] { return frontmost; };
        s.runningBrowserIDs = [this] { return running; };
        s.activateApplication = [this](const QString& id) {
            activated.push_back(id);
            frontmost = id;
        };
        s.activateSelf = [this] { ++selfActivations; };
        s.validateBrowserSetup = [this] {
            ++validations;
            if (validationError)
                std::rethrow_exception(validationError);
        };
        s.makeSetupWindow = [this](SetupPresentationMode mode, SetupHost&, std::function<void()> onClose) {
            windows.made.push_back(mode);
            windows.onClose = std::move(onClose);
            return std::unique_ptr<SetupWindowPresenter>(new FakeSetupWindow(windows, mode));
        };
        s.showAlert = [this](const AlertText& t) {
            alerts.push_back(t);
            return alertAnswer;
        };
        s.openURL = [this](const QUrl& u) { opened.push_back(u); };
        s.copyText = [this](const QString& t) { copied.push_back(t); };
        if (withHotKeys)
            s.hotKeys = std::make_shared<HotKeyService>(std::make_unique<BusyKeysGrabber>(&busyKeys));
        auto store = std::make_unique<test::MemorySettingsStore>();
        if (stored)
            store->write(*stored);
        auto settings = std::make_unique<AppSettings>(std::move(store));
        if (prepare)
            prepare(*settings);
        model = std::make_unique<AppModel>(std::move(settings), std::move(s));
    }

    SetupStatus status(SetupItemKind kind) const { return model->setupState().item(kind)->status; }
    QString detail(SetupItemKind kind) const { return model->setupState().item(kind)->detail; }

    std::shared_ptr<FakePermissions> permissions = std::make_shared<FakePermissions>();
    std::optional<QString> frontmost;
    std::vector<QString> running;
    std::vector<QString> activated;
    int selfActivations = 0;
    int validations = 0;
    std::exception_ptr validationError;
    WindowLog windows;
    std::vector<AlertText> alerts;
    int alertAnswer = 1002;
    std::vector<QUrl> opened;
    std::vector<QString> copied;
    std::vector<quint32> busyKeys;
    bool withHotKeys = true;
    std::unique_ptr<AppModel> model;
};

const QString chrome = QStringLiteral("com.google.Chrome");
const QString brave = QStringLiteral("com.brave.Browser");

} // namespace

TEST_F(AppModelSetup, ItemsFollowPermissionsFlagsAndShortcuts) {
    // Construction evaluates: four kinds in order.
    ASSERT_EQ(model->setupState().items.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(model->setupState().items[i].kind, allSetupItemKinds[i]);

    // Screen recording granted, accessibility not.
    permissions->accessibility = false;
    model->refreshSetupState();
    EXPECT_EQ(status(SetupItemKind::screenRecording), SetupStatus::ready);
    EXPECT_EQ(detail(SetupItemKind::screenRecording), "撮影の基本機能は利用できます。");
    EXPECT_EQ(status(SetupItemKind::accessibility), SetupStatus::actionRequired);
    EXPECT_EQ(detail(SetupItemKind::accessibility),
              "ブラウザ全体撮影を使う場合に必要です。通常の全画面撮影・範囲撮影だけなら後回しにできます。");
    for (SetupItemKind k : {SetupItemKind::automation, SetupItemKind::browserJavaScript}) {
        EXPECT_EQ(status(k), SetupStatus::actionRequired);
        EXPECT_EQ(detail(k), "画面収録とアクセシビリティの許可を先に済ませてください。");
    }
    EXPECT_TRUE(model->setupState().isReadyForBasicCapture());
    EXPECT_FALSE(model->setupState().hasBrowserCapturePermissions());

    // Print for full screen: the accessibility text names the desktop's keys (the change
    // itself re-evaluates the checklist).
    model->settings().setShortcut(kDesktopScreenshotFullScreenKey, ShortcutAction::captureFullScreen);
    EXPECT_EQ(detail(SetupItemKind::accessibility),
              "デスクトップ標準キー(Print / Shift+Print / "
              "Alt+Print)をLumivaneで使う場合や、ブラウザ全体撮影を使う場合に必要です。");

    // Both granted, flags false: verification needed.
    permissions->accessibility = true;
    model->refreshSetupState();
    EXPECT_EQ(detail(SetupItemKind::accessibility), "必要な場合に使うアクセシビリティ権限は許可済みです。");
    EXPECT_EQ(status(SetupItemKind::automation), SetupStatus::verificationNeeded);
    EXPECT_EQ(detail(SetupItemKind::automation), QString::fromUtf8(browser_setup_texts::automationVerificationNeeded));
    EXPECT_EQ(status(SetupItemKind::browserJavaScript), SetupStatus::verificationNeeded);
    EXPECT_FALSE(model->setupState().isReadyForBrowserCapture());

    // No screen capture: nothing is ready.
    permissions->screen = false;
    model->refreshSetupState();
    EXPECT_EQ(detail(SetupItemKind::screenRecording),
              "デスクトップの設定 > プライバシー で Lumivane のスクリーンショットを許可してください。");
    EXPECT_FALSE(model->setupState().isReadyForBasicCapture());

    // A missing kind counts as not ready.
    SetupChecklistState partial;
    partial.items = {{SetupItemKind::screenRecording, SetupStatus::ready, {}}};
    EXPECT_TRUE(partial.isReadyForBasicCapture());
    EXPECT_FALSE(partial.hasBrowserCapturePermissions());
    EXPECT_FALSE(SetupChecklistState::empty().isReadyForBasicCapture());
}

TEST_F(AppModelSetup, UserBrowserCheckHidesTheWindowActivatesABrowserAndReportsEitherWay) {
    running = {brave, chrome};
    frontmost = QStringLiteral("org.mozilla.firefox");
    model->openSetupWindow(SetupPresentationMode::standard);
    ASSERT_TRUE(windows.visible);

    validationError = std::make_exception_ptr(BrowserCaptureError(BrowserCaptureError::Kind::pageInfoUnavailable));
    model->verifyBrowserIntegrationSetup();
    EXPECT_TRUE(model->isVerifyingBrowserIntegration());
    EXPECT_FALSE(windows.visible);
    EXPECT_EQ(activated, (std::vector<QString>{brave})); // the first running supported browser
    EXPECT_EQ(validations, 0);                           // only after 0.35 s
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->isVerifyingBrowserIntegration(); }, 2000));
    EXPECT_EQ(validations, 1);
    EXPECT_EQ(*model->lastErrorMessage(),
              userFacingErrorMessage(BrowserCaptureError(BrowserCaptureError::Kind::pageInfoUnavailable)));
    EXPECT_FALSE(model->settings().browserAutomationVerified());
    EXPECT_TRUE(windows.visible); // back in front

    // Brave is in front now: it is activated again, and the check succeeds.
    validationError = nullptr;
    model->verifyBrowserIntegrationSetup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->isVerifyingBrowserIntegration(); }, 2000));
    EXPECT_EQ(activated, (std::vector<QString>{brave, brave}));
    EXPECT_FALSE(model->lastErrorMessage());
    EXPECT_TRUE(model->settings().browserAutomationVerified());
    EXPECT_TRUE(model->settings().browserJavaScriptVerified());
    EXPECT_TRUE(model->setupState().isReadyForBrowserCapture());
}

// Where the desktop binds the keys (no hot-key service of our own), applying the
// settings clears an old error just as a successful registration does.
TEST_F(AppModelSetup, WithoutAHotKeyServiceApplyingTheSettingsClearsAnOldError) {
    withHotKeys = false;
    build();
    frontmost = brave;
    running = {brave};
    validationError = std::make_exception_ptr(BrowserCaptureError(BrowserCaptureError::Kind::pageInfoUnavailable));
    model->verifyBrowserIntegrationSetup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->lastErrorMessage().has_value(); }, 2000));
    model->hotKeys().applySettings();
    EXPECT_FALSE(model->lastErrorMessage());
    EXPECT_TRUE(model->hotKeys().shortcutRegistrationFailures().isEmpty());
}

TEST_F(AppModelSetup, SilentRecheckOnlyWithAVerifiedFlagAndABrowserInFront) {
    // Both flags false: never scheduled, whatever is in front.
    frontmost = chrome;
    model->refreshSetupState();
    EXPECT_FALSE(model->hasScheduledBrowserSetupRecheck());

    // Verified once, Chrome in front, JavaScript switched off since: both flags cleared, no message.
    model->settings().setBrowserAutomationVerified(true);
    model->settings().setBrowserJavaScriptVerified(true);
    EXPECT_TRUE(model->hasScheduledBrowserSetupRecheck());
    validationError = std::make_exception_ptr(
        BrowserCaptureError(BrowserCaptureError::Kind::automationFailed, QStringLiteral("JavaScript disabled")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->settings().browserAutomationVerified(); }, 2000));
    EXPECT_FALSE(model->settings().browserJavaScriptVerified());
    EXPECT_FALSE(model->lastErrorMessage());
    EXPECT_EQ(status(SetupItemKind::automation), SetupStatus::verificationNeeded);

    // A background browser leaves the flags alone.
    model->settings().setBrowserAutomationVerified(true);
    validationError = std::make_exception_ptr(BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost));
    const int before = validations;
    ASSERT_TRUE(QTest::qWaitFor([&] { return validations > before; }, 2000));
    QTest::qWait(50);
    EXPECT_TRUE(model->settings().browserAutomationVerified());

    // Without both permissions nothing is scheduled.
    permissions->accessibility = false;
    model->refreshSetupState();
    EXPECT_FALSE(model->hasScheduledBrowserSetupRecheck());
}

TEST_F(AppModelSetup, SetupGuideOnFirstLaunchOnlyThenConflictNotice) {
    // Shift+Print for the area and taken by the desktop.
    busyKeys = {99}; // Print (KEY_SYSRQ)
    build([](AppSettings& s) { s.setShortcut(kDesktopScreenshotAreaKey, ShortcutAction::captureArea); });
    model->hotKeys().applySettings();
    windows.sinceStart.start();
    model->startLaunchTasks();
    QTest::qWait(350);
    EXPECT_TRUE(windows.made.empty()); // not during construction, not before 0.5 s
    ASSERT_TRUE(QTest::qWaitFor([&] { return !windows.made.empty(); }, 2000));
    EXPECT_GE(windows.firstPresentMs, 480);
    EXPECT_EQ(windows.made.front(), SetupPresentationMode::onboarding);
    EXPECT_TRUE(alerts.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !alerts.empty(); }, 2000));
    EXPECT_GE(windows.sinceStart.elapsed(), 1150);
    EXPECT_EQ(alerts.front().title, "ショートカットの確認が必要です");
    EXPECT_EQ(alerts.front().buttons, (QStringList{"設定を開く", "おすすめキーに変更", "あとで"}));
    EXPECT_TRUE(model->settings().hasSeenShortcutConflictNotice());

    // The close button keeps the guide for the next launch; "今は閉じる" ends it.
    windows.onClose(); // the window's own close button
    EXPECT_EQ(model->setupWindow(), nullptr);
    EXPECT_FALSE(model->settings().hasSeenSetupGuide());
    model->openSetupWindow(SetupPresentationMode::onboarding);
    model->dismissSetupWindow();
    EXPECT_TRUE(model->settings().hasSeenSetupGuide());
    EXPECT_EQ(model->setupWindow(), nullptr);

    // Next launch with the same settings: neither the guide nor the notice again.
    const QByteArray stored = AppSettingsPayload::encode(model->settings().values());
    windows = {};
    alerts.clear();
    build({}, stored);
    model->hotKeys().applySettings();
    model->startLaunchTasks();
    QTest::qWait(1500);
    EXPECT_TRUE(windows.made.empty());
    EXPECT_TRUE(alerts.empty());
}

TEST_F(AppModelSetup, ConflictNoticeButtonsAndNoNoticeForOtherKeys) {
    // Super+Shift+5 failing: only the registration message.
    busyKeys = {6}; // the "5" key
    model->settings().setShortcut(Shortcut{23, 768}, ShortcutAction::captureArea);
    model->hotKeys().applySettings();
    ASSERT_TRUE(model->lastErrorMessage());
    model->maybePresentShortcutConflictNotice();
    EXPECT_TRUE(alerts.empty());

    // Alt+Print failing, "おすすめキーに変更": Super+Shift+1 / Super+Shift+2 registered, message gone.
    busyKeys = {99}; // Print (KEY_SYSRQ)
    model->settings().setShortcut(kDesktopScreenshotWindowKey, ShortcutAction::captureFullScreen);
    model->hotKeys().applySettings();
    alertAnswer = 1001;
    model->maybePresentShortcutConflictNotice();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(model->settings().shortcut(ShortcutAction::captureFullScreen),
              defaultShortcut(ShortcutAction::captureFullScreen));
    EXPECT_FALSE(model->lastErrorMessage());

    // "設定を開く" opens the shortcuts tab.
    build();
    busyKeys = {99}; // Print (KEY_SYSRQ)
    model->settings().setShortcut(kDesktopScreenshotAreaKey, ShortcutAction::captureFullScreen);
    model->hotKeys().applySettings();
    std::vector<std::optional<SettingsTab>> tabs;
    model->openSettingsHandler = [&](std::optional<SettingsTab> t) { tabs.push_back(t); };
    alertAnswer = 1000;
    alerts.clear();
    model->maybePresentShortcutConflictNotice();
    ASSERT_EQ(tabs.size(), 1u);
    EXPECT_EQ(tabs.front(), SettingsTab::shortcuts);
}

TEST_F(AppModelSetup, SetupWindowIsOneAndKeepsItsMode) {
    model->openSetupWindow(SetupPresentationMode::onboarding);
    model->openSetupWindow(SetupPresentationMode::standard);
    EXPECT_EQ(windows.made, (std::vector<SetupPresentationMode>{SetupPresentationMode::onboarding}));
    EXPECT_EQ(windows.presents, 2);
    EXPECT_EQ(model->setupWindow()->mode(), SetupPresentationMode::onboarding);
    windows.onClose();
    model->openSetupWindow(SetupPresentationMode::standard);
    EXPECT_EQ(windows.made.back(), SetupPresentationMode::standard);
}

TEST_F(AppModelSetup, ErrorDetailsHelpAndSettingsPagesFallBackToAlerts) {
    // No message: nothing opens, nothing is copied.
    model->showLastErrorDetails();
    model->copyLastErrorMessage();
    EXPECT_TRUE(alerts.empty());
    EXPECT_TRUE(copied.empty());

    busyKeys = {2}; // the "1" key
    model->hotKeys().applySettings();
    const QString message = *model->lastErrorMessage();
    alertAnswer = 1001; // "コピー"
    model->showLastErrorDetails();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].title, "Lumivane エラー詳細");
    EXPECT_EQ(alerts[0].informativeText, message);
    EXPECT_EQ(alerts[0].buttons, (QStringList{"OK", "コピー"}));
    EXPECT_EQ(alerts[0].style, AlertStyle::warning);
    EXPECT_EQ(copied, (std::vector<QString>{message}));

    // The JavaScript help: its second button opens the support site.
    model->showBrowserJavaScriptHelp();
    EXPECT_EQ(alerts.back().title, "Brave / Chrome の追加設定");
    EXPECT_EQ(alerts.back().informativeText, QString::fromUtf8(browser_setup_texts::javaScriptHelpText));
    EXPECT_EQ(opened, (std::vector<QUrl>{AppModel::supportSiteURL()}));

    // No permission pages on this desktop: the item is explained instead.
    alertAnswer = 1000;
    permissions->accessibility = false;
    model->openSetupSettingsPage(SetupItemKind::accessibility);
    EXPECT_EQ(alerts.back().title, "アクセシビリティ");
    EXPECT_EQ(alerts.back().informativeText, detail(SetupItemKind::accessibility));
    model->openSetupSettingsPage(SetupItemKind::automation);
    EXPECT_EQ(alerts.back().title, "Brave / Chrome の追加設定");
}

TEST(SetupChecklistOnPortals, MissingScreenshotPortalSaysWhatToInstall) {
    AppSettings settings(std::make_unique<lumivane::test::MemorySettingsStore>());
    SetupPermissionAnswers answers;
    answers.screenCaptureThroughPortal = true;
    const auto missing = SetupChecklistState::evaluate(settings, answers);
    ASSERT_NE(missing.item(SetupItemKind::screenRecording), nullptr);
    EXPECT_EQ(missing.item(SetupItemKind::screenRecording)->status, SetupStatus::actionRequired);
    EXPECT_TRUE(missing.item(SetupItemKind::screenRecording)->detail.contains("xdg-desktop-portal"));
    answers.screenCaptureAllowed = true;
    const auto present = SetupChecklistState::evaluate(settings, answers);
    EXPECT_EQ(present.item(SetupItemKind::screenRecording)->status, SetupStatus::ready);
    EXPECT_EQ(present.item(SetupItemKind::screenRecording)->detail, QStringLiteral("撮影の基本機能は利用できます。"));

    // Wayland has no accessibility permission and browser capture needs none: the item is
    // ready and the browser items wait only for their check, not for a grant that cannot exist.
    answers.accessibilityApplies = false;
    const auto wayland = SetupChecklistState::evaluate(settings, answers);
    EXPECT_EQ(wayland.item(SetupItemKind::accessibility)->status, SetupStatus::ready);
    EXPECT_TRUE(wayland.item(SetupItemKind::accessibility)->detail.contains("設定は不要"));
    EXPECT_TRUE(wayland.hasBrowserCapturePermissions());
    EXPECT_EQ(wayland.item(SetupItemKind::automation)->status, SetupStatus::verificationNeeded);
}
