#pragma once
#include "editor_model/EditorDocument.h"

#include <QImage>
#include <QPainter>
#include <optional>

namespace lumivane {

// Flattens a document into one image (one pixel per image point, top-left origin).
// Stateless and safe to call on any thread with a document copy.
namespace EditorRenderer {

// Nothing when the document has no image or goes beyond DocumentLimits (whose
// renderProblem() says why).
std::optional<QImage> render(const EditorDocument& document);
// The same with the annotations drawn in `bands` horizontal bands on as many threads
// (0: chosen by the document's size and the machine's cores).
std::optional<QImage> render(const EditorDocument& document, int bands);

// Steps of a render, exposed for reuse and tests. Coordinates are canvas pixels.
void drawBackground(QPainter& painter, const CanvasBackgroundStyle& style, QSizeF canvasSize,
                    const QRectF& contentRect);
} // namespace EditorRenderer
} // namespace lumivane
