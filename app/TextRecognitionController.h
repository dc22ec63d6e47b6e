#pragma once
#include "app/AppServices.h"
#include "app/TextResultWindow.h"
#include "ocr/DecodedCode.h"
#include "ocr/TextRecognitionService.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace lumivane {

class AppSettings;

// How one reading of text ended: the text, the reason it failed, or cancelled.
struct TextReadOutcome {
    enum class Kind { read, failed, cancelled };
    Kind kind = Kind::read;
    QString text; // read: the text and code lines; failed: the user-facing reason
};

// Text recognition in the application: the engine's service (loaded ahead of need
// on its own thread, freed after a quiet time), the result window or the copy at
// once, and the codes found in each capture. Without the engine module everything
// here is unavailable and the ways in are hidden. UI thread only; never waits for
// the engine.
class TextRecognitionController : public QObject {
    Q_OBJECT
public:
    // Progress appears when a copy at once takes longer than this.
    static constexpr int progressDelayMs = 600;

    // `service` replaces the program's own (tests).
    TextRecognitionController(const AppSettings& settings, const AppServices& services, QObject* parent = nullptr,
                              std::unique_ptr<ocr::TextRecognitionService> service = {});
    ~TextRecognitionController() override;

    bool isAvailable() const;
    // What to report when it is not available: the package to install.
    TextRecognitionError missingError() const { return service_->missingError(); }
    // Loads the engine on its thread now (after the launch, ahead of the first use).
    void preload();

    // Reads the text of the image: shows it in the result window, or copies it at once
    // with a short notice when the settings ask for it. A reading that runs long shows
    // its progress with a cancel button. A new reading cancels the running one.
    // `done` hears how it ended.
    void readText(const ImageRef& image, std::function<void(const TextReadOutcome&)> done = {});
    void cancelReading();
    bool isReading() const { return requestId_ != 0; }

    // Looks for QR codes and barcodes in a new capture (quick, without the engine);
    // codesChanged follows. The codes of an older capture are dropped.
    void findCodes(const ImageRef& image);
    const std::vector<ocr::DecodedCode>& codes() const { return codes_; }
    // The codes' menu at a screen point: copy each text, open each web address after
    // asking.
    void showCodesMenu(const QPoint& globalPosition);
    // Opens a code's address once the user agreed (false: they did not).
    bool openCodeAddress(const QString& address);

    TextResultWindow* resultWindow() const { return window_; }
    // The notice after a copy at once (null when none is up).
    QWidget* copiedNotice() const { return notice_; }

signals:
    void codesChanged();

private:
    TextResultWindow& window();
    void finishReading(const TextReadOutcome& outcome);
    void showCopiedNotice();

    const AppSettings& settings_;
    const AppServices& services_;
    std::unique_ptr<ocr::TextRecognitionService> service_;
    QPointer<TextResultWindow> window_;
    QPointer<QWidget> notice_;
    QTimer progressTimer_;
    quint64 requestId_ = 0;
    std::function<void(const TextReadOutcome&)> done_;
    quint64 codesRequestId_ = 0;
    std::vector<ocr::DecodedCode> codes_;
};

} // namespace lumivane
