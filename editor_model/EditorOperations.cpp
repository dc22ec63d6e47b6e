#include "editor_model/EditorOperations.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/DocumentLimits.h"
#include "editor_model/StepMarkers.h"

#include <cmath>

namespace lumivane::EditorOperations {

namespace {
QRectF scaledRect(const QRectF& r, double s) {
    return QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s);
}

// Replaces the image, bumps the revision, transforms the annotations and crop, commits.
template <typename AnnotationTransform, typename RectTransform>
bool replaceImage(EditorDocument* d, EditorHistory& h, ImageRef image, AnnotationTransform annotationTransform,
                  RectTransform rectTransform) {
    if (!image)
        return false;
    const EditorSnapshot before = d->snapshot();
    d->baseImage = std::move(image);
    d->bumpRevision();
    for (Annotation& a : d->annotations)
        a = annotationTransform(a);
    if (d->cropRect)
        d->cropRect = rectTransform(*d->cropRect);
    d->selectedAnnotationID.reset();
    commitEditorChange(d, h, before);
    return true;
}
} // namespace

bool commitEditorChange(EditorDocument* d, EditorHistory& h, const EditorSnapshot& previous) {
    if (!d)
        return false;
    if (d->snapshot() == previous)
        return false;
    h.undoStack.push_back(previous);
    h.redoStack.clear();
    return true;
}

bool undoEditorChange(EditorDocument* d, EditorHistory& h, bool isEditingText) {
    if (isEditingText || h.undoStack.empty())
        return false;
    EditorSnapshot s = std::move(h.undoStack.back());
    h.undoStack.pop_back();
    if (!d)
        return false;
    h.redoStack.push_back(d->snapshot());
    d->restore(s);
    return true;
}

bool redoEditorChange(EditorDocument* d, EditorHistory& h, bool isEditingText) {
    if (isEditingText || h.redoStack.empty())
        return false;
    EditorSnapshot s = std::move(h.redoStack.back());
    h.redoStack.pop_back();
    if (!d)
        return false;
    h.undoStack.push_back(d->snapshot());
    d->restore(s);
    return true;
}

bool rotateEditorImage(EditorDocument* d, EditorHistory& h, ImageRotationDirection direction) {
    if (!d || !d->baseImage)
        return false;
    const QSizeF size = d->imageSize();
    return replaceImage(
        d, h, ImageExportPipeline::rotated(d->baseImage, direction),
        [&](const Annotation& a) { return a.rotated(size, direction); },
        [&](const QRectF& r) { return transformedRect(r, size, direction); });
}

bool flipEditorImage(EditorDocument* d, EditorHistory& h, bool horizontally) {
    if (!d || !d->baseImage)
        return false;
    const QSizeF size = d->imageSize();
    return replaceImage(
        d, h, ImageExportPipeline::flipped(d->baseImage, horizontally),
        [&](const Annotation& a) { return a.flipped(size, horizontally); },
        [&](const QRectF& r) { return transformedRectForFlip(r, size, horizontally); });
}

Annotation scaledAnnotation(const Annotation& annotation, double s) {
    Annotation a = annotation;
    a.rect = scaledRect(a.rect, s);
    if (a.arrowStart)
        *a.arrowStart *= s;
    if (a.arrowEnd)
        *a.arrowEnd *= s;
    for (QPointF& p : a.markerPoints)
        p *= s;
    a.lineWidth *= s;
    a.fontSize *= s;
    if (a.kind == AnnotationKind::pen)
        a.rebuildDerivedRect(); // its padding follows the scaled width
    return a;
}

bool resizeEditorImage(EditorDocument* d, EditorHistory& h, double scale) {
    if (!d || !d->baseImage || !(scale > 0) || !std::isfinite(scale))
        return false;
    const QSize old = pixelSize(d->baseImage);
    const double w = std::max(std::round(old.width() * scale), 1.0);
    const double hgt = std::max(std::round(old.height() * scale), 1.0);
    // An image a project file could not hold again is never made.
    if (w > DocumentLimits::maxImageSide || hgt > DocumentLimits::maxImageSide ||
        !DocumentLimits::imageSizeAllowed(std::int64_t(w), std::int64_t(hgt)))
        return false;
    return replaceImage(
        d, h, ImageExportPipeline::resized(d->baseImage, QSize(int(w), int(hgt))),
        [&](const Annotation& a) { return scaledAnnotation(a, scale); },
        [&](const QRectF& r) { return scaledRect(r, scale); });
}

QRect cropPixelRect(const QRectF& cropRect, QSize imageSize) {
    const QRectF crop = cropRect.normalized();
    const double left = std::max(std::floor(crop.left()), 0.0);
    const double top = std::max(std::floor(crop.top()), 0.0);
    const double right = std::min(std::ceil(crop.right()), double(imageSize.width()));
    const double bottom = std::min(std::ceil(crop.bottom()), double(imageSize.height()));
    if (!(right > left) || !(bottom > top))
        return QRect();
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

bool applyCropToEditorDocument(EditorDocument* d, EditorHistory& h) {
    if (!d || !d->baseImage || !d->cropRect)
        return false;
    const QRectF crop = d->cropRect->normalized();
    if (!(crop.width() > 1) || !(crop.height() > 1))
        return false;
    const QSize size = pixelSize(d->baseImage);
    const QRect pixels = cropPixelRect(crop, size);
    if (pixels.isEmpty())
        return false;
    // The pipeline addresses the image bottom-up.
    const QRectF bottomUp(pixels.x(), size.height() - (pixels.y() + pixels.height()), pixels.width(), pixels.height());
    ImageRef image = ImageExportPipeline::cropped(d->baseImage, bottomUp);
    if (!image)
        return false;
    const EditorSnapshot before = d->snapshot();
    d->baseImage = std::move(image);
    d->bumpRevision();
    // Annotations follow the pixels actually kept, so a crop that reaches past the image
    // edge or has fractional edges does not shift them off their content.
    const QPointF offset = -QPointF(pixels.topLeft());
    std::vector<Annotation> kept;
    kept.reserve(d->annotations.size());
    for (const Annotation& a : d->annotations)
        if (a.translatedForAppliedCrop(crop))
            kept.push_back(a.translated(offset));
    d->annotations = std::move(kept);
    renumberSteps(d->annotations);
    d->cropRect.reset();
    d->selectedAnnotationID.reset();
    commitEditorChange(d, h, before);
    return true;
}

bool cancelEditorCrop(EditorDocument* d, EditorHistory& h) {
    if (!d || !d->cropRect)
        return false;
    const EditorSnapshot before = d->snapshot();
    d->cropRect.reset();
    d->selectedAnnotationID.reset();
    commitEditorChange(d, h, before);
    return true;
}

} // namespace lumivane::EditorOperations
