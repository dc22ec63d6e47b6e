#pragma once
#include "core/ImageFormats.h"
#include "core/RgbaColor.h"
#include "settings/LastCaptureArea.h"
#include "settings/SettingsStore.h"
#include "shortcuts/Shortcut.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <memory>
#include <optional>

namespace lumivane {

// Every field of the stored settings document.
struct AppSettingsValues {
    QMap<ShortcutAction, Shortcut> shortcuts{
        {ShortcutAction::captureFullScreen, defaultShortcut(ShortcutAction::captureFullScreen)},
        {ShortcutAction::captureArea, defaultShortcut(ShortcutAction::captureArea)}};
    bool openEditorAfterCapture = false;
    bool autoDismissPreview = false;
    // Text read from a capture goes to the clipboard at once instead of the result window.
    bool copyRecognizedTextAtOnce = false;
    std::optional<QString> defaultSaveFolderPath;
    std::optional<QByteArray> defaultSaveFolderBookmarkData;
    ScreenshotFileFormat screenshotFileFormat = ScreenshotFileFormat::png;
    CaptureQualityPreset captureQualityPreset = CaptureQualityPreset::medium;
    ScreenshotFileFormat shareFileFormat = ScreenshotFileFormat::png;
    QStringList recentShareServiceTitles;
    QString fileNamePrefix = QStringLiteral("Lumivane");
    RgbaColor defaultAnnotationColor = RgbaColor::accent();
    RgbaColor defaultTextColor = RgbaColor::accent();
    RgbaColor defaultMarkerColor = RgbaColor::defaultYellow();
    RgbaColor defaultHighlightColor = RgbaColor::highlight();
    double defaultAnnotationLineWidth = 4.0;
    double defaultMarkerLineWidth = 18.0;
    double defaultTextFontSize = 32.0;
    bool hasSeenSetupGuide = false;
    bool hasSeenShortcutConflictNotice = false;
    // The notice that Lumivane runs without a tray icon was shown (once per installation).
    bool hasSeenNoTrayNotice = false;
    bool browserAutomationVerified = false;
    bool browserJavaScriptVerified = false;
    // Whole-page captures that the output limits would shrink below a readable width are
    // saved as numbered parts.
    bool splitLongPages = false;
    // Window captures take the window manager's frame (title bar, borders) with the window.
    bool includeWindowFrame = true;
    // Where the last area capture was; none before the first.
    std::optional<LastCaptureArea> lastCaptureArea;
    // The last captures kept as projects in the user's data folder, within both bounds.
    bool historyEnabled = true;
    int historyMaximumEntries = 50;
    int historyMaximumMegabytes = 500;

    friend bool operator==(const AppSettingsValues&, const AppSettingsValues&) = default;
};

// The stored JSON form: encode always succeeds; decode gives nothing when the
// document is malformed, lacks a required key, has a wrong type or an unknown
// enumeration value.
namespace AppSettingsPayload {
QByteArray encode(const AppSettingsValues& values);
std::optional<AppSettingsValues> decode(const QByteArray& bytes);
} // namespace AppSettingsPayload

// The user's preferences. Every change notifies observers (changed()) and
// writes the whole document at once. UI thread only.
class AppSettings : public QObject {
    Q_OBJECT
public:
    static constexpr const char* storageKey = "lumivane.settings";

    // Reads the stored document; unreadable or invalid documents give the
    // defaults and are left untouched until the next write.
    explicit AppSettings(std::unique_ptr<SettingsStore> store, QObject* parent = nullptr);
    // Uses the settings file in the user's config directory.
    explicit AppSettings(QObject* parent = nullptr);

    const AppSettingsValues& values() const { return values_; }

    const QMap<ShortcutAction, Shortcut>& shortcuts() const { return values_.shortcuts; }
    Shortcut shortcut(ShortcutAction action) const;
    void setShortcuts(const QMap<ShortcutAction, Shortcut>& shortcuts);
    void setShortcut(const Shortcut& shortcut, ShortcutAction action);

