#pragma once
#include "browser/DevToolsBridge.h"
#include "setup/SetupHost.h"

#include <QFuture>

namespace lumivane {

class AppModel;

// The setup checklist's view of the application object.
class AppSetupHost final : public SetupHost {
    Q_OBJECT
public:
    explicit AppSetupHost(AppModel& model);

    const SetupChecklistState& setupState() const override;
    void refreshSetupState() override;
    void verifyBrowserIntegrationSetup() override;
    bool isVerifyingBrowserIntegration() const override;
    void openSetupSettingsPage(SetupItemKind kind) override;
    void showBrowserJavaScriptHelp() override;
    void openSupportSite() override;
    void dismissSetupWindow() override;
    std::optional<QString> lastErrorMessage() const override;
    bool shortcutsBoundByDesktop() const override;
    bool offersTextRecognition() const override;
    DesktopShortcuts* desktopShortcuts() override;

private:
    AppModel& model_;
};

// The desktop implementations of the setup services left empty in `services`: the
// desktop backend's permission answers and window activation, the setup window, Qt alerts, the default
// browser for addresses, the clipboard for text, and the browser check over DevTools.
struct AppServices;
void completeSetupServices(AppServices& services);

// Waits for a browser check of the browser capture service, delivering events meanwhile
// (the check itself runs on that service's thread); rethrows its error.
void waitForBrowserCheck(QFuture<BrowserTab> check);

} // namespace lumivane
