#pragma once
#include "setup/SetupChecklist.h"

#include <QObject>
#include <QString>
#include <optional>

namespace lumivane {

class DesktopShortcuts;

// What the setup checklist view needs from the application object. UI thread only.
class SetupHost : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SetupHost() override = default;

    virtual const SetupChecklistState& setupState() const = 0;
    // Re-evaluates the checklist ("再チェック").
    virtual void refreshSetupState() = 0;
    // The live check of the front browser; the state changes when it ends.
    virtual void verifyBrowserIntegrationSetup() = 0;
    virtual bool isVerifyingBrowserIntegration() const = 0;
    // Opens the settings page of an item, or explains what to do when the desktop has none.
    virtual void openSetupSettingsPage(SetupItemKind kind) = 0;
    virtual void showBrowserJavaScriptHelp() = 0;
    virtual void openSupportSite() = 0;
    // "今は閉じる": closes the setup window and remembers the guide as seen.
    virtual void dismissSetupWindow() = 0;
    // The latest failure text, shown under the items (absent: nothing to show).
    virtual std::optional<QString> lastErrorMessage() const = 0;
    // The capture shortcuts are bound in the desktop's own keyboard settings (the
    // application cannot register them there): the checklist shows the commands.
    virtual bool shortcutsBoundByDesktop() const { return false; }
    // Text recognition is installed: its command is offered for binding too.
    virtual bool offersTextRecognition() const { return false; }
    // The commands registered in the desktop's keyboard settings by a button (GNOME); null elsewhere.
    virtual DesktopShortcuts* desktopShortcuts() { return nullptr; }

signals:
    void setupStateChanged();
    void verifyingChanged();
    void lastErrorMessageChanged();
};

} // namespace lumivane
