#pragma once
#include "browser/BrowserFullPageCaptureService.h"
#include "shortcuts/Shortcut.h"

#include <QString>
#include <QStringList>
#include <exception>
#include <stdexcept>
#include <vector>

namespace lumivane {

// One Japanese text block for any failure. Capture and browser errors get their
// fixed texts; any other error shows its own description (what(), UTF-8).
QString userFacingErrorMessage(const std::exception& error);

// Message shown after a whole-page capture whose picture leaves part of the page out.
QString browserCaptureOmissionMessage(const std::vector<BrowserCaptureOmission>& omissions);
// A file the application could not write, or a project it could not open. Its
// user-facing text is Japanese and names the file; the system's reason follows.
class FileOperationError : public std::runtime_error {
public:
    enum class Kind { folderNotCreated, fileNotWritten, projectNotReadable, projectInvalid };
    FileOperationError(Kind kind, QString path, QString reason = {});
    Kind kind() const { return kind_; }
    const QString& path() const { return path_; }
    QString description() const;

private:
    Kind kind_;
    QString path_;
    QString reason_;
};

// Name of a capture command in messages ("全画面を撮影", "範囲を選択して撮影").
QString actionDisplayName(ShortcutAction action);
// Message set when some hot keys could not be registered; names in the order given.
QString shortcutRegistrationFailureMessage(const std::vector<ShortcutAction>& failedActions);

enum class AlertStyle { informational, warning };

// Text and buttons of a modal alert. Pressed buttons are reported as 1000, 1001, 1002.
struct AlertText {
    AlertStyle style = AlertStyle::informational;
    QString title;
    QString informativeText;
    QStringList buttons;
};

namespace AlertTexts {
AlertText errorDetails(const QString& message);
AlertText shortcutConflictNotice();
AlertText browserJavaScriptHelp();
AlertText screenshotShortcutSettingsFallback();
} // namespace AlertTexts

} // namespace lumivane