    bool openEditorAfterCapture() const { return values_.openEditorAfterCapture; }
    void setOpenEditorAfterCapture(bool value);
    bool autoDismissPreview() const { return values_.autoDismissPreview; }
    void setAutoDismissPreview(bool value);
    bool copyRecognizedTextAtOnce() const { return values_.copyRecognizedTextAtOnce; }
    void setCopyRecognizedTextAtOnce(bool value);
    const std::optional<QString>& defaultSaveFolderPath() const { return values_.defaultSaveFolderPath; }
    void setDefaultSaveFolderPath(const std::optional<QString>& value);
    const std::optional<QByteArray>& defaultSaveFolderBookmarkData() const {
        return values_.defaultSaveFolderBookmarkData;
    }
    void setDefaultSaveFolderBookmarkData(const std::optional<QByteArray>& value);
    ScreenshotFileFormat screenshotFileFormat() const { return values_.screenshotFileFormat; }
    void setScreenshotFileFormat(ScreenshotFileFormat value);
    CaptureQualityPreset captureQualityPreset() const { return values_.captureQualityPreset; }
    void setCaptureQualityPreset(CaptureQualityPreset value);
    ScreenshotFileFormat shareFileFormat() const { return values_.shareFileFormat; }
    void setShareFileFormat(ScreenshotFileFormat value);
    const QStringList& recentShareServiceTitles() const { return values_.recentShareServiceTitles; }
    void setRecentShareServiceTitles(const QStringList& value);
    const QString& fileNamePrefix() const { return values_.fileNamePrefix; }
    void setFileNamePrefix(const QString& value);
    RgbaColor defaultAnnotationColor() const { return values_.defaultAnnotationColor; }
    void setDefaultAnnotationColor(const RgbaColor& value);
    RgbaColor defaultTextColor() const { return values_.defaultTextColor; }
    void setDefaultTextColor(const RgbaColor& value);
    RgbaColor defaultMarkerColor() const { return values_.defaultMarkerColor; }
    void setDefaultMarkerColor(const RgbaColor& value);
    RgbaColor defaultHighlightColor() const { return values_.defaultHighlightColor; }
    void setDefaultHighlightColor(const RgbaColor& value);
    double defaultAnnotationLineWidth() const { return values_.defaultAnnotationLineWidth; }
    void setDefaultAnnotationLineWidth(double value);
    double defaultMarkerLineWidth() const { return values_.defaultMarkerLineWidth; }
    void setDefaultMarkerLineWidth(double value);
    double defaultTextFontSize() const { return values_.defaultTextFontSize; }
    void setDefaultTextFontSize(double value);
    bool hasSeenSetupGuide() const { return values_.hasSeenSetupGuide; }
    void setHasSeenSetupGuide(bool value);
    bool hasSeenShortcutConflictNotice() const { return values_.hasSeenShortcutConflictNotice; }
    void setHasSeenShortcutConflictNotice(bool value);
    bool hasSeenNoTrayNotice() const { return values_.hasSeenNoTrayNotice; }
    void setHasSeenNoTrayNotice(bool value);
    bool browserAutomationVerified() const { return values_.browserAutomationVerified; }
    void setBrowserAutomationVerified(bool value);
    bool browserJavaScriptVerified() const { return values_.browserJavaScriptVerified; }
    void setBrowserJavaScriptVerified(bool value);
    bool splitLongPages() const { return values_.splitLongPages; }
    void setSplitLongPages(bool value);
    bool includeWindowFrame() const { return values_.includeWindowFrame; }
    void setIncludeWindowFrame(bool value);
    // Application state: written at once, without changed() (no settings view follows it).
    const std::optional<LastCaptureArea>& lastCaptureArea() const { return values_.lastCaptureArea; }
    void setLastCaptureArea(const std::optional<LastCaptureArea>& value);
    bool historyEnabled() const { return values_.historyEnabled; }
    void setHistoryEnabled(bool value);
    int historyMaximumEntries() const { return values_.historyMaximumEntries; }
    void setHistoryMaximumEntries(int value);
    int historyMaximumMegabytes() const { return values_.historyMaximumMegabytes; }
    void setHistoryMaximumMegabytes(int value);

    // Writes the whole document. A failed write is ignored (the values stay in memory).
    void persist();
    // The default save folder: there are no folder bookmarks on Linux, so this
    // is the stored path when present and non-empty.
    std::optional<QUrl> resolvedDefaultSaveFolderURL() const;
    // Everything back to the defaults except the four application-state flags.
    void restoreDefaults();

signals:
    void changed();

private:
    template <class T>
    void assign(T& field, const T& value);

    std::unique_ptr<SettingsStore> store_;
    AppSettingsValues values_;
};

} // namespace lumivane
