#pragma once
#include "app/AppServices.h"
#include "editor/EditorHost.h"

#include <functional>
#include <memory>
#include <optional>

namespace lumivane {

class ClipboardController;
class ImageSaver;

// The document in the editor, its undo history and its window: a fresh document per
// capture, image operations, project files, and the hand-back to the preview, whose
// flattened image is rendered in the background (a newer edit or capture drops a
// stale one, by generation). UI thread.
class EditorSession : public EditorHost {
    Q_OBJECT
public:
    // `source` tells how the current capture was taken (its export profile).
    EditorSession(AppSettings& settings, const AppServices& services, ImageSaver& saver, ClipboardController& clipboard,
                  std::function<CaptureSource()> source, QObject* parent = nullptr);
    ~EditorSession() override;

    // A new capture: a fresh document with an empty history.
    void startFresh(const ImageRef& image);
    // Takes the document up again (the finished one while it is still being flattened,
    // else a fresh one of the capture) and presents the window.
    void open(const ImageRef& captureImage);
    qint64 finishEditingGeneration() const { return finishEditingGeneration_; }
    bool hasPendingFinishedEditorDocument() const { return pendingFinishedEditorDocument_.has_value(); }

    // EditorHost.
    EditorDocument* editorDocument() override { return editorDocument_ ? &*editorDocument_ : nullptr; }
    const EditorDocument* editorDocument() const { return editorDocument_ ? &*editorDocument_ : nullptr; }
    const EditorHistory& editorHistory() const override { return editorHistory_; }
    AppSettings& settings() override { return settings_; }
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
    void pinToScreen(const EditorDocument& document) override;
    bool saveProject(const EditorDocument& document, const QString& path) override;
    bool openProject(const QString& path) override;
    bool offersTextRecognition() const override { return bool(textReader); }
    void readText(const EditorDocument& document) override;

    // Reads the text of a rendered document; unset where text recognition is not offered.
    std::function<void(const ImageRef&)> textReader;

    // A new document on an image file or the clipboard's image (it becomes the current
    // capture) in the editor window. A failure becomes the last error message, and
    // its text is returned; nothing else changes.
    std::optional<QString> editImageFile(const QString& path);
    std::optional<QString> editClipboardImage();

signals:
    // finishEditing closed the window: the preview takes over.
    void handedBack();
    // The flattened image of a finished editing is ready.
    void finishedImageRendered(const ImageRef& image);
    // An opened project's image became the current capture (before the document signals).
    void projectOpened(const ImageRef& image);
    void failed(const QString& message);

private:
    void invalidatePendingEditFinalization();
    void presentWindow();
    void afterImageOperation(bool changed);
    void report(const std::exception& error);
    std::optional<QString> editImage(const QImage& image, const QString& error);

    AppSettings& settings_;
    const AppServices& services_;
    ImageSaver& saver_;
    ClipboardController& clipboard_;
    std::function<CaptureSource()> source_;
    std::optional<EditorDocument> editorDocument_;
    EditorHistory editorHistory_;
    bool editorIsEditingText_ = false;
    std::unique_ptr<EditorPresenter> presenter_;
    qint64 finishEditingGeneration_ = 0;
    std::optional<EditorDocument> pendingFinishedEditorDocument_;
};

} // namespace lumivane
