#pragma once
#include "MemorySettingsStore.h"
#include "editor/EditorHost.h"
#include "editor_model/EditorOperations.h"
#include "settings/AppSettings.h"

#include <memory>

namespace lumivane::test {

// Editor host over one in-memory document and history.
class CanvasTestHost : public EditorHost {
public:
    explicit CanvasTestHost(ImageRef image) : settings_(std::make_unique<MemorySettingsStore>()) {
        document_ = EditorDocument::fresh(std::move(image));
    }

    EditorDocument* editorDocument() override { return hasDocument ? &document_ : nullptr; }
    const EditorHistory& editorHistory() const override { return history_; }
    AppSettings& settings() override { return settings_; }

    void commitEditorChange(const EditorSnapshot& previous) override {
        ++commits;
        if (EditorOperations::commitEditorChange(editorDocument(), history_, previous))
            emit editorHistoryChanged();
    }
    void undoEditorChange() override {
        if (EditorOperations::undoEditorChange(editorDocument(), history_, editingText))
            emit editorDocumentChanged();
    }
    void redoEditorChange() override {
        if (EditorOperations::redoEditorChange(editorDocument(), history_, editingText))
            emit editorDocumentChanged();
    }
    bool editorIsEditingText() const override { return editingText; }
    void setEditorIsEditingText(bool editing) override { editingText = editing; }
    RgbaColor configuredAnnotationColor(AnnotationKind kind) const override {
        AnnotationColorDefaults defaults;
        defaults.annotation = settings_.defaultAnnotationColor();
        defaults.text = settings_.defaultTextColor();
        defaults.marker = settings_.defaultMarkerColor();
        defaults.highlight = settings_.defaultHighlightColor();
        return lumivane::configuredAnnotationColor(kind, defaults);
    }

    void rotateEditorImage(ImageRotationDirection) override {}
    void flipEditorImage(bool) override {}
    void resizeEditorImage(double) override {}
    void applyCropToEditorDocument() override {}
    void cancelEditorCrop() override {}
    void finishEditing(const EditorDocument&) override {}
    void saveAs(const EditorDocument&) override {}
    void copy(const EditorDocument&) override {}
    void saveImageQuickly(const EditorDocument&) override {}
    bool saveProject(const EditorDocument&, const QString&) override { return false; }
    bool openProject(const QString&) override { return false; }

    EditorDocument& document() { return document_; }
    size_t undoCount() const { return history_.undoStack.size(); }

    bool hasDocument = true;
    bool editingText = false;
    int commits = 0;

private:
    AppSettings settings_;
    EditorDocument document_;
    EditorHistory history_;
};

} // namespace lumivane::test
