#pragma once
#include "editor_model/EditorToolbarRules.h"

#include <optional>

namespace lumivane::toolbar {

// One choice made in a style popover.
struct StyleChoice {
    enum class Field {
        annotationColor,
        highlightColor,
        textFontSize,
        strokeWidth,
        markerLineWidth,
        effectIntensity,
        stepSize,
        textBackground
    };
    Field field = Field::annotationColor;
    RgbaColor color;  // the colour fields
    double value = 0; // the others
    std::optional<TextBackground> textBackground = {};
};

// A default for new annotations that a choice sets.
struct DefaultChange {
    enum class Field {
        annotationColor,
        textColor,
        markerColor,
        highlightColor,
        annotationLineWidth,
        markerLineWidth,
        textFontSize,
        stepSize,      // for the session
        textBackground // for the session
    };
    Field field = Field::annotationColor;
    RgbaColor color;
    double value = 0;
    std::optional<TextBackground> textBackground = {};
};

// Where a style choice lands: on the selected annotation when the choice fits it
// (`before` is the document before, to commit as one undo step), else on the
// default for new annotations of the active style kind (the effect strength has
// none: nothing changes).
struct StyleApplication {
    std::optional<EditorSnapshot> before;
    std::optional<DefaultChange> defaultChange;
};
StyleApplication applyStyle(EditorDocument* document, const StyleChoice& choice, const StyleDefaults& defaults);

} // namespace lumivane::toolbar
