// The application model's launch work, setup checklist, browser checks and alerts.
#include "app/AppModel.h"
#include "app/AppSetupHost.h"
#include "app/ErrorMessages.h"
#include "browser/BrowserCaptureError.h"
#include "browser/BrowserSetupTexts.h"

#include <QTimer>

namespace lumivane {

namespace {
constexpr int setupGuideDelayMs = 500;
constexpr int conflictNoticeDelayMs = 700;
constexpr int browserRecheckDelayMs = 250;
constexpr int browserActivationDelayMs = 350;

std::optional<DesktopPermissions::Page> settingsPage(SetupItemKind kind) {
    switch (kind) {
    case SetupItemKind::screenRecording:
        return DesktopPermissions::Page::screenRecording;
    case SetupItemKind::accessibility:
        return DesktopPermissions::Page::accessibility;
    case SetupItemKind::automation:
        return DesktopPermissions::Page::automation;
    case SetupItemKind::browserJavaScript:
        return std::nullopt;
    }
    return std::nullopt;
}
} // namespace

// --- launch -------------------------------------------------------------------

void AppModel::startLaunchTasks() {
    if (launchTasksStarted_)
        return;
    launchTasksStarted_ = true;
    refreshSetupState();
    // The preview's window exists before the first capture needs it.
    QTimer::singleShot(0, this, [this] { preview_->prepare(); });
    QTimer::singleShot(setupGuideDelayMs, this, [this] {
        maybePresentInitialSetupGuide();
        QTimer::singleShot(conflictNoticeDelayMs, this, [this] { maybePresentShortcutConflictNotice(); });
    });
}

void AppModel::maybePresentInitialSetupGuide() {
    if (!settings_->hasSeenSetupGuide())
        openSetupWindow(SetupPresentationMode::onboarding);
}

void AppModel::maybePresentShortcutConflictNotice() {
    if (settings_->hasSeenShortcutConflictNotice())
        return;
    const auto& failures = hotKeys_->shortcutRegistrationFailures();
    if (failures.isEmpty())
        return;
    bool standardKeyFailed = false;
    for (const auto& f : failures)
        if (f.shortcut.isStandardScreenshotKey())
            standardKeyFailed = true;
    if (!standardKeyFailed)
        return;
    settings_->setHasSeenShortcutConflictNotice(true);
    settings_->persist();
    switch (alert(AlertTexts::shortcutConflictNotice())) {
    case 1000:
        openSettings(SettingsTab::shortcuts);
        break;
    case 1001:
        hotKeys_->useRecommendedShortcuts();
        break;
    default:
        break;
    }
}

void AppModel::openSettings(std::optional<SettingsTab> tab) {
    if (openSettingsHandler)
        openSettingsHandler(tab);
}

// --- checklist ------------------------------------------------------------------

SetupChecklistState AppModel::evaluatedSetupState() const {
    SetupPermissionAnswers answers;
    if (services_.permissions) {
        answers.screenCaptureAllowed = services_.permissions->screenCaptureAllowed();
        answers.accessibilityAllowed = services_.permissions->accessibilityAllowed();
        answers.accessibilityApplies = services_.permissions->accessibilityApplies();
        if (answers.screenCaptureAllowed)
            answers.screenCaptureConsent = services_.permissions->screenCaptureConsent();
    }
    answers.screenCaptureThroughPortal = services_.desktop && services_.desktop->snapshots;
    return SetupChecklistState::evaluate(*settings_, answers);
}

void AppModel::setSetupState(SetupChecklistState state) {
    setupState_ = std::move(state);
    emit setupStateChanged();
    emit stateChanged();
}

void AppModel::refreshSetupState() {
    setSetupState(evaluatedSetupState());
    scheduleBrowserSetupRecheckIfNeeded();
}

SetupHost& AppModel::setupHost() {
    if (!setupHost_)
        setupHost_ = std::make_unique<AppSetupHost>(*this);
    return *setupHost_;
}

void AppModel::openSetupWindow(SetupPresentationMode mode) {
    refreshSetupState();
    if (!setupController_ && services_.makeSetupWindow) {
        QPointer<AppModel> self(this);
        auto identity = std::make_shared<SetupWindowPresenter*>(nullptr);
        setupController_ = services_.makeSetupWindow(mode, setupHost(), [self, identity] {
            if (self && self->setupController_.get() == *identity)
                self->setupController_.reset();
        });
        *identity = setupController_.get();
    }
    if (!setupController_)
        return;
    if (services_.activateSelf)
        services_.activateSelf();
    setupController_->present();
}

void AppModel::dismissSetupWindow() {
    if (setupController_) {
        // The request may come from a button inside the window: destroy it afterwards.
        std::shared_ptr<SetupWindowPresenter> closing(std::move(setupController_));
        closing->close();
        QTimer::singleShot(0, this, [closing] {});
    }
    settings_->setHasSeenSetupGuide(true);
    settings_->persist();
}

bool AppModel::frontmostIsSupportedBrowser() const {
    const std::optional<QString> id =
        services_.frontmostApplicationID ? services_.frontmostApplicationID() : std::nullopt;
    return id && supportedBrowserFromRawValue(*id);
}

void AppModel::markBrowserVerified() {
    if (!settings_->browserAutomationVerified()) {
        settings_->setBrowserAutomationVerified(true);
        settings_->persist();
    }
    if (!settings_->browserJavaScriptVerified()) {
        settings_->setBrowserJavaScriptVerified(true);
        settings_->persist();
    }
}

void AppModel::scheduleBrowserSetupRecheckIfNeeded() {
    if (browserSetupRecheckTask_) {
        browserSetupRecheckTask_->stop();
        browserSetupRecheckTask_->deleteLater();
        browserSetupRecheckTask_ = nullptr;
    }
    if (!settings_->browserAutomationVerified() && !settings_->browserJavaScriptVerified())
        return;
    if (!setupState_.hasBrowserCapturePermissions() || !frontmostIsSupportedBrowser())
        return;
    auto* task = new QTimer(this);
    task->setSingleShot(true);
    browserSetupRecheckTask_ = task;
    connect(task, &QTimer::timeout, this, [this, task] {
        if (browserSetupRecheckTask_ == task)
            browserSetupRecheckTask_ = nullptr;
        task->deleteLater();
        performBrowserSetupRecheck();
    });
    task->start(browserRecheckDelayMs);
}

void AppModel::performBrowserSetupRecheck() {
    // The user's own check is running (its browser round trips deliver events meanwhile).
    if (verifyingBrowserIntegration_ || !services_.validateBrowserSetup)
        return;
    if (!settings_->browserAutomationVerified() && !settings_->browserJavaScriptVerified())
        return;
    if (!frontmostIsSupportedBrowser())
        return;
    verifyingBrowserIntegration_ = true;
    bool lost = false;
    try {
        services_.validateBrowserSetup();
    } catch (const BrowserCaptureError& e) {
        // Nothing learnt about the connection: another tab or application in front, or a capture running.
        if (e.kind() == BrowserCaptureError::Kind::unsupportedBrowser ||
            e.kind() == BrowserCaptureError::Kind::browserNotFrontmost ||
            e.kind() == BrowserCaptureError::Kind::notAWebPage ||
            e.kind() == BrowserCaptureError::Kind::captureInProgress) {
            verifyingBrowserIntegration_ = false;
            return;
        }
        lost = true;
    } catch (const std::exception&) {
        lost = true;
    }
    verifyingBrowserIntegration_ = false;
    if (lost) {
        if (settings_->browserAutomationVerified()) {
            settings_->setBrowserAutomationVerified(false);
            settings_->persist();
        }
        if (settings_->browserJavaScriptVerified()) {
            settings_->setBrowserJavaScriptVerified(false);
            settings_->persist();
        }
    } else {
        markBrowserVerified();
    }
    setSetupState(evaluatedSetupState());
}

void AppModel::activatePreferredBrowserForSetupCheck() {
    if (!services_.activateApplication)
        return;
    const std::optional<QString> front =
        services_.frontmostApplicationID ? services_.frontmostApplicationID() : std::nullopt;
    if (front && supportedBrowserFromRawValue(*front)) {
        services_.activateApplication(*front);
        return;
    }
    if (!services_.runningBrowserIDs)
        return;
    for (const QString& id : services_.runningBrowserIDs())
        if (supportedBrowserFromRawValue(id)) {
            services_.activateApplication(id);
            return;
        }
}

void AppModel::verifyBrowserIntegrationSetup() {
    if (verifyingBrowserIntegration_)
        return;
    verifyingBrowserIntegration_ = true;
    emit verifyingBrowserIntegrationChanged();
    const bool hadWindow = setupController_ != nullptr;
    if (setupController_)
        setupController_->removeFromScreen();
    activatePreferredBrowserForSetupCheck();
    QTimer::singleShot(browserActivationDelayMs, this, [this, hadWindow] {
        try {
            if (!services_.validateBrowserSetup)
                throw BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost);
            services_.validateBrowserSetup();
            markBrowserVerified();
            setLastErrorMessage(std::nullopt);
            setSetupState(evaluatedSetupState());
        } catch (const std::exception& e) {
            setLastErrorMessage(userFacingErrorMessage(e));
            refreshSetupState();
        }
        verifyingBrowserIntegration_ = false;
        emit verifyingBrowserIntegrationChanged();
        if (hadWindow && setupController_) {
            if (services_.activateSelf)
                services_.activateSelf();
            setupController_->present();
        }
    });
}

