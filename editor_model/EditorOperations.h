#pragma once
#include "editor_model/EditorDocument.h"

namespace lumivane {

// Document-wide operations on the editor's (document, history) pair. A null
// document makes every operation a no-op. The image operations return true when
// the base image was replaced (the caller then adapts the window to its size).
namespace EditorOperations {

// Records `previous` as one undo step unless the document still equals it.
bool commitEditorChange(EditorDocument* document, EditorHistory& history, const EditorSnapshot& previous);
// Ignored while a text annotation is being edited inline.
bool undoEditorChange(EditorDocument* document, EditorHistory& history, bool isEditingText);
bool redoEditorChange(EditorDocument* document, EditorHistory& history, bool isEditingText);

bool rotateEditorImage(EditorDocument* document, EditorHistory& history, ImageRotationDirection direction);
bool flipEditorImage(EditorDocument* document, EditorHistory& history, bool horizontally);
bool resizeEditorImage(EditorDocument* document, EditorHistory& history, double scale);
bool applyCropToEditorDocument(EditorDocument* document, EditorHistory& history);
bool cancelEditorCrop(EditorDocument* document, EditorHistory& history);

// Annotation geometry scaled by `scale` (rect, points, line width, font size).
Annotation scaledAnnotation(const Annotation& annotation, double scale);
// Pixel rectangle an applied crop cuts from an image: the standardised crop clipped to
// the image and rounded outward; empty when nothing remains.
QRect cropPixelRect(const QRectF& crop, QSize imageSize);

} // namespace EditorOperations
} // namespace lumivane
