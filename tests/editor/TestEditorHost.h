#pragma once
#include "MemorySettingsStore.h"
#include "editor/EditorHost.h"
#include "editor_model/EditorOperations.h"
#include "settings/AppSettings.h"

#include <QImage>
#include <QPainter>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane::test {

// An application object in memory: one document (of image, when given) and
// history, settings with a counting store, and a record of the hand-over calls.
class TestEditorHost : public EditorHost {
public:
    explicit TestEditorHost(ImageRef image = nullptr)
        : settings_(std::make_unique<MemorySettingsStore>(&settingsWrites)) {
        if (image)
            document = EditorDocument::fresh(std::move(image));
    }

    void openDocument(QSize size = {640, 400}) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(236, 240, 246));
        QPainter p(&image);
        p.fillRect(QRect(40, 40, size.width() / 2, size.height() / 3), QColor(40, 120, 220));
        p.end();
        document = EditorDocument::fresh(makeImage(image));
        history = {};
        emit editorDocumentChanged();
        emit editorHistoryChanged();
    }

    EditorDocument* editorDocument() override { return document ? &*document : nullptr; }
    const EditorHistory& editorHistory() const override { return history; }
    AppSettings& settings() override { return settings_; }
    void commitEditorChange(const EditorSnapshot& previous) override {
        if (EditorOperations::commitEditorChange(editorDocument(), history, previous))
            emit editorHistoryChanged();
    }
    void undoEditorChange() override {
        if (EditorOperations::undoEditorChange(editorDocument(), history, editingText))
            changed();
    }
    void redoEditorChange() override {
        if (EditorOperations::redoEditorChange(editorDocument(), history, editingText))
            changed();
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
    void rotateEditorImage(ImageRotationDirection d) override {
        EditorOperations::rotateEditorImage(editorDocument(), history, d);
        changed();
    }
    void flipEditorImage(bool h) override {
        EditorOperations::flipEditorImage(editorDocument(), history, h);
        changed();
    }
    void resizeEditorImage(double scale) override {
        EditorOperations::resizeEditorImage(editorDocument(), history, scale);
        changed();
    }
    void applyCropToEditorDocument() override {
        EditorOperations::applyCropToEditorDocument(editorDocument(), history);
        changed();
    }
    void cancelEditorCrop() override {
        EditorOperations::cancelEditorCrop(editorDocument(), history);
        changed();
    }
    void finishEditing(const EditorDocument& d) override { finished.push_back(d); }
    void saveAs(const EditorDocument& d) override { savedAs.push_back(d); }
    void copy(const EditorDocument& d) override { copied.push_back(d); }
    void saveImageQuickly(const EditorDocument& d) override { quickSaved.push_back(d); }
    bool saveProject(const EditorDocument&, const QString& path) override {
        projectSaves.push_back(path);
        return true;
    }
    bool openProject(const QString& path) override {
        projectOpens.push_back(path);
        return true;
    }

    size_t undoCount() const { return history.undoStack.size(); }

    std::optional<EditorDocument> document;
    EditorHistory history;
    bool editingText = false;
    int settingsWrites = 0;
    std::vector<EditorDocument> finished, savedAs, copied, quickSaved;
    std::vector<QString> projectSaves, projectOpens;

private:
    void changed() {
        emit editorDocumentChanged();
        emit editorHistoryChanged();
    }
    AppSettings settings_;
};

} // namespace lumivane::test