void AppModel::openSetupSettingsPage(SetupItemKind kind) {
    const std::optional<DesktopPermissions::Page> page = settingsPage(kind);
    if (page && services_.permissions && services_.permissions->openSettingsPage(*page)) {
        refreshSetupState(); // the page may have changed the answer at once
        return;
    }
    if (kind == SetupItemKind::automation || kind == SetupItemKind::browserJavaScript) {
        // Browser automation is switched on in the browser itself: its instructions.
        showBrowserJavaScriptHelp();
        return;
    }
    // The desktop has no page for this permission: explain the item instead.
    refreshSetupState();
    const SetupChecklistItem* item = setupState_.item(kind);
    alert({AlertStyle::informational,
           SetupTexts::itemTitle(kind),
           item ? item->detail : SetupTexts::itemPurpose(kind),
           {QStringLiteral("OK")}});
}

// --- messages and help ------------------------------------------------------------

int AppModel::alert(const AlertText& text) {
    if (services_.activateSelf)
        services_.activateSelf();
    return services_.showAlert ? services_.showAlert(text) : 1000;
}

void AppModel::openSupportSite() {
    if (services_.openURL)
        services_.openURL(supportSiteURL());
}

void AppModel::showBrowserJavaScriptHelp() {
    AlertText text = AlertTexts::browserJavaScriptHelp();
    text.informativeText = QString::fromUtf8(browser_setup_texts::javaScriptHelpText);
    if (alert(text) == 1001)
        openSupportSite();
}

void AppModel::copyLastErrorMessage() {
    if (!lastErrorMessage_ || lastErrorMessage_->isEmpty())
        return;
    if (services_.copyText)
        services_.copyText(*lastErrorMessage_);
}

void AppModel::showLastErrorDetails() {
    if (!lastErrorMessage_ || lastErrorMessage_->isEmpty())
        return;
    // "コピー" copies the text the alert shows, even if the message changed meanwhile.
    const QString message = *lastErrorMessage_;
    if (alert(AlertTexts::errorDetails(message)) == 1001 && services_.copyText)
        services_.copyText(message);
}

} // namespace lumivane
