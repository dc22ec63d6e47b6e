#pragma once
#include "app/AppServices.h"
#include "app/CaptureOutcome.h"
#include "editor/EditorHost.h"
#include "settings/AppSettings.h"
#include "settings/SettingsHost.h"
#include "setup/SetupChecklist.h"

#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace lumivane {

class AppSetupHost;

class AppDesktopShortcuts;

// The one application object: current capture, editor document and history, the
// capture flows, preview and editor hand-over, copy and save. UI thread only; the
// clipboard PNG and the flattening of a finished document run in the background
// and are dropped when stale (by image identity, by generation).
class AppModel : public EditorHost {
    Q_OBJECT
public:
    AppModel(std::unique_ptr<AppSettings> settings, AppServices services, QObject* parent = nullptr);
    ~AppModel() override;

    // Published state.
    const std::optional<CapturedImage>& currentCapture() const { return currentCapture_; }
    const std::optional<QString>& lastErrorMessage() const { return lastErrorMessage_; }
    bool hasSelectionOverlay() const { return selectionOverlay_ != nullptr; }
    qint64 finishEditingGeneration() const { return finishEditingGeneration_; }
    bool hasPendingFinishedEditorDocument() const { return pendingFinishedEditorDocument_.has_value(); }

    // Hot keys.
    void applySettings();
    std::vector<HotKeyService::RegistrationFailure> registerConfiguredShortcuts();
    void showRegistrationFailures(const std::vector<HotKeyService::RegistrationFailure>& failures);
    // A desktop where the application registers no hot keys of its own (Wayland without
    // a GlobalShortcuts portal): the user binds the capture commands there.
    bool shortcutsBoundByDesktop() const;
    // The commands in the desktop's keyboard settings, where it takes them from us (GNOME); else null.
    DesktopShortcuts* desktopShortcuts() const;
    void useRecommendedShortcuts();
    // Releases every hot key (while a shortcut is being recorded); applySettings() restores them.
    void suspendHotKeys();
    const QMap<HotKeyService::Action, HotKeyService::RegistrationFailure>& shortcutRegistrationFailures() const {
        return shortcutRegistrationFailures_;
    }
    // A hot key or a command: `done` hears how the capture ended (an area request
    // while a selection runs hears how that selection ends).
    void handleHotKey(HotKeyService::Action action, CaptureCompletion done = {});

    // Launch: after 0.5 s the setup guide (until it has been seen), 0.7 s later the
    // notice about the desktop's screenshot keys. Never blocks.
    void startLaunchTasks();
    void maybePresentInitialSetupGuide();
    void maybePresentShortcutConflictNotice();
    // Shows the settings window, on a tab when one is given (the tray owns the window).
    void openSettings(std::optional<SettingsTab> tab = std::nullopt);
    std::function<void(std::optional<SettingsTab>)> openSettingsHandler;

    // Setup checklist.
    const SetupChecklistState& setupState() const { return setupState_; }
    void refreshSetupState();
    void openSetupWindow(SetupPresentationMode mode);
    void dismissSetupWindow();
    SetupWindowPresenter* setupWindow() const { return setupController_.get(); }
    SetupHost& setupHost();
    void scheduleBrowserSetupRecheckIfNeeded();
    bool hasScheduledBrowserSetupRecheck() const { return browserSetupRecheckTask_ != nullptr; }
    void performBrowserSetupRecheck();
    void verifyBrowserIntegrationSetup();
    bool isVerifyingBrowserIntegration() const { return verifyingBrowserIntegration_; }
    void activatePreferredBrowserForSetupCheck();
    // Opens the desktop's page for an item, or explains the item when there is none.
    void openSetupSettingsPage(SetupItemKind kind);

    // Messages and help.
    static QUrl supportSiteURL() { return QUrl(QStringLiteral("https://lumivane.app/support")); }
    void openSupportSite();
    void showBrowserJavaScriptHelp();
    void copyLastErrorMessage();
    void showLastErrorDetails();

    // Capture flows (AppCaptureFlows.cpp). `done` hears once how the capture ended:
    // shown in the preview, failed (its message also becomes lastErrorMessage and
    // captureFailed is emitted) or cancelled by the user.
    void captureFullScreen(CaptureCompletion done = {});
    void captureArea(CaptureCompletion done = {});
    void captureBrowserFullPage(CaptureCompletion done = {});
    void presentCapture(ImageRef image, CaptureSource source, std::optional<QRectF> previewScreenFrame);

    // Visible frame of the screen for a point / a capture rectangle (area-capture space
    // for rectangles, global space for points).
    std::optional<QRectF> previewScreenFrame(QPointF point) const;
    std::optional<QRectF> previewScreenFrameForRect(const QRectF& rect) const;

    // Preview.
    void dismissPreview();
    void schedulePreviewAutoDismissIfNeeded();
    void previewHoverChanged(bool hovering);
    void notePreviewInteraction();
    // The preview has painted a newly shown picture: background work for it may start.
    void previewPresented();

    // Editor hand-over.
    void openEditor();

    // Copy and save.
    ImageRef currentPreviewImage() const;
    void preparePreviewClipboardDataIfNeeded(const ImageRef& image);
    void copyCurrentImage(std::function<void(bool)> completion = {});
    void writeImageToClipboard(const ImageRef& image, CaptureSource source);
    void saveImageQuickly(const ImageRef& image, CaptureSource source, std::function<void(bool)> completion = {});
    void saveImageWithPanel(const ImageRef& image, CaptureSource source);
    std::optional<QByteArray> encodedImageData(const ImageRef& image, CaptureSource source) const;

