#pragma once
#include "platform/DesktopPermissions.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace lumivane {

class AppSettings;

enum class SetupItemKind { screenRecording, accessibility, automation, browserJavaScript };
inline constexpr SetupItemKind allSetupItemKinds[] = {SetupItemKind::screenRecording, SetupItemKind::accessibility,
                                                      SetupItemKind::automation, SetupItemKind::browserJavaScript};
QString rawValue(SetupItemKind kind);

enum class SetupStatus { ready, actionRequired, verificationNeeded };

enum class SetupPresentationMode { onboarding, standard };

struct SetupChecklistItem {
    SetupItemKind kind = SetupItemKind::screenRecording;
    SetupStatus status = SetupStatus::actionRequired;
    QString detail;
    // False where this desktop has nothing of the kind to grant (X11 capture, the
    // accessibility permission): the checklist does not show the item.
    bool applies = true;
    bool operator==(const SetupChecklistItem&) const = default;
};

// What the evaluation asks the desktop; it never prompts.
struct SetupPermissionAnswers {
    bool screenCaptureAllowed = false;
    bool accessibilityAllowed = false;
    // Screen capture goes through the desktop's screenshot portal (Wayland): when it is
    // not allowed, the portal is missing and the item says what to install.
    bool screenCaptureThroughPortal = false;
    // The desktop has no accessibility permission and nothing needs one: the item is ready.
    bool accessibilityApplies = true;
    // What the desktop remembers of its screenshot question, where it asks one.
    ScreenCaptureConsent screenCaptureConsent = ScreenCaptureConsent::notApplicable;
};

// The four setup items, always in the order of allSetupItemKinds once evaluated.
struct SetupChecklistState {
    std::vector<SetupChecklistItem> items;
    QDateTime lastCheckedAt;

    // Before the first evaluation: no items.
    static SetupChecklistState empty() { return {}; }
    static SetupChecklistState evaluate(const AppSettings& settings, SetupPermissionAnswers permissions);

    // The first item of a kind; a missing kind counts as not ready.
    const SetupChecklistItem* item(SetupItemKind kind) const;
    bool isReady(SetupItemKind kind) const;
    bool isReadyForBasicCapture() const { return isReady(SetupItemKind::screenRecording); }
    bool hasBrowserCapturePermissions() const {
        return isReady(SetupItemKind::screenRecording) && isReady(SetupItemKind::accessibility);
    }
    bool isReadyForBrowserCapture() const;
    // Every item evaluated and ready.
    bool isComplete() const {
        if (items.empty())
            return false;
        for (const SetupChecklistItem& i : items)
            if (i.status != SetupStatus::ready)
                return false;
        return true;
    }
};

// Fixed texts of the checklist view.
namespace SetupTexts {
QString windowTitle(SetupPresentationMode mode);
QString headerLine(SetupPresentationMode mode);
QString headerNote();
QString basicCardTitle();
QString basicCardValue(bool ready);
QString browserCardTitle();
QString browserCardValue(bool ready);
QString itemTitle(SetupItemKind kind);
QString itemPurpose(SetupItemKind kind);
QString statusBadge(SetupStatus status);
// The button that opens the item's settings page ("手順を見る" for the JavaScript item).
QString settingsButton(SetupItemKind kind);
QString browserCheckButton(); // on the automation and JavaScript rows
QString procedureTitle();
QStringList procedureLines();
QString recheckButton();
QString footerBrowserCheckButton();
QString supportButton();
QString closeForNowButton(); // onboarding only
} // namespace SetupTexts

} // namespace lumivane
