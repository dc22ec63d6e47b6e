#pragma once
#include "editor_model/EditorDocument.h"

#include <QSizeF>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

// Rules of the editor's bars and style popovers, free of widgets.
namespace lumivane::toolbar {

inline const std::vector<double> textSizePresets{10, 13, 16, 20, 24, 32, 40, 48, 64, 72};
inline const std::vector<double> strokeWidthPresets{2, 4, 6, 8, 10};
inline const std::vector<double> markerLineWidthPresets{10, 14, 18, 22, 26, 30, 34};
inline const std::vector<double> stepSizePresets{24, 32, 40, 48, 64, 80};
// The box behind text: colours (the alpha is set by the opacity), opacity, padding, corners.
const std::vector<RgbaColor>& textBackgroundColors();
inline const std::vector<double> textBackgroundOpacityPresets{0.6, 0.8, 1.0};
inline const std::vector<double> textBackgroundPaddingPresets{2, 6, 10, 16};
inline const std::vector<double> textBackgroundRadiusPresets{0, 6, 12, 20};
inline const std::vector<double> blurIntensityPresets{10, 14, 18, 24, 32};
inline const std::vector<double> pixelateIntensityPresets{12, 18, 24, 32, 40};
inline const std::vector<double> spotlightOpacityPresets{0.35, 0.45, 0.55, 0.65, 0.75};
inline const std::vector<double> backgroundPaddingPresets{16, 24, 36, 48, 72, 96};
inline const std::vector<double> backgroundRadiusPresets{0, 12, 18, 24, 32, 40};
inline const std::vector<double> backgroundShadowPresets{0, 0.1, 0.16, 0.22, 0.3};
inline const std::vector<std::pair<QString, double>> resizeScalePresets{{QStringLiteral("50%"), 0.5},
                                                                        {QStringLiteral("75%"), 0.75},
                                                                        {QStringLiteral("125%"), 1.25},
                                                                        {QStringLiteral("150%"), 1.5},
                                                                        {QStringLiteral("200%"), 2.0}};
inline const std::vector<double> zoomPresets{0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0};

// The ten palette colours and the seven highlight colours (the desktop's system hues).
const std::vector<RgbaColor>& defaultPaletteColors();
const std::vector<RgbaColor>& highlightPaletteColors();

// A chip is selected when its value is within 0.1 of the current one.
bool presetIsSelected(double preset, double current);
// A swatch is selected when red, green and blue each differ by less than 0.01.
bool colorsMatch(const RgbaColor& swatch, const RgbaColor& selected);

// Chip labels.
QString pixelLabel(double value);         // "16 px"
QString noneOrPixelLabel(double value);   // "なし" for 0, else "16 px"
QString noneOrPercentLabel(double value); // "なし" for 0, else "16%"
QString percentLabel(double value);       // "55%" for 0.55
QString integerLabel(double value);       // "18"
QString zoomLabel(double zoom);           // "110%"

enum class StyleKind { text, stroke, marker, highlight, blur, pixelate, spotlight, step };
inline constexpr StyleKind allStyleKinds[] = {StyleKind::text,      StyleKind::stroke, StyleKind::marker,
                                              StyleKind::highlight, StyleKind::blur,   StyleKind::pixelate,
                                              StyleKind::spotlight, StyleKind::step};
QString title(StyleKind kind);                            // popover title: "テキスト", "図形", ...
QString iconName(StyleKind kind);                         // "tool-text", "style-stroke", ...
bool isColorKind(StyleKind kind);                         // text, stroke, marker, highlight, step
bool isEffectKind(StyleKind kind);                        // blur, pixelate, spotlight
const std::vector<double>& effectPresets(StyleKind kind); // empty for colour kinds
QString effectLabel(StyleKind kind, double value);

// The style kind of the selection, else of the selected tool; nothing: no style control.
std::optional<StyleKind> activeStyleKind(const EditorDocument& document);
const Annotation* selectedAnnotation(const EditorDocument& document);

// The values the popover shows.
struct StyleDefaults {
    RgbaColor annotationColor = RgbaColor::accent();
    RgbaColor textColor = RgbaColor::accent();
    RgbaColor markerColor = RgbaColor::defaultYellow();
    RgbaColor highlightColor = RgbaColor::highlight();
    double annotationLineWidth = 4;
    double markerLineWidth = 18;
    double textFontSize = 32;
    double stepDiameter = 0; // 0: the default size at the display scale
    std::optional<TextBackground> textBackground;
};
struct StyleValues {
    RgbaColor annotationColor;
    RgbaColor highlightColor;
    double textFontSize = 0;
    double strokeWidth = 0;
    double markerLineWidth = 0;
    double effectIntensity = 0;
    double stepDiameter = 0;
    std::optional<TextBackground> textBackground;
};
StyleValues styleValues(const EditorDocument& document, StyleKind kind, const StyleDefaults& defaults);

// Style changes of the selected annotation. Each answers the snapshot taken before the
// change, or nothing (document untouched) when no annotation the change fits is selected.
std::optional<EditorSnapshot> applyAnnotationColor(EditorDocument& document, const RgbaColor& color);
std::optional<EditorSnapshot> applyHighlightColor(EditorDocument& document, const RgbaColor& color);
std::optional<EditorSnapshot> applyTextFontSize(EditorDocument& document, double size);
std::optional<EditorSnapshot> applyStrokeWidth(EditorDocument& document, double width);
std::optional<EditorSnapshot> applyMarkerLineWidth(EditorDocument& document, double width);
std::optional<EditorSnapshot> applyEffectIntensity(EditorDocument& document, double intensity);
std::optional<EditorSnapshot> applyStepSize(EditorDocument& document, double diameter);
std::optional<EditorSnapshot> applyTextBackground(EditorDocument& document,
                                                  const std::optional<TextBackground>& background);

// Zoom: the preset after (direction +1) or before (-1) the last preset at or below the zoom.
double stepZoom(const std::vector<double>& presets, double current, int direction);
bool canZoomOut(const std::vector<double>& presets, double current);
bool canZoomIn(const std::vector<double>& presets, double current);

// Crop buttons show while cropping with a crop rectangle.
bool showsCropControls(const EditorDocument& document);

// Editor window size for a screen's visible area (1440 × 900 when unknown).
inline constexpr QSizeF editorMinimumWindowSize{980, 720};
inline constexpr QSizeF editorDefaultWindowSize{1180, 820};
QSizeF editorWindowSize(std::optional<QSizeF> visibleScreenSize);

} // namespace lumivane::toolbar
