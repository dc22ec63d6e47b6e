#include "TestHelpers.h"
#include "editor_model/EditorToolbarRules.h"

#include <gtest/gtest.h>

using namespace lumivane;
using namespace lumivane::toolbar;

namespace {
EditorDocument documentWith(Annotation a) {
    EditorDocument d = EditorDocument::fresh(test::solidImage(200, 100));
    d.add(a);
    return d;
}
std::vector<double> selectedChips(const std::vector<double>& presets, double current) {
    std::vector<double> out;
    for (double p : presets)
        if (presetIsSelected(p, current))
            out.push_back(p);
    return out;
}
} // namespace

TEST(ToolbarRules, ChipSelectionUsesOneTenthTolerance) {
    EXPECT_EQ(selectedChips(spotlightOpacityPresets, 0.52), (std::vector<double>{0.45, 0.55}));
    EXPECT_EQ(selectedChips(textSizePresets, 16), (std::vector<double>{16}));
    EXPECT_EQ(selectedChips(backgroundShadowPresets, 0.18), (std::vector<double>{0.1, 0.16, 0.22}));
    EXPECT_TRUE(selectedChips(strokeWidthPresets, 5).empty());
}

TEST(ToolbarRules, ChipLabels) {
    EXPECT_EQ(pixelLabel(16), "16 px");
    EXPECT_EQ(effectLabel(StyleKind::spotlight, 0.55), "55%");
    EXPECT_EQ(effectLabel(StyleKind::spotlight, 0.35), "35%");
    EXPECT_EQ(effectLabel(StyleKind::blur, 18), "18");
    EXPECT_EQ(noneOrPixelLabel(0), "なし");
    EXPECT_EQ(noneOrPixelLabel(36), "36 px");
    EXPECT_EQ(noneOrPercentLabel(0), "なし");
    EXPECT_EQ(noneOrPercentLabel(0.16), "16%");
    EXPECT_EQ(noneOrPercentLabel(0.22), "22%");
    EXPECT_EQ(zoomLabel(1.1), "110%");
    EXPECT_EQ(zoomLabel(0.75), "75%");
    EXPECT_EQ(zoomLabel(1.256), "125%");
}

TEST(ToolbarRules, PaletteMatchingComparesRgbOnly) {
    const auto& palette = defaultPaletteColors();
    ASSERT_EQ(palette.size(), 10u);
    auto matches = [&](RgbaColor c) {
        std::vector<int> hits;
        for (size_t i = 0; i < palette.size(); ++i)
            if (colorsMatch(palette[i], c))
                hits.push_back(int(i) + 1);
        return hits;
    };
    EXPECT_TRUE(matches({0.5, 0.5, 0.5, 1}).empty());
    EXPECT_EQ(matches({0, 0, 0, 1}), (std::vector<int>{1}));
    EXPECT_EQ(matches({0.005, 0, 0.009, 0.2}), (std::vector<int>{1})); // alpha ignored
    EXPECT_TRUE(matches({0.011, 0, 0, 1}).empty());
    EXPECT_EQ(matches({1.0, 0.6, 0.1, 1}), (std::vector<int>{3}));
    EXPECT_TRUE(matches({std::nan(""), 0, 0, 1}).empty());
    EXPECT_EQ(highlightPaletteColors().size(), 7u);
}

TEST(ToolbarRules, ActiveStyleKindPrefersSelectionOverTool) {
    EditorDocument d = EditorDocument::fresh(test::solidImage(200, 100));
    EXPECT_EQ(activeStyleKind(d), std::nullopt);
    const std::pair<AnnotationTool, std::optional<StyleKind>> tools[] = {
        {AnnotationTool::rectangle, StyleKind::stroke}, {AnnotationTool::ellipse, StyleKind::stroke},
        {AnnotationTool::arrow, StyleKind::stroke},     {AnnotationTool::text, StyleKind::text},
        {AnnotationTool::marker, StyleKind::marker},    {AnnotationTool::highlight, StyleKind::highlight},
        {AnnotationTool::blur, std::nullopt},           {AnnotationTool::pixelate, std::nullopt},
        {AnnotationTool::spotlight, std::nullopt},      {AnnotationTool::crop, std::nullopt},
        {AnnotationTool::pen, StyleKind::stroke},       {AnnotationTool::step, StyleKind::step}};
    for (auto [tool, kind] : tools) {
        d.selectedTool = tool;
        EXPECT_EQ(activeStyleKind(d), kind) << rawValue(tool).toStdString();
    }
    d.selectedTool = AnnotationTool::text;
    d.add(test::makeAnnotation(AnnotationKind::spotlight, {10, 10, 40, 40}));
    EXPECT_EQ(activeStyleKind(d), StyleKind::spotlight);
    d.add(test::makeArrow({0, 0}, {30, 30}));
    EXPECT_EQ(activeStyleKind(d), StyleKind::stroke);
    d.selectedAnnotationID.reset();
    EXPECT_EQ(activeStyleKind(d), StyleKind::text);
}

