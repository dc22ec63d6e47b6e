#include "editor_model/EditorDocument.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/PenStroke.h"
#include "editor_model/StepMarkers.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace lumivane {

namespace {
constexpr const char* kindNames[] = {"rectangle", "ellipse",  "arrow",     "text", "marker", "highlight",
                                     "blur",      "pixelate", "spotlight", "pen",  "step"};

const AnnotationToolInfo toolInfos[] = {
    {"select", "選択", "tool-select", std::nullopt, 0},
    {"rectangle", "矩形", "tool-rectangle", AnnotationKind::rectangle, 1},
    {"ellipse", "円 / 楕円", "tool-ellipse", AnnotationKind::ellipse, 1},
    {"arrow", "矢印", "tool-arrow", AnnotationKind::arrow, 1},
    {"text", "テキスト", "tool-text", AnnotationKind::text, 1},
    {"marker", "マーカー", "tool-marker", AnnotationKind::marker, 2},
    {"highlight", "ハイライト", "tool-highlight", AnnotationKind::highlight, 2},
    {"blur", "ぼかし", "tool-blur", AnnotationKind::blur, 3},
    {"pixelate", "モザイク", "tool-pixelate", AnnotationKind::pixelate, 3},
    {"spotlight", "スポットライト", "tool-spotlight", AnnotationKind::spotlight, 2},
    {"crop", "切り抜き", "tool-crop", std::nullopt, 4},
    {"pen", "ペン", "tool-pen", AnnotationKind::pen, 2},
    {"step", "番号", "tool-step", AnnotationKind::step, 1},
};
} // namespace

QString rawValue(AnnotationKind kind) {
    return QString::fromLatin1(kindNames[static_cast<int>(kind)]);
}

std::optional<AnnotationKind> annotationKindFromRaw(const QString& raw) {
    for (AnnotationKind k : allAnnotationKinds)
        if (rawValue(k) == raw)
            return k;
    return std::nullopt;
}

const AnnotationToolInfo& info(AnnotationTool tool) {
    return toolInfos[static_cast<int>(tool)];
}

std::optional<AnnotationTool> annotationToolFromRaw(const QString& raw) {
    for (AnnotationTool t : allAnnotationTools)
        if (rawValue(t) == raw)
            return t;
    return std::nullopt;
}

void Annotation::rebuildDerivedRect() {
    if (kind == AnnotationKind::arrow && arrowStart && arrowEnd) {
        const double minX = std::min(arrowStart->x(), arrowEnd->x());
        const double minY = std::min(arrowStart->y(), arrowEnd->y());
        const double maxX = std::max(arrowStart->x(), arrowEnd->x());
        const double maxY = std::max(arrowStart->y(), arrowEnd->y());
        rect = QRectF(minX, minY, std::max(maxX - minX, 1.0), std::max(maxY - minY, 1.0));
    } else if (kind == AnnotationKind::marker || kind == AnnotationKind::pen) {
        if (auto bounds = markerBounds(markerPoints)) {
            const double pad =
                kind == AnnotationKind::marker ? MarkerMetrics(lineWidth).visualPadding : penPadding(lineWidth);
            rect = bounds->adjusted(-pad, -pad, pad, pad);
        }
    }
}

Annotation Annotation::rotated(QSizeF size, ImageRotationDirection direction) const {
    Annotation a = *this;
    a.rect = transformedRect(rect, size, direction);
    if (a.arrowStart)
        a.arrowStart = transformedPoint(*a.arrowStart, size, direction);
    if (a.arrowEnd)
        a.arrowEnd = transformedPoint(*a.arrowEnd, size, direction);
    for (QPointF& p : a.markerPoints)
        p = transformedPoint(p, size, direction);
    a.rebuildDerivedRect();
    return a;
}

Annotation Annotation::flipped(QSizeF size, bool horizontally) const {
    Annotation a = *this;
    a.rect = transformedRectForFlip(rect, size, horizontally);
    if (a.arrowStart)
        a.arrowStart = transformedPointForFlip(*a.arrowStart, size, horizontally);
    if (a.arrowEnd)
        a.arrowEnd = transformedPointForFlip(*a.arrowEnd, size, horizontally);
    for (QPointF& p : a.markerPoints)
        p = transformedPointForFlip(p, size, horizontally);
    a.rebuildDerivedRect();
    return a;
}

