#pragma once
#include "core/Image.h"
#include "core/ImageExportPipeline.h"
#include "core/RgbaColor.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUuid>
#include <array>
#include <optional>
#include <vector>

namespace lumivane {

// pen: a smoothed freehand stroke through markerPoints. step: a numbered circle in
// rect (its number in text, kept in list order by renumberSteps) with an optional
// pointer tail ending at arrowEnd.
enum class AnnotationKind { rectangle, ellipse, arrow, text, marker, highlight, blur, pixelate, spotlight, pen, step };
inline constexpr std::array<AnnotationKind, 11> allAnnotationKinds = {
    AnnotationKind::rectangle, AnnotationKind::ellipse,   AnnotationKind::arrow, AnnotationKind::text,
    AnnotationKind::marker,    AnnotationKind::highlight, AnnotationKind::blur,  AnnotationKind::pixelate,
    AnnotationKind::spotlight, AnnotationKind::pen,       AnnotationKind::step};

QString rawValue(AnnotationKind kind);
std::optional<AnnotationKind> annotationKindFromRaw(const QString& raw);

enum class AnnotationTool {
    select,
    rectangle,
    ellipse,
    arrow,
    text,
    marker,
    highlight,
    blur,
    pixelate,
    spotlight,
    crop,
    pen,
    step
};
inline constexpr std::array<AnnotationTool, 13> allAnnotationTools = {
    AnnotationTool::select,   AnnotationTool::rectangle, AnnotationTool::ellipse,   AnnotationTool::arrow,
    AnnotationTool::text,     AnnotationTool::marker,    AnnotationTool::highlight, AnnotationTool::blur,
    AnnotationTool::pixelate, AnnotationTool::spotlight, AnnotationTool::crop,      AnnotationTool::pen,
    AnnotationTool::step};

struct AnnotationToolInfo {
    const char* rawValue;
    const char* title;    // UTF-8
    const char* iconName; // data/editor-icons/NAME.svg
    std::optional<AnnotationKind> createsKind;
    int barGroup; // the top bar shows the groups in order, divided
};
const AnnotationToolInfo& info(AnnotationTool tool);
inline QString rawValue(AnnotationTool tool) {
    return QString::fromLatin1(info(tool).rawValue);
}
inline QString id(AnnotationTool tool) {
    return rawValue(tool);
}
inline QString title(AnnotationTool tool) {
    return QString::fromUtf8(info(tool).title);
}
inline QString iconName(AnnotationTool tool) {
    return QString::fromLatin1(info(tool).iconName);
}
inline int barGroup(AnnotationTool tool) {
    return info(tool).barGroup;
}
inline std::optional<AnnotationKind> createsKind(AnnotationTool tool) {
    return info(tool).createsKind;
}
std::optional<AnnotationTool> annotationToolFromRaw(const QString& raw);

// The filled box behind a text annotation; the colour's alpha is its opacity.
struct TextBackground {
    RgbaColor color{1, 1, 1, 0.85};
    double padding = 6;
    double cornerRadius = 6;
    friend bool operator==(const TextBackground&, const TextBackground&) = default;
};

struct Annotation {
    QUuid id;
    AnnotationKind kind = AnnotationKind::rectangle;
    QRectF rect;
    RgbaColor color;
    double lineWidth = 0;
    double fontSize = 0;
    QString text;
    std::optional<QPointF> arrowStart;
    std::optional<QPointF> arrowEnd;
    std::vector<QPointF> markerPoints;
    double effectIntensity = 0;
    std::optional<TextBackground> textBackground; // text only

    friend bool operator==(const Annotation&, const Annotation&) = default;

    // Geometry transforms (old image size given); see AnnotationGeometry.h for the rules.
    Annotation rotated(QSizeF imageSize, ImageRotationDirection direction) const;
    Annotation flipped(QSizeF imageSize, bool horizontally) const;
    std::optional<Annotation> translatedForAppliedCrop(const QRectF& crop) const;
    // Translation by (dx, dy) of rect and points, then arrow/marker rect rebuilding.
    Annotation translated(QPointF offset) const;
    // Rebuilds the rect of an arrow (tight box of its ends), marker or pen (padded point bounds).
    void rebuildDerivedRect();
};

struct CanvasBackgroundStyle {
    bool isEnabled = false;
    double padding = 36;
    RgbaColor color{0.96, 0.97, 0.99, 1.0};
    double cornerRadius = 24;
    double shadowOpacity = 0.18;
    double shadowBlur = 24;
    double shadowOffsetY = 10;
    friend bool operator==(const CanvasBackgroundStyle&, const CanvasBackgroundStyle&) = default;
};

struct EditorSnapshot;

struct EditorDocument {
    ImageRef baseImage;
    int imageRevision = 0;
    std::vector<Annotation> annotations;
    AnnotationTool selectedTool = AnnotationTool::select;
    std::optional<QUuid> selectedAnnotationID;
    std::optional<QRectF> cropRect;
    CanvasBackgroundStyle backgroundStyle;
    double editorDisplayScale = 1.0;

    // A fresh document on an image.
    static EditorDocument fresh(ImageRef image);

    EditorSnapshot snapshot() const;
    void restore(const EditorSnapshot& snapshot);

    // Image size in points (one point per pixel).
    QSizeF imageSize() const { return QSizeF(pixelSize(baseImage)); }

    // Increments imageRevision; overflow is fatal.
    void bumpRevision();

    // Annotation editing.
    Annotation* find(const QUuid& id);
    const Annotation* find(const QUuid& id) const;
    // add and remove renumber the step markers.
    void add(Annotation annotation);           // appends and selects it
    bool update(const Annotation& annotation); // in place, matched by id
    bool remove(const QUuid& id);              // clears the selection if it named it

    // True when both flatten to the same picture: same image object and revision,
    // annotations, crop and background; the selection, tool and display scale do
    // not count.
    bool rendersLike(const EditorDocument& other) const {
        return baseImage == other.baseImage && imageRevision == other.imageRevision &&
               annotations == other.annotations && cropRect == other.cropRect &&
               backgroundStyle == other.backgroundStyle;
    }
};

struct EditorSnapshot {
    ImageRef baseImage;
    int imageRevision = 0;
    std::vector<Annotation> annotations;
    std::optional<QUuid> selectedAnnotationID;
    std::optional<QRectF> cropRect;
    CanvasBackgroundStyle backgroundStyle;

    // The image object is not compared; its revision stands for it.
    friend bool operator==(const EditorSnapshot& a, const EditorSnapshot& b) {
        return a.imageRevision == b.imageRevision && a.annotations == b.annotations &&
               a.selectedAnnotationID == b.selectedAnnotationID && a.cropRect == b.cropRect &&
               a.backgroundStyle == b.backgroundStyle;
    }
};

struct EditorHistory {
    std::vector<EditorSnapshot> undoStack;
    std::vector<EditorSnapshot> redoStack;
    bool canUndo() const { return !undoStack.empty(); }
    bool canRedo() const { return !redoStack.empty(); }
};

// The four settings colours a new annotation's colour derives from.
struct AnnotationColorDefaults {
    RgbaColor annotation = RgbaColor::accent();
    RgbaColor text = RgbaColor::accent();
    RgbaColor marker = RgbaColor::defaultYellow();
    RgbaColor highlight = RgbaColor::defaultYellow();
};

RgbaColor configuredAnnotationColor(AnnotationKind kind, const AnnotationColorDefaults& defaults);

} // namespace lumivane