TEST(ToolbarRules, StyleValuesFallBackToDefaults) {
    StyleDefaults defaults;
    defaults.textColor = {1, 0, 0, 1};
    defaults.markerColor = {0, 1, 0, 1};
    defaults.annotationLineWidth = 6;
    EditorDocument d = EditorDocument::fresh(test::solidImage(200, 100));
    auto v = styleValues(d, StyleKind::text, defaults);
    EXPECT_EQ(v.annotationColor, defaults.textColor);
    EXPECT_EQ(v.strokeWidth, 6);
    EXPECT_EQ(styleValues(d, StyleKind::marker, defaults).annotationColor, defaults.markerColor);
    EXPECT_EQ(styleValues(d, StyleKind::stroke, defaults).annotationColor, defaults.annotationColor);
    EXPECT_EQ(styleValues(d, StyleKind::blur, defaults).effectIntensity, 16.0);
    EXPECT_EQ(styleValues(d, StyleKind::pixelate, defaults).effectIntensity, 18.0);
    EXPECT_EQ(styleValues(d, StyleKind::spotlight, defaults).effectIntensity, 0.52);
    EXPECT_EQ(styleValues(d, StyleKind::text, defaults).effectIntensity, 0.0);

    Annotation text = test::makeAnnotation(AnnotationKind::text, {0, 0, 50, 20});
    text.fontSize = 16;
    text.color = {0, 0, 1, 1};
    d.add(text);
    v = styleValues(d, StyleKind::text, defaults);
    EXPECT_EQ(v.textFontSize, 16);
    EXPECT_EQ(v.annotationColor, text.color);
    EXPECT_EQ(v.strokeWidth, 6); // the text is not a shape
}

TEST(ToolbarRules, ApplyChangesOnlyAMatchingSelection) {
    Annotation rect = test::makeAnnotation(AnnotationKind::rectangle, {10, 10, 50, 50});
    EditorDocument d = documentWith(rect);
    const EditorSnapshot original = d.snapshot();

    EXPECT_FALSE(applyTextFontSize(d, 40));
    EXPECT_FALSE(applyMarkerLineWidth(d, 30));
    EXPECT_FALSE(applyEffectIntensity(d, 24));
    EXPECT_FALSE(applyHighlightColor(d, {1, 0, 0, 1}));
    EXPECT_EQ(d.snapshot(), original);

    auto before = applyStrokeWidth(d, 8);
    ASSERT_TRUE(before);
    EXPECT_EQ(*before, original);
    EXPECT_EQ(d.find(rect.id)->lineWidth, 8);
    ASSERT_TRUE(applyAnnotationColor(d, {1, 0, 0, 1}));
    EXPECT_EQ(d.find(rect.id)->color, (RgbaColor{1, 0, 0, 1}));

    d.selectedAnnotationID.reset();
    EXPECT_FALSE(applyStrokeWidth(d, 2));
    EXPECT_EQ(d.find(rect.id)->lineWidth, 8);
}

TEST(ToolbarRules, TranslucentKindsKeepTheirAlpha) {
    Annotation marker = test::makeMarker({{10, 10}, {40, 30}});
    marker.color.alpha = 0.34;
    EditorDocument d = documentWith(marker);
    ASSERT_TRUE(applyAnnotationColor(d, {1, 0, 0, 1}));
    EXPECT_EQ(d.find(marker.id)->color, (RgbaColor{1, 0, 0, 0.34}));
    const QRectF narrow = d.find(marker.id)->rect;
    ASSERT_TRUE(applyMarkerLineWidth(d, 34));
    EXPECT_TRUE(d.find(marker.id)->rect.contains(narrow));

    Annotation highlight = test::makeAnnotation(AnnotationKind::highlight, {0, 0, 30, 10});
    highlight.color = {1, 1, 0, 0.28};
    d.add(highlight);
    ASSERT_TRUE(applyHighlightColor(d, {0, 0, 1, 1}));
    EXPECT_EQ(d.find(highlight.id)->color, (RgbaColor{0, 0, 1, 0.28}));

    Annotation spotlight = test::makeAnnotation(AnnotationKind::spotlight, {0, 0, 30, 10});
    d.add(spotlight);
    ASSERT_TRUE(applyEffectIntensity(d, 0.65));
    EXPECT_EQ(d.find(spotlight.id)->effectIntensity, 0.65);
}

TEST(ToolbarRules, ZoomStepsThroughPresets) {
    EXPECT_EQ(stepZoom(zoomPresets, 1.1, -1), 0.75);
    EXPECT_EQ(stepZoom(zoomPresets, 1.1, +1), 1.25);
    EXPECT_EQ(stepZoom(zoomPresets, 1.0, +1), 1.25);
    EXPECT_EQ(stepZoom(zoomPresets, 0.9995, +1), 1.25); // within 0.001 counts as the preset
    EXPECT_EQ(stepZoom(zoomPresets, 3.0, +1), 3.0);
    EXPECT_EQ(stepZoom(zoomPresets, 0.5, -1), 0.5);
    EXPECT_EQ(stepZoom(zoomPresets, 0.2, +1), 0.75); // below all presets: index 0
    EXPECT_EQ(stepZoom(zoomPresets, 5.0, -1), 2.0);
    EXPECT_FALSE(canZoomIn(zoomPresets, 3.0));
    EXPECT_TRUE(canZoomOut(zoomPresets, 3.0));
    EXPECT_FALSE(canZoomOut(zoomPresets, 0.5));
    EXPECT_TRUE(canZoomIn(zoomPresets, 0.5));
    EXPECT_TRUE(canZoomOut({}, 0.6));
    EXPECT_FALSE(canZoomIn({}, 3.0));
}

TEST(ToolbarRules, CropControlsNeedCropToolAndRect) {
    EditorDocument d = EditorDocument::fresh(test::solidImage(200, 100));
    d.selectedTool = AnnotationTool::crop;
    EXPECT_FALSE(showsCropControls(d));
    d.cropRect = QRectF(10, 10, 50, 50);
    EXPECT_TRUE(showsCropControls(d));
    d.selectedTool = AnnotationTool::select;
    EXPECT_FALSE(showsCropControls(d));
}
