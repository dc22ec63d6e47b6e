#pragma once
#include "app/AppServices.h"
#include "app/CaptureOutcome.h"
#include "app/ClipboardController.h"
#include "app/EditorSession.h"
#include "app/FileNaming.h"
#include "app/HotKeyController.h"
#include "app/ImageSaver.h"
#include "app/PreviewController.h"
#include "settings/AppSettings.h"
#include "settings/SettingsHost.h"
#include "setup/SetupChecklist.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

class AppSetupHost;
class TextRecognitionController;
class DelayedCapture;
class HistoryRecorder;

// The application's core: the current capture and the last message for the user,
// the capture flows, the launch work and the setup checklist. It owns and wires the
// controllers of hot keys, preview, editor session, clipboard, saving and file names.
// UI thread only.
class AppModel : public QObject {
    Q_OBJECT
public:
    AppModel(std::unique_ptr<AppSettings> settings, AppServices services, QObject* parent = nullptr);
    ~AppModel() override;

    AppSettings& settings() { return *settings_; }
    const AppSettings& settings() const { return *settings_; }
    HotKeyController& hotKeys() { return *hotKeys_; }
    const HotKeyController& hotKeys() const { return *hotKeys_; }
    PreviewController& preview() { return *preview_; }
    EditorSession& editorSession() { return *editorSession_; }
    const EditorSession& editorSession() const { return *editorSession_; }
    ClipboardController& clipboard() { return *clipboard_; }
    ImageSaver& saver() { return *saver_; }
    const FileNaming& fileNaming() const { return *fileNaming_; }
    TextRecognitionController& textRecognition() { return *textRecognition_; }
    // The kept captures (AppHistory.cpp); each shown capture is recorded while the
    // settings keep history.
    HistoryRecorder& history() { return *history_; }

    // Published state.
    const std::optional<CapturedImage>& currentCapture() const { return currentCapture_; }
    const std::optional<QString>& lastErrorMessage() const { return lastErrorMessage_; }
    bool hasSelectionOverlay() const { return selectionOverlay_ != nullptr; }

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
    // An area whose text is read instead of shown (TextRecognitionController); `done`
    // hears the text (CaptureOutcome::read), the reading's failure or the cancel.
    void captureAreaText(CaptureCompletion done = {});
    // Reads the text of the current image (the preview's action).
    void readCurrentImageText();
    // The active window (AppRepeatCaptureFlows.cpp), and the last area again on its screen.
    void captureWindow(CaptureCompletion done = {});
    void captureLastArea(CaptureCompletion done = {});
    // The full screen, an area, the active window or the last area after a countdown of
    // `seconds` (AppDelayedCapture.cpp);
    // a new one replaces a running one, which hears cancelled.
    void captureAfterDelay(HotKeyService::Action action, int seconds, CaptureCompletion done = {});
    void cancelDelayedCapture();
    bool isDelayedCaptureRunning() const;
    DelayedCapture* delayedCapture() const { return delayedCapture_.get(); }
    void presentCapture(ImageRef image, CaptureSource source, std::optional<QRectF> previewScreenFrame);

    // Visible frame of the screen for a point / a capture rectangle (area-capture space
    // for rectangles, global space for points).
    std::optional<QRectF> previewScreenFrame(QPointF point) const;
    std::optional<QRectF> previewScreenFrameForRect(const QRectF& rect) const;

    // From the preview to the editor.
    void openEditor();

    // The current image: the capture, else the flattened editor document.
    ImageRef currentPreviewImage() const;
    void copyCurrentImage(const std::function<void(bool)>& completion = {});
    // Pins the image (the current one when null) to the screen; false without an image
    // or where pins cannot be shown.
    bool pinImage(ImageRef image = nullptr);
    // Without an image `completion` hears false.
    void saveCurrentImageQuickly(const std::function<void(bool)>& completion = {});

signals:
    void currentCaptureChanged();
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
    void reportFailure(const QString& message);
    void reportCaptureFailure(const std::exception& error, CaptureWaiters& waiters);
    SetupChecklistState evaluatedSetupState() const;
    void setSetupState(SetupChecklistState state);
    bool frontmostIsSupportedBrowser() const;
    void markBrowserVerified();
    int alert(const AlertText& text);
    void setLastErrorMessage(std::optional<QString> message);
    CaptureSource currentSource() const;
    void editedImageRendered(const ImageRef& image);
    void captureAreaThen(CaptureCompletion done, bool readText);
    void readCapturedText(const ImageRef& image, const std::shared_ptr<CaptureWaiters>& waiters);
    void rememberCaptureArea(const QRectF& rect);
    void presentCaptureOf(QFuture<ImageRef> capture, std::optional<QRectF> previewFrame,
                          std::shared_ptr<CaptureWaiters> waiters);

    std::unique_ptr<AppSettings> settings_;
    AppServices services_;
    std::optional<CapturedImage> currentCapture_;
    std::optional<QString> lastErrorMessage_;
    // Built on the settings and services above, in this order.
    std::unique_ptr<FileNaming> fileNaming_;
    std::unique_ptr<HotKeyController> hotKeys_;
    std::unique_ptr<PreviewController> preview_;
    std::unique_ptr<ClipboardController> clipboard_;
    std::unique_ptr<ImageSaver> saver_;
    std::unique_ptr<EditorSession> editorSession_;
    std::unique_ptr<TextRecognitionController> textRecognition_;

    SetupChecklistState setupState_ = SetupChecklistState::empty();
    std::unique_ptr<AppSetupHost> setupHost_; // outlives the window that shows it
    std::unique_ptr<SetupWindowPresenter> setupController_;
    QTimer* browserSetupRecheckTask_ = nullptr;
    bool verifyingBrowserIntegration_ = false;
    bool launchTasksStarted_ = false;
    std::unique_ptr<SelectionOverlay> selectionOverlay_;
    std::shared_ptr<CaptureWaiters> selectionWaiters_; // of the running selection
    std::unique_ptr<DelayedCapture> delayedCapture_;
    std::unique_ptr<HistoryRecorder> history_;
    // Captures whose history entries (and, for the last, clipboard data and code search)
    // wait until the preview has painted, at the latest afterPreviewTimer_'s interval.
    std::vector<ImageRef> afterPreview_;
    QTimer afterPreviewTimer_;
    void startWorkAfterPreview();
};

} // namespace lumivane
