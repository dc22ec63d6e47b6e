#include "editor_model/StyleApplication.h"
#include "TestHelpers.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace lumivane;
using namespace lumivane::toolbar;

namespace {

using Choice = StyleChoice::Field;
using Default = DefaultChange::Field;

const RgbaColor choiceRed{1, 0, 0, 1};

// Without a fitting selection a choice becomes the default of the active kind.
struct DefaultCase {
    const char* name;
    AnnotationTool tool;
    StyleChoice choice;
    Default field;
};

void PrintTo(const DefaultCase& c, std::ostream* os) {
    *os << c.name;
}

class StyleChoiceWithoutSelection : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(StyleChoiceWithoutSelection, SetsTheDefaultOfTheActiveKind) {
    const DefaultCase& c = GetParam();
    EditorDocument d = EditorDocument::fresh(test::solidImage(200, 100));
    d.selectedTool = c.tool;
    const EditorSnapshot before = d.snapshot();
    const StyleApplication result = applyStyle(&d, c.choice, StyleDefaults{});
    EXPECT_FALSE(result.before);
    EXPECT_EQ(d.snapshot(), before) << "the document is untouched";
    ASSERT_TRUE(result.defaultChange);
    EXPECT_EQ(result.defaultChange->field, c.field);
    EXPECT_EQ(result.defaultChange->value, c.choice.value);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, StyleChoiceWithoutSelection,
    ::testing::Values(
        DefaultCase{
            "shape", AnnotationTool::rectangle, {Choice::annotationColor, choiceRed, 0}, Default::annotationColor},
        DefaultCase{"text", AnnotationTool::text, {Choice::annotationColor, choiceRed, 0}, Default::textColor},
        DefaultCase{"marker", AnnotationTool::marker, {Choice::annotationColor, choiceRed, 0}, Default::markerColor},
        DefaultCase{"size", AnnotationTool::text, {Choice::textFontSize, {}, 48}, Default::textFontSize},
        DefaultCase{"stroke", AnnotationTool::arrow, {Choice::strokeWidth, {}, 8}, Default::annotationLineWidth},
        DefaultCase{"markerWidth", AnnotationTool::marker, {Choice::markerLineWidth, {}, 26}, Default::markerLineWidth},
        DefaultCase{"pen", AnnotationTool::pen, {Choice::strokeWidth, {}, 6}, Default::annotationLineWidth},
        DefaultCase{
            "stepColour", AnnotationTool::step, {Choice::annotationColor, choiceRed, 0}, Default::annotationColor},
        DefaultCase{"stepSize", AnnotationTool::step, {Choice::stepSize, {}, 48}, Default::stepSize},
        DefaultCase{"textBackground",
                    AnnotationTool::text,
                    {Choice::textBackground, {}, 0, TextBackground{}},
                    Default::textBackground}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StyleApplication, AHighlightColourKeepsTheDefaultsTranslucency) {
    StyleDefaults defaults;
    defaults.highlightColor.alpha = 0.35;
    const StyleApplication result = applyStyle(nullptr, {Choice::highlightColor, RgbaColor{0, 1, 0, 1}, 0}, defaults);
    ASSERT_TRUE(result.defaultChange);
    EXPECT_EQ(result.defaultChange->field, Default::highlightColor);
    EXPECT_EQ(result.defaultChange->color.green, 1);
    EXPECT_EQ(result.defaultChange->color.alpha, 0.35);
}

TEST(StyleApplication, AFittingSelectionTakesTheChoiceAndNoDefaultChanges) {
    EditorDocument d = EditorDocument::fresh(test::solidImage(200, 100));
    Annotation rect = test::makeAnnotation(AnnotationKind::rectangle, {10, 10, 50, 30});
    d.add(rect);
    d.selectedAnnotationID = rect.id;
    const EditorSnapshot before = d.snapshot();
    const StyleApplication result = applyStyle(&d, {Choice::strokeWidth, {}, 10}, StyleDefaults{});
    ASSERT_TRUE(result.before);
    EXPECT_EQ(*result.before, before);
    EXPECT_FALSE(result.defaultChange);
    EXPECT_EQ(d.find(rect.id)->lineWidth, 10);
}

// The new kinds' choices on a selection: one undo step each, geometry kept whole.
TEST(StyleApplication, PenStepAndTextBoxChoicesApplyToTheirSelection) {
    EditorDocument d = EditorDocument::fresh(test::solidImage(200, 100));
    Annotation pen = test::makeAnnotation(AnnotationKind::pen, {});
    pen.markerPoints = {{10, 10}, {50, 40}};
    pen.rebuildDerivedRect();
    Annotation step = test::makeAnnotation(AnnotationKind::step, {40, 40, 20, 20});
    step.arrowEnd = QPointF(90, 50);
    Annotation text = test::makeAnnotation(AnnotationKind::text, {0, 0, 40, 20});
    d.add(pen);
    d.add(step);
    d.add(text);

    d.selectedAnnotationID = pen.id;
    ASSERT_TRUE(applyStyle(&d, {Choice::strokeWidth, {}, 10}, {}).before);
    EXPECT_EQ(d.find(pen.id)->lineWidth, 10);
    EXPECT_EQ(d.find(pen.id)->rect, QRectF(10, 10, 40, 30).adjusted(-6, -6, 6, 6)) << "the box follows the width";
    ASSERT_TRUE(applyStyle(&d, {Choice::annotationColor, choiceRed, 0}, {}).before);
    EXPECT_EQ(d.find(pen.id)->color, choiceRed);

    d.selectedAnnotationID = step.id;
    EXPECT_EQ(activeStyleKind(d), StyleKind::step);
    ASSERT_TRUE(applyStyle(&d, {Choice::stepSize, {}, 40}, {}).before);
    EXPECT_EQ(d.find(step.id)->rect, QRectF(30, 30, 40, 40)) << "resized around its centre";
    EXPECT_EQ(d.find(step.id)->arrowEnd, QPointF(90, 50));
    EXPECT_EQ(styleValues(d, StyleKind::step, {}).stepDiameter, 40);

    d.selectedAnnotationID = text.id;
    const TextBackground box{{0, 0, 0, 0.6}, 10, 12};
    ASSERT_TRUE(applyStyle(&d, {Choice::textBackground, {}, 0, box}, {}).before);
    EXPECT_EQ(d.find(text.id)->textBackground, box);
    EXPECT_EQ(styleValues(d, StyleKind::text, {}).textBackground, box);
    ASSERT_TRUE(applyStyle(&d, {Choice::textBackground, {}, 0, std::nullopt}, {}).before);
    EXPECT_FALSE(d.find(text.id)->textBackground);
    // A text box choice does not fit a step.
    d.selectedAnnotationID = step.id;
    EXPECT_FALSE(applyStyle(&d, {Choice::textBackground, {}, 0, box}, {}).before);
}

TEST(StyleApplication, AnEffectStrengthWithoutSelectionChangesNothing) {
    EditorDocument d = EditorDocument::fresh(test::solidImage(200, 100));
    d.selectedTool = AnnotationTool::blur;
    const StyleApplication result = applyStyle(&d, {Choice::effectIntensity, {}, 24}, StyleDefaults{});
    EXPECT_FALSE(result.before);
    EXPECT_FALSE(result.defaultChange);
}

} // namespace
