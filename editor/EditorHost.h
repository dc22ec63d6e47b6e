#pragma once
#include "core/ImageExportPipeline.h"
#include "editor_model/EditorDocument.h"

#include <QObject>

namespace lumivane {

class AppSettings;

// Defaults of new annotations kept for the running session only: the step size
// (0: the default size at the display scale) and the box behind new text.
struct EditorSessionStyle {
    double stepDiameter = 0;
    std::optional<TextBackground> textBackground;
};

// What the editor window, canvas and bars need from the application object. The
// application model implements it; tests use an in-memory host. UI thread only.
class EditorHost : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~EditorHost() override = default;

    // The edited document (null: no document, the window shows its empty state).
    // Views edit it in place and report finished edits through commitEditorChange.
    virtual EditorDocument* editorDocument() = 0;
    virtual const EditorHistory& editorHistory() const = 0;
    virtual AppSettings& settings() = 0;

    virtual void commitEditorChange(const EditorSnapshot& previous) = 0;
    // One undo step as a transaction: takes the snapshot, runs change on the document,
    // then commits (nothing is recorded when the change altered nothing). False
    // without a document.
    template <class Change>
    bool editDocument(Change&& change) {
        EditorDocument* document = editorDocument();
        if (!document)
            return false;
        const EditorSnapshot previous = document->snapshot();
        change(*document);
        commitEditorChange(previous);
        return true;
    }
    virtual void undoEditorChange() = 0;
    virtual void redoEditorChange() = 0;
    virtual bool editorIsEditingText() const = 0;
    virtual void setEditorIsEditingText(bool editing) = 0;
    virtual RgbaColor configuredAnnotationColor(AnnotationKind kind) const = 0;
    EditorSessionStyle& sessionStyle() { return sessionStyle_; }
    const EditorSessionStyle& sessionStyle() const { return sessionStyle_; }

    // Image operations, each one undo step.
    virtual void rotateEditorImage(ImageRotationDirection direction) = 0;
    virtual void flipEditorImage(bool horizontally) = 0;
    virtual void resizeEditorImage(double scale) = 0;
    virtual void applyCropToEditorDocument() = 0;
    virtual void cancelEditorCrop() = 0;

    // Top-bar actions.
    virtual void finishEditing(const EditorDocument& document) = 0;
    virtual void saveAs(const EditorDocument& document) = 0;
    virtual void copy(const EditorDocument& document) = 0;
    virtual void saveImageQuickly(const EditorDocument& document) = 0; // renders, then quick save
    // Renders, then pins the image to the screen (nothing where pins cannot be shown).
    virtual void pinToScreen(const EditorDocument& document) {}
    // Project files at a path the window's dialog chose; failures become the
    // application's last error message and give false.
    virtual bool saveProject(const EditorDocument& document, const QString& path) = 0;
    virtual bool openProject(const QString& path) = 0;
    // Text recognition of the document as rendered; offered only where it can run.
    virtual bool offersTextRecognition() const { return false; }
    virtual void readText(const EditorDocument& document) {}

signals:
    // The document was replaced or changed outside the views (undo, redo, image
    // operations, a new capture, an opened project).
    void editorDocumentChanged();
    void editorHistoryChanged();

private:
    EditorSessionStyle sessionStyle_;
};

} // namespace lumivane