    // File naming.
    static QString timestamp();
    QString generatedFileNameBase() const;
    QString generatedFileName() const;
    QString uniqueImagePath(const QString& folder) const;
    // Saves the parts of a split page as numbered files in the default save folder (else
    // the pictures folder); returns the note for the user (empty when saving failed, which
    // is reported).
    QString saveBrowserPageParts(const std::vector<ImageRef>& parts);
    // The clipboard's temporary file name for a base: "/" and ":" become "-".
    static QString clipboardFileName(const QString& base);

    // EditorHost.
    EditorDocument* editorDocument() override { return editorDocument_ ? &*editorDocument_ : nullptr; }
    const EditorHistory& editorHistory() const override { return editorHistory_; }
    AppSettings& settings() override { return *settings_; }
    void commitEditorChange(const EditorSnapshot& previous) override;
    void undoEditorChange() override;
    void redoEditorChange() override;
    bool editorIsEditingText() const override { return editorIsEditingText_; }
    void setEditorIsEditingText(bool editing) override { editorIsEditingText_ = editing; }
    RgbaColor configuredAnnotationColor(AnnotationKind kind) const override;
    void rotateEditorImage(ImageRotationDirection direction) override;
    void flipEditorImage(bool horizontally) override;
    void resizeEditorImage(double scale) override;
    void applyCropToEditorDocument() override;
    void cancelEditorCrop() override;
    void finishEditing(const EditorDocument& document) override;
    void saveAs(const EditorDocument& document) override;
    void copy(const EditorDocument& document) override;
    void saveImageQuickly(const EditorDocument& document) override;
    bool saveProject(const EditorDocument& document, const QString& path) override;
    bool openProject(const QString& path) override;

signals:
    void currentCaptureChanged();
    void shortcutRegistrationFailuresChanged();
    // Any published value changed (the menu rebuilds itself).
    void stateChanged();
    void lastErrorMessageChanged();
    // The checklist was evaluated again.
    void setupStateChanged();
    void verifyingBrowserIntegrationChanged();
    // The flattened image of a finished editing became current.
    void editedCaptureFinalized();
    // A capture flow failed; the message is the text the menu shows.
    void captureFailed(const QString& message);

private:
    void reportError(const std::exception& error);
    void reportCaptureFailure(const std::exception& error, CaptureWaiters& waiters);
    SetupChecklistState evaluatedSetupState() const;
    void setSetupState(SetupChecklistState state);
    bool frontmostIsSupportedBrowser() const;
    void markBrowserVerified();
    int alert(const AlertText& text);
    void setLastErrorMessage(std::optional<QString> message);
    void invalidatePendingEditFinalization();
    void presentEditorWindow();
    void afterImageOperation(bool changed);
    PreviewPresenter& preview();
    CaptureSource currentSource() const;
    struct ClipboardData {
        std::optional<QByteArray> png;
        std::optional<QString> filePath;
    };
    // Encodes and writes the temporary file; safe on any thread.
    static ClipboardData makeClipboardData(const QImage& image, ImageExportProfile profile, CaptureQualityPreset preset,
                                           const QString& directory, const QString& base);
    // False (and the error shown) when the desktop did not take it.
    bool writeClipboard(const ClipboardData& data, const ImageRef& image);

    SetupChecklistState setupState_ = SetupChecklistState::empty();
    std::unique_ptr<AppSetupHost> setupHost_; // outlives the window that shows it
    std::unique_ptr<SetupWindowPresenter> setupController_;
    QTimer* browserSetupRecheckTask_ = nullptr;
    bool verifyingBrowserIntegration_ = false;
    bool launchTasksStarted_ = false;
    QMap<HotKeyService::Action, HotKeyService::RegistrationFailure> shortcutRegistrationFailures_;
    QTimer* shortcutReapplyTask_ = nullptr;
    bool hotKeysSuspended_ = false; // a shortcut recorder is capturing keys
    std::unique_ptr<AppSettings> settings_;
    AppServices services_;
    std::unique_ptr<AppDesktopShortcuts> desktopShortcuts_;
    std::optional<CapturedImage> currentCapture_;
    std::optional<EditorDocument> editorDocument_;
    EditorHistory editorHistory_;
    std::optional<QString> lastErrorMessage_;
    std::unique_ptr<SelectionOverlay> selectionOverlay_;
    std::shared_ptr<CaptureWaiters> selectionWaiters_; // of the running selection
    std::unique_ptr<PreviewPresenter> preview_;
    std::unique_ptr<EditorPresenter> editor_;
    QTimer previewDismissTimer_;
    bool previewIsHovering_ = false;
    QDateTime previewLastInteractionAt_;
    qint64 finishEditingGeneration_ = 0;
    std::optional<EditorDocument> pendingFinishedEditorDocument_;
    bool editorIsEditingText_ = false;
    QThreadPool previewClipboardQueue_; // serial: one thread
    QTimer previewClipboardStart_;      // until the preview reports itself painted
    std::shared_ptr<std::atomic<quint64>> previewClipboardGeneration_ = std::make_shared<std::atomic<quint64>>(0);
    // The image the cache belongs to, compared by object identity; holding it means a
    // freed image's address can never be mistaken for a new one.
    ImageRef cachedPreviewClipboardImage_;
    std::optional<QByteArray> cachedPreviewClipboardPNGData_;
    std::optional<QString> cachedPreviewClipboardFilePath_;
};

} // namespace lumivane
