#include "editor/tools/CropTool.h"
#include "editor/CanvasOverlayPainter.h"
#include "editor/EditorCanvas.h"

namespace lumivane {

bool CropTool::press(QPointF view) {
    pressPoint_ = view;
    draft_.reset();
    return true;
}

void CropTool::move(QPointF view, bool) {
    draft_ = QRectF(pressPoint_, view).normalized();
    canvas_.update();
}

void CropTool::release(QPointF view, bool moved) {
    draft_.reset();
    if (!moved)
        return;
    const QRectF rect = canvas_.toImage(QRectF(pressPoint_, view).normalized()).normalized();
    canvas_.finishTextEditing();
    canvas_.transact([&](EditorDocument& doc) { doc.cropRect = rect; });
}

void CropTool::paintOverlay(QPainter& painter) const {
    const EditorDocument* doc = canvas_.document();
    std::optional<QRectF> crop = draft_;
    if (!crop && doc && doc->cropRect)
        crop = canvas_.toView(doc->cropRect->normalized()).normalized();
    if (crop)
        CanvasOverlayPainter::paintCropFrame(painter, canvas_.imageRect(), *crop);
}

} // namespace lumivane
