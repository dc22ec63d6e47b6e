#include "app/AppModel.h"
#include "app/AppSetupHost.h"
#include "app/DelayedCapture.h"
#include "app/ErrorMessages.h"
#include "app/HistoryRecorder.h"
#include "app/TextRecognitionController.h"
#include "editor/EditorRenderer.h"

#include <QDateTime>

namespace lumivane {

AppModel::AppModel(std::unique_ptr<AppSettings> settings, AppServices services, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), services_(std::move(services)) {
    completeSetupServices(services_);
    fileNaming_ = std::make_unique<FileNaming>(*settings_);
    hotKeys_ = std::make_unique<HotKeyController>(*settings_, services_);
    preview_ = std::make_unique<PreviewController>(*settings_, services_);
    clipboard_ = std::make_unique<ClipboardController>(*settings_, services_, *fileNaming_);
    saver_ = std::make_unique<ImageSaver>(*settings_, services_, *fileNaming_);
    editorSession_ = std::make_unique<EditorSession>(*settings_, services_, *saver_, *clipboard_,
                                                     [this] { return currentSource(); });
    textRecognition_ = std::make_unique<TextRecognitionController>(*settings_, services_);
    if (textRecognition_->isAvailable())
        editorSession_->textReader = [this](const ImageRef& image) { textRecognition_->readText(image); };
    history_ = std::make_unique<HistoryRecorder>(*settings_, services_.historyFolder);
    connect(history_.get(), &HistoryRecorder::changed, this, &AppModel::stateChanged);
    connect(history_.get(), &HistoryRecorder::failed, this, &AppModel::reportFailure);

    connect(hotKeys_.get(), &HotKeyController::triggered, this,
            [this](HotKeyService::Action action) { handleHotKey(action); });
    connect(hotKeys_.get(), &HotKeyController::registrationMessageChanged, this,
            [this](const std::optional<QString>& message) { setLastErrorMessage(message); });
    afterPreviewTimer_.setSingleShot(true);
    afterPreviewTimer_.setInterval(500);
    connect(&afterPreviewTimer_, &QTimer::timeout, this, &AppModel::startWorkAfterPreview);
    connect(preview_.get(), &PreviewController::presented, this, &AppModel::startWorkAfterPreview);
    connect(clipboard_.get(), &ClipboardController::failed, this,
            [this](const QString& message) { setLastErrorMessage(message); });
    connect(saver_.get(), &ImageSaver::failed, this, &AppModel::reportFailure);
    connect(editorSession_.get(), &EditorSession::failed, this, &AppModel::reportFailure);
    connect(editorSession_.get(), &EditorSession::handedBack, this, [this] {
        if (currentCapture_)
            preview_->show(*currentCapture_);
    });
    connect(textRecognition_.get(), &TextRecognitionController::codesChanged, this,
            [this] { preview_->setCodesFound(!textRecognition_->codes().empty()); });
    connect(editorSession_.get(), &EditorSession::finishedImageRendered, this, &AppModel::editedImageRendered);
    connect(editorSession_.get(), &EditorSession::projectOpened, this, [this](const ImageRef& image) {
        currentCapture_ = CapturedImage{image, QDateTime::currentDateTime(), CaptureSource::standard, std::nullopt};
        emit currentCaptureChanged();
    });

    for (auto signal : {&AppModel::currentCaptureChanged, &AppModel::lastErrorMessageChanged})
        connect(this, signal, this, &AppModel::stateChanged);
    connect(hotKeys_.get(), &HotKeyController::shortcutRegistrationFailuresChanged, this, &AppModel::stateChanged);
    connect(editorSession_.get(), &EditorHost::editorDocumentChanged, this, &AppModel::stateChanged);
    connect(settings_.get(), &AppSettings::changed, this, [this] {
        emit stateChanged();
        refreshSetupState();
    });
    refreshSetupState();
}

AppModel::~AppModel() {
    // A capture taken just before quitting still reaches the history.
    for (const ImageRef& image : std::exchange(afterPreview_, {}))
        history_->record(image);
}

// --- errors ---------------------------------------------------------------

void AppModel::setLastErrorMessage(std::optional<QString> message) {
    if (lastErrorMessage_ == message)
        return;
    lastErrorMessage_ = std::move(message);
    emit lastErrorMessageChanged();
}

void AppModel::reportFailure(const QString& message) {
    setLastErrorMessage(message);
    refreshSetupState();
}

void AppModel::reportError(const std::exception& error) {
    reportFailure(userFacingErrorMessage(error));
}

// --- capture flows: AppCaptureFlows.cpp -------------------------------------

void AppModel::presentCapture(ImageRef image, CaptureSource source, std::optional<QRectF> frame) {
    currentCapture_ = CapturedImage{image, QDateTime::currentDateTime(), source, frame};
    editorSession_->startFresh(image);
    emit currentCaptureChanged();
    preview_->show(*currentCapture_);
    // Showing the preview comes first: on two cores, encoding or searching beside it
    // slows its first frame down. Its clipboard data, the history entry and the code
    // search start after it has painted.
    afterPreview_.push_back(image);
    afterPreviewTimer_.start();
    if (settings_->openEditorAfterCapture())
        openEditor();
}

void AppModel::startWorkAfterPreview() {
    afterPreviewTimer_.stop();
    if (afterPreview_.empty())
        return;
    const std::vector<ImageRef> images = std::exchange(afterPreview_, {});
    if (currentCapture_)
        clipboard_->prepare(currentCapture_->image, currentCapture_->source);
    textRecognition_->findCodes(images.back());
    for (const ImageRef& image : images)
        history_->record(image);
}

void AppModel::readCurrentImageText() {
    if (const ImageRef image = currentPreviewImage())
        textRecognition_->readText(image);
}

// --- editor hand-over -------------------------------------------------------

void AppModel::openEditor() {
    if (!currentCapture_)
        return;
    preview_->removeFromScreen();
    editorSession_->open(currentCapture_->image);
}

void AppModel::editedImageRendered(const ImageRef& image) {
    CapturedImage capture;
    if (currentCapture_)
        capture = *currentCapture_;
    else
        capture.createdAt = QDateTime::currentDateTime();
    capture.image = image;
    currentCapture_ = capture;
    clipboard_->prepare(capture.image, capture.source);
    emit currentCaptureChanged();
    preview_->show(capture);
    emit editedCaptureFinalized();
}

// --- copy and save ----------------------------------------------------------

CaptureSource AppModel::currentSource() const {
    return currentCapture_ ? currentCapture_->source : CaptureSource::standard;
}

ImageRef AppModel::currentPreviewImage() const {
    if (currentCapture_)
        return currentCapture_->image;
    if (const EditorDocument* document = editorSession_->editorDocument())
        if (auto image = EditorRenderer::render(*document))
            return makeImage(std::move(*image));
    return nullptr;
}

void AppModel::copyCurrentImage(const std::function<void(bool)>& completion) {
    clipboard_->copy(currentPreviewImage(), currentSource(), completion);
}

bool AppModel::pinImage(ImageRef image) {
    if (!image)
        image = currentPreviewImage();
    if (!image || !services_.pinImage)
        return false;
    services_.pinImage(image);
    return true;
}

void AppModel::saveCurrentImageQuickly(const std::function<void(bool)>& completion) {
    const ImageRef image = currentPreviewImage();
    if (!image) {
        if (completion)
            completion(false);
        return;
    }
    saver_->saveImageQuickly(image, currentSource(), completion);
}

} // namespace lumivane
