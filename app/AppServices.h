#pragma once
#include "browser/BrowserFullPageCaptureService.h"
#include "browser/SupportedBrowser.h"
#include "core/Image.h"
#include "core/ImageExportPipeline.h"
#include "platform/DesktopBackend.h"
#include "platform/DesktopPermissions.h"
#include "platform/Screens.h"
#include "setup/SetupHost.h"
#include "shortcuts/HotKeyService.h"

#include <QByteArray>
#include <QDateTime>
#include <QFuture>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

enum class CaptureSource : quint8 { standard = 0, browserFullPage = 1 };

inline ImageExportProfile exportProfile(CaptureSource source) {
    return source == CaptureSource::browserFullPage ? ImageExportProfile::browserFullPage
                                                    : ImageExportProfile::standard;
}

// One capture; the image is shared and never mutated.
struct CapturedImage {
    ImageRef image;
    QDateTime createdAt;
    CaptureSource source = CaptureSource::standard;
    // Visible frame of the screen the preview appears on (global space, y up).
    std::optional<QRectF> previewScreenFrame;
};

// The area selection overlay of one capture.
class SelectionOverlay {
public:
    virtual ~SelectionOverlay() = default;
    // The dragged rectangle in the area-capture space; nothing when cancelled.
    // Failures travel as exceptions in the future.
    virtual QFuture<std::optional<QRectF>> beginSelection() = 0;
    virtual void activateOverlay() = 0;
};

// The floating thumbnail after a capture.
class PreviewPresenter {
public:
    virtual ~PreviewPresenter() = default;
    virtual void show(const CapturedImage& capture) = 0;
    virtual void hideWithFadeSlide() = 0;
    virtual void removeFromScreen() = 0; // at once, no animation
    virtual bool isVisible() const = 0;
    // Creates the window ahead of the first show (the application is idle).
    virtual void prepare() {}
    // QR codes or barcodes were found in the shown capture.
    virtual void setCodesFound(bool found) {}
};

// The editor window.
class EditorPresenter {
public:
    virtual ~EditorPresenter() = default;
    virtual void present() = 0;          // show, lay out, make key and front
    virtual void removeFromScreen() = 0; // hidden, kept
    virtual void updateLayout(QSizeF imageSize) = 0;
};

// The desktop clipboard. A copy offers a file URL first and PNG bytes second;
// with neither, the image itself.
class ClipboardWriter {
public:
    virtual ~ClipboardWriter() = default;
    virtual void clear() = 0;
    // False when the desktop did not take the offer (other applications cannot paste it).
    virtual bool write(const std::optional<QString>& filePath, const std::optional<QByteArray>& png) = 0;
    virtual bool writeImage(const ImageRef& image) = 0;
};

// The setup window.
class SetupWindowPresenter {
public:
    virtual ~SetupWindowPresenter() = default;
    virtual SetupPresentationMode mode() const = 0;
    virtual void present() = 0;          // show, make key and front
    virtual void removeFromScreen() = 0; // hidden, kept
    virtual bool isVisible() const = 0;
    virtual void close() = 0; // the close callback follows
};

// A modal alert's text and buttons (declared with the error texts).
struct AlertText;

// Everything the application model reaches outside itself. The product wires the
// desktop backend's and Qt's implementations; tests wire fakes.
struct AppServices {
    // The window-system services and what they can do; the setup services left empty
    // are taken from here (loaded for this session when absent).
    std::shared_ptr<DesktopBackend> desktop;
    std::shared_ptr<ScreenProvider> screens;
    std::function<QFuture<ImageRef>()> captureFullScreen;
    std::function<QFuture<ImageRef>(const QRectF&)> captureRect;
    // The active window, with or without the window manager's frame; absent where the
    // desktop cannot tell (CaptureError windowCaptureUnsupported).
    std::function<QFuture<ImageRef>(bool includeFrame)> captureActiveWindow;
    std::function<std::unique_ptr<SelectionOverlay>()> makeSelectionOverlay;
    // Identifier of the frontmost application in the browser's raw-value form
    // ("com.google.Chrome", "com.brave.Browser"), or nothing.
    std::function<std::optional<QString>()> frontmostApplicationID;
    // Captures the whole page of the front browser tab off the UI thread; failures
    // (BrowserCaptureError, including a refusal while another capture runs) travel in the future.
    std::function<QFuture<BrowserCaptureResult>(const BrowserCaptureOptions&)> captureBrowserPage;
    std::function<std::unique_ptr<PreviewPresenter>()> makePreview;
    std::function<std::unique_ptr<EditorPresenter>()> makeEditor;
    // Shows an image pinned to the screen (no pins when absent).
    std::function<void(const ImageRef&)> pinImage;
    std::shared_ptr<ClipboardWriter> clipboard;
    // Save dialog for an image file, starting at the suggested path (a bare name
    // starts in the pictures folder); nothing when cancelled.
    std::function<std::optional<QString>(const QString& suggestedName, ScreenshotFileFormat format)>
        chooseImageSavePath;
    // Global hot keys (no hot keys when absent).
    std::shared_ptr<HotKeyService> hotKeys;
    // Installs a callback run whenever the application becomes active (hot keys are
    // registered again then); absent: no activation events.
    std::function<void(std::function<void()>)> subscribeToActivation;
    // Where temporary clipboard files go.
    QString temporaryDirectory;
    // The folder of the kept captures (the desktop services: the user's data folder);
    // empty: none are kept.
    QString historyFolder;

    // Setup checklist and help. The model fills in the desktop implementations of
    // whatever is left empty.
    std::shared_ptr<DesktopPermissions> permissions;
    // Checks that the front browser can be driven; throws BrowserCaptureError or another error.
    std::function<void()> validateBrowserSetup;
    // Identifiers (raw-value form) of the running supported browsers, the topmost first.
    std::function<std::vector<QString>()> runningBrowserIDs;
    // Brings the application with that identifier forward with all its windows.
    std::function<void(const QString& id)> activateApplication;
    // Brings this application's windows forward (before alerts and the setup window).
    std::function<void()> activateSelf;
    std::function<std::unique_ptr<SetupWindowPresenter>(SetupPresentationMode, SetupHost&,
                                                        std::function<void()> onClose)>
        makeSetupWindow;
    // Runs a modal alert; returns the pressed button (1000, 1001, 1002).
    std::function<int(const AlertText&)> showAlert;
    std::function<void(const QUrl&)> openURL;
    // Puts plain text on the clipboard.
    std::function<void(const QString&)> copyText;
    // The clipboard's image; a null image when it holds none.
    std::function<QImage()> clipboardImage;
};

} // namespace lumivane