Annotation Annotation::translated(QPointF offset) const {
    Annotation a = *this;
    a.rect.translate(offset);
    if (a.arrowStart)
        *a.arrowStart += offset;
    if (a.arrowEnd)
        *a.arrowEnd += offset;
    for (QPointF& p : a.markerPoints)
        p += offset;
    a.rebuildDerivedRect();
    return a;
}

namespace {
// Closed-interval overlap of two standardised rectangles (touching counts).
bool overlaps(const QRectF& a, const QRectF& b) {
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}
} // namespace

std::optional<Annotation> Annotation::translatedForAppliedCrop(const QRectF& cropRect) const {
    const QRectF crop = cropRect.normalized();
    if (!overlaps(crop, rect.normalized()))
        return std::nullopt;
    return translated(-crop.topLeft());
}

EditorDocument EditorDocument::fresh(ImageRef image) {
    EditorDocument d;
    d.baseImage = std::move(image);
    return d;
}

EditorSnapshot EditorDocument::snapshot() const {
    return EditorSnapshot{baseImage, imageRevision, annotations, selectedAnnotationID, cropRect, backgroundStyle};
}

void EditorDocument::restore(const EditorSnapshot& s) {
    baseImage = s.baseImage;
    imageRevision = s.imageRevision;
    annotations = s.annotations;
    selectedAnnotationID = s.selectedAnnotationID;
    cropRect = s.cropRect;
    backgroundStyle = s.backgroundStyle;
}

void EditorDocument::bumpRevision() {
    if (imageRevision == std::numeric_limits<int>::max())
        std::abort();
    ++imageRevision;
}

Annotation* EditorDocument::find(const QUuid& id) {
    auto it = std::find_if(annotations.begin(), annotations.end(), [&](const Annotation& a) { return a.id == id; });
    return it == annotations.end() ? nullptr : &*it;
}

const Annotation* EditorDocument::find(const QUuid& id) const {
    return const_cast<EditorDocument*>(this)->find(id);
}

void EditorDocument::add(Annotation annotation) {
    selectedAnnotationID = annotation.id;
    const bool step = annotation.kind == AnnotationKind::step;
    annotations.push_back(std::move(annotation));
    if (step)
        renumberSteps(annotations);
}

bool EditorDocument::update(const Annotation& annotation) {
    Annotation* a = find(annotation.id);
    if (!a)
        return false;
    *a = annotation;
    return true;
}

bool EditorDocument::remove(const QUuid& id) {
    auto it = std::find_if(annotations.begin(), annotations.end(), [&](const Annotation& a) { return a.id == id; });
    if (it == annotations.end())
        return false;
    const bool step = it->kind == AnnotationKind::step;
    annotations.erase(it);
    if (step)
        renumberSteps(annotations);
    if (selectedAnnotationID == id)
        selectedAnnotationID.reset();
    return true;
}

RgbaColor configuredAnnotationColor(AnnotationKind kind, const AnnotationColorDefaults& d) {
    switch (kind) {
    case AnnotationKind::rectangle:
    case AnnotationKind::ellipse:
    case AnnotationKind::arrow:
    case AnnotationKind::pen:
    case AnnotationKind::step:
        return d.annotation;
    case AnnotationKind::text:
        return d.text;
    case AnnotationKind::marker: {
        RgbaColor c = d.marker;
        c.alpha = 0.34;
        return c;
    }
    case AnnotationKind::highlight: {
        RgbaColor c = d.highlight;
        c.alpha = 0.28;
        return c;
    }
    case AnnotationKind::blur:
    case AnnotationKind::pixelate:
        return {0, 0, 0, 0};
    case AnnotationKind::spotlight:
        return {0, 0, 0, 0.52};
    }
    return d.annotation;
}

} // namespace lumivane
