#include "editor_model/StyleApplication.h"

namespace lumivane::toolbar {

namespace {

std::optional<EditorSnapshot> applyToSelection(EditorDocument& document, const StyleChoice& choice) {
    switch (choice.field) {
    case StyleChoice::Field::annotationColor:
        return applyAnnotationColor(document, choice.color);
    case StyleChoice::Field::highlightColor:
        return applyHighlightColor(document, choice.color);
    case StyleChoice::Field::textFontSize:
        return applyTextFontSize(document, choice.value);
    case StyleChoice::Field::strokeWidth:
        return applyStrokeWidth(document, choice.value);
    case StyleChoice::Field::markerLineWidth:
        return applyMarkerLineWidth(document, choice.value);
    case StyleChoice::Field::effectIntensity:
        return applyEffectIntensity(document, choice.value);
    case StyleChoice::Field::stepSize:
        return applyStepSize(document, choice.value);
    case StyleChoice::Field::textBackground:
        return applyTextBackground(document, choice.textBackground);
    }
    return std::nullopt;
}

std::optional<DefaultChange> defaultFor(const EditorDocument* document, const StyleChoice& choice,
                                        const StyleDefaults& defaults) {
    using F = DefaultChange::Field;
    switch (choice.field) {
    case StyleChoice::Field::annotationColor: {
        const std::optional<StyleKind> kind = document ? activeStyleKind(*document) : std::nullopt;
        const F field = kind == StyleKind::text     ? F::textColor
                        : kind == StyleKind::marker ? F::markerColor
                                                    : F::annotationColor;
        return DefaultChange{field, choice.color, 0};
    }
    case StyleChoice::Field::highlightColor: {
        // The highlight keeps its translucency; the choice sets its hue.
        RgbaColor color = choice.color;
        color.alpha = defaults.highlightColor.alpha;
        return DefaultChange{F::highlightColor, color, 0};
    }
    case StyleChoice::Field::textFontSize:
        return DefaultChange{F::textFontSize, {}, choice.value};
    case StyleChoice::Field::strokeWidth:
        return DefaultChange{F::annotationLineWidth, {}, choice.value};
    case StyleChoice::Field::markerLineWidth:
        return DefaultChange{F::markerLineWidth, {}, choice.value};
    case StyleChoice::Field::effectIntensity:
        return std::nullopt;
    case StyleChoice::Field::stepSize:
        return DefaultChange{F::stepSize, {}, choice.value};
    case StyleChoice::Field::textBackground:
        return DefaultChange{F::textBackground, {}, 0, choice.textBackground};
    }
    return std::nullopt;
}

} // namespace

StyleApplication applyStyle(EditorDocument* document, const StyleChoice& choice, const StyleDefaults& defaults) {
    StyleApplication result;
    if (document)
        result.before = applyToSelection(*document, choice);
    if (!result.before)
        result.defaultChange = defaultFor(document, choice, defaults);
    return result;
}

} // namespace lumivane::toolbar
