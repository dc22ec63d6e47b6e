#pragma once
#include "core/ImageFormats.h"
#include "shortcuts/Shortcut.h"

#include <QKeySequence>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace lumivane {

enum class TrayMenuCommand {
    captureFullScreen,
    captureArea,
    captureWindow,
    captureLastArea,
    captureBrowserFullPage,
    captureAreaText,
    captureFullScreenAfterDelay, // the entry's delaySeconds
    captureAreaAfterDelay,
    cancelDelayedCapture,
    openRecentCapture, // the entry's argument: its place in recentCaptures
    showCaptureHistory,
    openEditor,
    copyImage,
    exportImage,
    openSetup,
    openShortcutSettings,
    openSystemScreenshotSettings,
    useRecommendedShortcuts,
    openProject,
    editClipboardImage,
    saveProject,
    showErrorDetails,
    copyErrorMessage,
    openSettings,
    checkForUpdates,
    quit,
};

// What the menu shows is a function of these published values only.
struct TrayMenuState {
    bool hasCapture = false;
    bool hasEditorDocument = false;
    bool hasLastCaptureArea = false;
    ScreenshotFileFormat screenshotFileFormat = ScreenshotFileFormat::png;
    QMap<ShortcutAction, Shortcut> shortcuts;
    bool setupComplete = false;
    bool hasShortcutRegistrationFailures = false;
    std::optional<QString> lastErrorMessage;
    bool canCheckForUpdates = false;
    // Text recognition's engine is installed.
    bool offersTextRecognition = false;
    bool delayedCaptureRunning = false;
    // Captions of the last kept captures, newest first (empty while history is off).
    QStringList recentCaptures;
    bool historyEnabled = true;
};

struct TrayMenuEntry {
    enum class Kind { headline, subheadline, divider, section, button, caption, warning, errorBox };
    Kind kind = Kind::button;
    QString text;
    bool enabled = true;
    std::optional<TrayMenuCommand> command;
    std::optional<QKeySequence> keySequence;
    // The key as the menu shows it ("Super+Shift+1"), beside its key sequence.
    std::optional<QString> keyText;
    // The submenu that holds the entry (none: the menu itself).
    std::optional<QString> submenu;
    // The delay in seconds, or the place of a recent capture.
    int argument = 0;
};

// The menu from top to bottom.
std::vector<TrayMenuEntry> trayMenuEntries(const TrayMenuState& state);

// First paragraph of a message on one line; the whole trimmed message when that is empty.
QString errorSummary(const QString& message);

// Menu key of a stored shortcut: its key (space when it has no menu key) with
// the Ctrl, Alt, Shift and Super bits mapped to desktop modifiers.
QKeySequence menuKeySequence(const Shortcut& shortcut);

} // namespace lumivane
