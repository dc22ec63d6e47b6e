#include "editor_model/EditorToolbarRules.h"
#include "editor_model/StepMarkers.h"

#include <algorithm>
#include <cmath>

namespace lumivane::toolbar {

namespace {
constexpr RgbaColor rgb(int r, int g, int b) {
    return {r / 255.0, g / 255.0, b / 255.0, 1.0};
}

bool isShape(AnnotationKind k) {
    return k == AnnotationKind::rectangle || k == AnnotationKind::ellipse || k == AnnotationKind::arrow ||
           k == AnnotationKind::pen;
}
bool isEffect(AnnotationKind k) {
    return k == AnnotationKind::blur || k == AnnotationKind::pixelate || k == AnnotationKind::spotlight;
}

// Runs change on the selected annotation when accepts() holds for its kind.
template <class Accepts, class Change>
std::optional<EditorSnapshot> changeSelected(EditorDocument& document, Accepts accepts, Change change) {
    if (!document.selectedAnnotationID)
        return std::nullopt;
    Annotation* a = document.find(*document.selectedAnnotationID);
    if (!a || !accepts(a->kind))
        return std::nullopt;
    EditorSnapshot before = document.snapshot();
    change(*a);
    return before;
}

QString integerPart(double value) {
    return QString::number(static_cast<long long>(std::trunc(value)));
}
} // namespace

const std::vector<RgbaColor>& defaultPaletteColors() {
    static const std::vector<RgbaColor> colors{
        {0, 0, 0, 1},         {1.0, 0.29, 0.25, 1},  {1.0, 0.6, 0.1, 1},    {1.0, 0.85, 0.15, 1}, {0.27, 0.83, 0.32, 1},
        {0.2, 0.82, 0.82, 1}, {0.12, 0.48, 0.97, 1}, {0.53, 0.33, 0.96, 1}, {1.0, 0.19, 0.47, 1}, {1, 1, 1, 1}};
    return colors;
}

const std::vector<RgbaColor>& highlightPaletteColors() {
    // System yellow, orange, green, mint, blue, purple, pink.
    static const std::vector<RgbaColor> colors{rgb(255, 204, 0), rgb(255, 149, 0),  rgb(52, 199, 89), rgb(0, 199, 190),
                                               rgb(0, 122, 255), rgb(175, 82, 222), rgb(255, 45, 85)};
    return colors;
}

const std::vector<RgbaColor>& textBackgroundColors() {
    static const std::vector<RgbaColor> colors{{1, 1, 1, 1}, {0, 0, 0, 1}, rgb(255, 204, 0), rgb(0, 122, 255)};
    return colors;
}

bool presetIsSelected(double preset, double current) {
    return std::abs(preset - current) < 0.1;
}

bool colorsMatch(const RgbaColor& a, const RgbaColor& b) {
    const double values[] = {a.red, a.green, a.blue, b.red, b.green, b.blue};
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    return std::abs(a.red - b.red) < 0.01 && std::abs(a.green - b.green) < 0.01 && std::abs(a.blue - b.blue) < 0.01;
}

QString pixelLabel(double value) {
    return integerPart(value) + QStringLiteral(" px");
}
QString noneOrPixelLabel(double value) {
    return value == 0 ? QStringLiteral("なし") : pixelLabel(value);
}
QString percentLabel(double value) {
    return integerPart(std::round(value * 100 * 1e6) / 1e6) + QStringLiteral("%");
}
QString noneOrPercentLabel(double value) {
    return value == 0 ? QStringLiteral("なし") : percentLabel(value);
}
QString integerLabel(double value) {
    return integerPart(value);
}
QString zoomLabel(double zoom) {
    return percentLabel(zoom);
}

QString title(StyleKind kind) {
    switch (kind) {
    case StyleKind::text:
        return QStringLiteral("テキスト");
    case StyleKind::stroke:
        return QStringLiteral("図形");
    case StyleKind::marker:
        return QStringLiteral("マーカー");
    case StyleKind::highlight:
        return QStringLiteral("ハイライト");
    case StyleKind::blur:
        return QStringLiteral("ぼかし");
    case StyleKind::pixelate:
        return QStringLiteral("モザイク");
    case StyleKind::spotlight:
        return QStringLiteral("スポットライト");
    case StyleKind::step:
        return QStringLiteral("番号");
    }
    return {};
}

QString iconName(StyleKind kind) {
    switch (kind) {
    case StyleKind::text:
        return QStringLiteral("tool-text");
    case StyleKind::stroke:
        return QStringLiteral("style-stroke");
    case StyleKind::marker:
        return QStringLiteral("tool-marker");
    case StyleKind::highlight:
        return QStringLiteral("frame-inset");
    case StyleKind::blur:
        return QStringLiteral("tool-blur");
    case StyleKind::pixelate:
        return QStringLiteral("tool-pixelate");
    case StyleKind::spotlight:
        return QStringLiteral("style-spotlight");
    case StyleKind::step:
        return QStringLiteral("tool-step");
    }
    return {};
}

bool isColorKind(StyleKind kind) {
    return !isEffectKind(kind);
}
bool isEffectKind(StyleKind kind) {
    return kind == StyleKind::blur || kind == StyleKind::pixelate || kind == StyleKind::spotlight;
}

const std::vector<double>& effectPresets(StyleKind kind) {
    static const std::vector<double> none;
    switch (kind) {
    case StyleKind::blur:
        return blurIntensityPresets;
    case StyleKind::pixelate:
        return pixelateIntensityPresets;
    case StyleKind::spotlight:
        return spotlightOpacityPresets;
    default:
        return none;
    }
}

QString effectLabel(StyleKind kind, double value) {
    return kind == StyleKind::spotlight ? percentLabel(value) : integerLabel(value);
}

const Annotation* selectedAnnotation(const EditorDocument& document) {
    return document.selectedAnnotationID ? document.find(*document.selectedAnnotationID) : nullptr;
}

std::optional<StyleKind> activeStyleKind(const EditorDocument& document) {
    if (const Annotation* a = selectedAnnotation(document)) {
        switch (a->kind) {
        case AnnotationKind::text:
            return StyleKind::text;
        case AnnotationKind::rectangle:
        case AnnotationKind::ellipse:
        case AnnotationKind::arrow:
        case AnnotationKind::pen:
            return StyleKind::stroke;
        case AnnotationKind::step:
            return StyleKind::step;
        case AnnotationKind::marker:
            return StyleKind::marker;
        case AnnotationKind::highlight:
            return StyleKind::highlight;
        case AnnotationKind::blur:
            return StyleKind::blur;
        case AnnotationKind::pixelate:
            return StyleKind::pixelate;
        case AnnotationKind::spotlight:
            return StyleKind::spotlight;
        }
    }
    switch (document.selectedTool) {
    case AnnotationTool::rectangle:
    case AnnotationTool::ellipse:
    case AnnotationTool::arrow:
    case AnnotationTool::pen:
        return StyleKind::stroke;
    case AnnotationTool::step:
        return StyleKind::step;
    case AnnotationTool::text:
        return StyleKind::text;
    case AnnotationTool::marker:
        return StyleKind::marker;
    case AnnotationTool::highlight:
        return StyleKind::highlight;
    default:
        return std::nullopt;
    }
}

StyleValues styleValues(const EditorDocument& document, StyleKind kind, const StyleDefaults& d) {
    const Annotation* a = selectedAnnotation(document);
    auto selectedOf = [&](auto accepts) -> const Annotation* { return a && accepts(a->kind) ? a : nullptr; };
    const Annotation* text = selectedOf([](AnnotationKind k) { return k == AnnotationKind::text; });
    const Annotation* shape = selectedOf(isShape);
    const Annotation* marker = selectedOf([](AnnotationKind k) { return k == AnnotationKind::marker; });
    const Annotation* highlight = selectedOf([](AnnotationKind k) { return k == AnnotationKind::highlight; });
    const Annotation* effect = selectedOf(isEffect);
    const Annotation* step = selectedOf([](AnnotationKind k) { return k == AnnotationKind::step; });

    StyleValues v;
    switch (kind) {
    case StyleKind::text:
        v.annotationColor = text ? text->color : d.textColor;
        break;
    case StyleKind::marker:
        v.annotationColor = marker ? marker->color : d.markerColor;
        break;
    case StyleKind::step:
        v.annotationColor = step ? step->color : d.annotationColor;
        break;
    default:
        v.annotationColor = shape ? shape->color : d.annotationColor;
        break;
    }
    v.highlightColor = highlight ? highlight->color : d.highlightColor;
    v.textFontSize = text ? text->fontSize : d.textFontSize;
    v.strokeWidth = shape ? shape->lineWidth : d.annotationLineWidth;
    v.markerLineWidth = marker ? marker->lineWidth : d.markerLineWidth;
    v.stepDiameter = step ? step->rect.normalized().width() : d.stepDiameter;
    v.textBackground = text ? text->textBackground : d.textBackground;
    if (effect)
        v.effectIntensity = effect->effectIntensity;
    else if (kind == StyleKind::blur)
        v.effectIntensity = 16.0;
    else if (kind == StyleKind::pixelate)
        v.effectIntensity = 18.0;
    else if (kind == StyleKind::spotlight)
        v.effectIntensity = 0.52;
    return v;
}

std::optional<EditorSnapshot> applyAnnotationColor(EditorDocument& document, const RgbaColor& color) {
    return changeSelected(
        document,
        [](AnnotationKind k) {
            return k == AnnotationKind::text || k == AnnotationKind::marker || k == AnnotationKind::step || isShape(k);
        },
        [&](Annotation& a) {
            // Markers keep their translucency.
            const double alpha = a.kind == AnnotationKind::marker ? a.color.alpha : color.alpha;
            a.color = color;
            a.color.alpha = alpha;
        });
}

std::optional<EditorSnapshot> applyHighlightColor(EditorDocument& document, const RgbaColor& color) {
    return changeSelected(
        document, [](AnnotationKind k) { return k == AnnotationKind::highlight; },
        [&](Annotation& a) {
            const double alpha = a.color.alpha;
            a.color = color;
            a.color.alpha = alpha;
        });
}

std::optional<EditorSnapshot> applyTextFontSize(EditorDocument& document, double size) {
    return changeSelected(
        document, [](AnnotationKind k) { return k == AnnotationKind::text; },
        [&](Annotation& a) { a.fontSize = size; });
}

std::optional<EditorSnapshot> applyStrokeWidth(EditorDocument& document, double width) {
    return changeSelected(document, isShape, [&](Annotation& a) {
        a.lineWidth = width;
        if (a.kind == AnnotationKind::pen)
            a.rebuildDerivedRect();
    });
}

std::optional<EditorSnapshot> applyStepSize(EditorDocument& document, double diameter) {
    return changeSelected(
        document, [](AnnotationKind k) { return k == AnnotationKind::step; },
        [&](Annotation& a) {
            a.rect = StepMarker::resizedCircle(a.rect, diameter);
            if (a.arrowEnd)
                a.arrowEnd = StepMarker::tailTip(a.rect, *a.arrowEnd);
        });
}

std::optional<EditorSnapshot> applyTextBackground(EditorDocument& document,
                                                  const std::optional<TextBackground>& background) {
    return changeSelected(
        document, [](AnnotationKind k) { return k == AnnotationKind::text; },
        [&](Annotation& a) { a.textBackground = background; });
}

std::optional<EditorSnapshot> applyMarkerLineWidth(EditorDocument& document, double width) {
    return changeSelected(
        document, [](AnnotationKind k) { return k == AnnotationKind::marker; },
        [&](Annotation& a) {
            a.lineWidth = width;
            a.rebuildDerivedRect();
        });
}

std::optional<EditorSnapshot> applyEffectIntensity(EditorDocument& document, double intensity) {
    return changeSelected(document, isEffect, [&](Annotation& a) { a.effectIntensity = intensity; });
}

double stepZoom(const std::vector<double>& presets, double current, int direction) {
    if (presets.empty())
        return current;
    int index = 0;
    for (int i = int(presets.size()) - 1; i >= 0; --i) {
        if (presets[size_t(i)] <= current + 0.001) {
            index = i;
            break;
        }
    }
    index = std::clamp(index + direction, 0, int(presets.size()) - 1);
    return presets[size_t(index)];
}

bool canZoomOut(const std::vector<double>& presets, double current) {
    return (presets.empty() ? 0.5 : presets.front()) < current;
}
bool canZoomIn(const std::vector<double>& presets, double current) {
    return current < (presets.empty() ? 3.0 : presets.back());
}

bool showsCropControls(const EditorDocument& document) {
    return document.selectedTool == AnnotationTool::crop && document.cropRect.has_value();
}

QSizeF editorWindowSize(std::optional<QSizeF> visible) {
    const QSizeF area = visible.value_or(QSizeF(1440, 900));
    return {std::min(area.width() * 0.92, editorDefaultWindowSize.width()),
            std::min(area.height() * 0.9, editorDefaultWindowSize.height())};
}

} // namespace lumivane::toolbar
