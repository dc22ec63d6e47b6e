#include "app/EditorSession.h"
#include "app/ClipboardController.h"
#include "app/ErrorMessages.h"
#include "app/ImageSaver.h"
#include "capture/CaptureError.h"
#include "core/AtomicFile.h"
#include "editor/EditorRenderer.h"
#include "editor_model/DocumentLimits.h"
#include "editor_model/EditableImage.h"
#include "editor_model/EditorOperations.h"
#include "editor_model/ProjectFile.h"
#include "settings/AppSettings.h"

#include <QDateTime>
#include <QPointer>
#include <QtConcurrent/QtConcurrent>

namespace lumivane {

namespace ops = EditorOperations;

EditorSession::EditorSession(AppSettings& settings, const AppServices& services, ImageSaver& saver,
                             ClipboardController& clipboard, std::function<CaptureSource()> source, QObject* parent)
    : EditorHost(parent), settings_(settings), services_(services), saver_(saver), clipboard_(clipboard),
      source_(std::move(source)) {}

EditorSession::~EditorSession() = default;

void EditorSession::report(const std::exception& error) {
    emit failed(userFacingErrorMessage(error));
}

void EditorSession::invalidatePendingEditFinalization() {
    ++finishEditingGeneration_;
    pendingFinishedEditorDocument_.reset();
}

void EditorSession::startFresh(const ImageRef& image) {
    invalidatePendingEditFinalization();
    editorDocument_ = EditorDocument::fresh(image);
    editorHistory_ = {};
    emit editorDocumentChanged();
    emit editorHistoryChanged();
}

void EditorSession::open(const ImageRef& captureImage) {
    std::optional<EditorDocument> pending = pendingFinishedEditorDocument_;
    invalidatePendingEditFinalization();
    editorDocument_ = pending ? std::move(*pending) : EditorDocument::fresh(captureImage);
    editorHistory_ = {};
    editorIsEditingText_ = false;
    emit editorDocumentChanged();
    emit editorHistoryChanged();
    presentWindow();
}

void EditorSession::presentWindow() {
    if (!presenter_)
        presenter_ = services_.makeEditor();
    if (!presenter_)
        return;
    presenter_->present();
    presenter_->updateLayout(editorDocument_ ? editorDocument_->imageSize() : QSizeF());
}

void EditorSession::finishEditing(const EditorDocument& document) {
    invalidatePendingEditFinalization();
    const qint64 generation = finishEditingGeneration_;
    pendingFinishedEditorDocument_ = document;
    editorDocument_ = document;
    editorHistory_ = {};
    editorIsEditingText_ = false;
    emit editorDocumentChanged();
    emit editorHistoryChanged();
    if (presenter_)
        presenter_->removeFromScreen();
    emit handedBack();

    QPointer<EditorSession> self(this);
    QtConcurrent::run([document] {
        return EditorRenderer::render(document);
    }).then(this, [self, generation, document](std::optional<QImage> rendered) {
        // Always from the event loop, even when the render ended before this was attached:
        // the caller of finishEditing() still sees the document pending.
        if (!self)
            return;
        QMetaObject::invokeMethod(
            self,
            [self, generation, document, rendered = std::move(rendered)]() mutable {
                if (!self || self->finishEditingGeneration_ != generation || !rendered)
                    return;
                self->editorDocument_ = document;
                self->pendingFinishedEditorDocument_.reset();
                emit self->finishedImageRendered(makeImage(std::move(*rendered)));
            },
            Qt::QueuedConnection);
    });
}

// --- document operations ----------------------------------------------------

void EditorSession::commitEditorChange(const EditorSnapshot& previous) {
    if (ops::commitEditorChange(editorDocument(), editorHistory_, previous))
        emit editorHistoryChanged();
}

void EditorSession::undoEditorChange() {
    if (ops::undoEditorChange(editorDocument(), editorHistory_, editorIsEditingText_)) {
        emit editorDocumentChanged();
        emit editorHistoryChanged();
    }
}

void EditorSession::redoEditorChange() {
    if (ops::redoEditorChange(editorDocument(), editorHistory_, editorIsEditingText_)) {
        emit editorDocumentChanged();
        emit editorHistoryChanged();
    }
}

RgbaColor EditorSession::configuredAnnotationColor(AnnotationKind kind) const {
    AnnotationColorDefaults d;
    d.annotation = settings_.defaultAnnotationColor();
    d.text = settings_.defaultTextColor();
    d.marker = settings_.defaultMarkerColor();
    d.highlight = settings_.defaultHighlightColor();
    return lumivane::configuredAnnotationColor(kind, d);
}

void EditorSession::afterImageOperation(bool changed) {
    if (!changed)
        return;
    emit editorDocumentChanged();
    emit editorHistoryChanged();
    if (presenter_ && editorDocument_)
        presenter_->updateLayout(editorDocument_->imageSize());
}

void EditorSession::rotateEditorImage(ImageRotationDirection d) {
    afterImageOperation(ops::rotateEditorImage(editorDocument(), editorHistory_, d));
}
void EditorSession::flipEditorImage(bool horizontally) {
    afterImageOperation(ops::flipEditorImage(editorDocument(), editorHistory_, horizontally));
}
void EditorSession::resizeEditorImage(double scale) {
    afterImageOperation(ops::resizeEditorImage(editorDocument(), editorHistory_, scale));
}
void EditorSession::applyCropToEditorDocument() {
    afterImageOperation(ops::applyCropToEditorDocument(editorDocument(), editorHistory_));
}
void EditorSession::cancelEditorCrop() {
    afterImageOperation(ops::cancelEditorCrop(editorDocument(), editorHistory_));
}

// --- export and project files ----------------------------------------------------

void EditorSession::saveAs(const EditorDocument& document) {
    if (auto image = EditorRenderer::render(document))
        saver_.saveImageWithPanel(makeImage(std::move(*image)), source_());
}

void EditorSession::copy(const EditorDocument& document) {
    if (auto image = EditorRenderer::render(document))
        clipboard_.write(makeImage(std::move(*image)), source_());
}

void EditorSession::readText(const EditorDocument& document) {
    if (!textReader)
        return;
    if (auto image = EditorRenderer::render(document))
        textReader(makeImage(std::move(*image)));
}

void EditorSession::saveImageQuickly(const EditorDocument& document) {
    if (auto image = EditorRenderer::render(document))
        saver_.saveImageQuickly(makeImage(std::move(*image)), source_());
}

void EditorSession::pinToScreen(const EditorDocument& document) {
    if (!services_.pinImage)
        return;
    if (auto image = EditorRenderer::render(document))
        services_.pinImage(makeImage(std::move(*image)));
}

bool EditorSession::saveProject(const EditorDocument& document, const QString& path) {
    // A project is only written when it can be opened again.
    if (const QSize size = document.baseImage ? document.baseImage->size() : QSize();
        !size.isEmpty() && !DocumentLimits::imageSizeAllowed(size.width(), size.height())) {
        report(FileOperationError(FileOperationError::Kind::fileNotWritten, path,
                                  DocumentLimits::imageTooLargeMessage(size.width(), size.height())));
        return false;
    }
    QString error;
    if (!writeBytesAtomically(path, SavedEditorProject(document).encode(), &error)) {
        report(FileOperationError(FileOperationError::Kind::fileNotWritten, path, error));
        return false;
    }
    return true;
}

std::optional<QString> EditorSession::editImageFile(const QString& path) {
    const EditableImage::Result read = EditableImage::readFile(path);
    return editImage(read.image, read.error);
}

std::optional<QString> EditorSession::editClipboardImage() {
    const QImage image = services_.clipboardImage ? services_.clipboardImage() : QImage();
    if (image.isNull())
        return editImage(
            {}, QStringLiteral("クリップボードに画像がありません。画像をコピーしてから、もう一度選んでください。"));
    const EditableImage::Result checked = EditableImage::fromImage(image);
    return editImage(checked.image, checked.error);
}

std::optional<QString> EditorSession::editImage(const QImage& image, const QString& error) {
    ImageRef ref = image.isNull() ? ImageRef() : makeImage(image);
    if (!ref) {
        const QString message = error.isEmpty() ? QStringLiteral("画像を読み込めませんでした。") : error;
        emit failed(message);
        return message;
    }
    invalidatePendingEditFinalization();
    editorDocument_ = EditorDocument::fresh(ref);
    editorHistory_ = {};
    editorIsEditingText_ = false;
    emit projectOpened(ref);
    emit editorDocumentChanged();
    emit editorHistoryChanged();
    presentWindow();
    return std::nullopt;
}

bool EditorSession::openProject(const QString& path) {
    try {
        std::optional<EditorDocument> document;
        try {
            document = ProjectFile::readFile(path).makeDocument();
        } catch (const ProjectFileError& e) {
            throw FileOperationError(e.reason() == ProjectFileError::Reason::unreadable
                                         ? FileOperationError::Kind::projectNotReadable
                                         : FileOperationError::Kind::projectInvalid,
                                     path, QString::fromUtf8(e.what()));
        }
        if (!document)
            throw CaptureError(CaptureError::Kind::imageConversionFailed);
        invalidatePendingEditFinalization();
        editorDocument_ = std::move(*document);
        editorHistory_ = {};
        editorIsEditingText_ = false;
        emit projectOpened(editorDocument_->baseImage);
        emit editorDocumentChanged();
        emit editorHistoryChanged();
        presentWindow();
        return true;
    } catch (const std::exception& e) {
        report(e);
        return false;
    }
}

} // namespace lumivane
