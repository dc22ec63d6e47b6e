// Pens and numbered steps: geometry through every image operation, numbering.
#include "TestHelpers.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/CanvasInteraction.h"
#include "editor_model/EditorOperations.h"
#include "editor_model/PenStroke.h"
#include "editor_model/StepMarkers.h"

#include <QLineF>
#include <functional>
#include <gtest/gtest.h>

using namespace lumivane;
using namespace lumivane::test;

namespace {

Annotation penStroke(std::vector<QPointF> points, double width = 6) {
    Annotation a = makeAnnotation(AnnotationKind::pen, {});
    a.lineWidth = width;
    a.markerPoints = std::move(points);
    a.rebuildDerivedRect();
    return a;
}

Annotation stepAt(QPointF center, double diameter = 30, std::optional<QPointF> tail = std::nullopt) {
    Annotation a = makeAnnotation(AnnotationKind::step, StepMarker::circleRect(center, diameter));
    a.arrowEnd = tail;
    return a;
}

std::vector<QString> stepNumbers(const std::vector<Annotation>& annotations) {
    std::vector<QString> out;
    for (const Annotation& a : annotations)
        if (a.kind == AnnotationKind::step)
            out.push_back(a.text);
    return out;
}

// One image operation: what it does to the document, and to a point of the image.
struct Operation {
    const char* name;
    std::function<bool(EditorDocument&, EditorHistory&)> run;
    std::function<QPointF(QPointF)> mapPoint;
    double scale = 1;
};

const QSizeF kImageSize(200, 100);

std::vector<Operation> operations() {
    using D = ImageRotationDirection;
    return {
        {"rotate clockwise",
         [](EditorDocument& d, EditorHistory& h) { return EditorOperations::rotateEditorImage(&d, h, D::clockwise); },
         [](QPointF p) { return transformedPoint(p, kImageSize, D::clockwise); }},
        {"rotate counter-clockwise",
         [](EditorDocument& d, EditorHistory& h) {
             return EditorOperations::rotateEditorImage(&d, h, D::counterClockwise);
         },
         [](QPointF p) { return transformedPoint(p, kImageSize, D::counterClockwise); }},
        {"flip horizontally",
         [](EditorDocument& d, EditorHistory& h) { return EditorOperations::flipEditorImage(&d, h, true); },
         [](QPointF p) { return transformedPointForFlip(p, kImageSize, true); }},
        {"flip vertically",
         [](EditorDocument& d, EditorHistory& h) { return EditorOperations::flipEditorImage(&d, h, false); },
         [](QPointF p) { return transformedPointForFlip(p, kImageSize, false); }},
        {"resize 50%",
         [](EditorDocument& d, EditorHistory& h) { return EditorOperations::resizeEditorImage(&d, h, 0.5); },
         [](QPointF p) { return p * 0.5; }, 0.5},
        {"resize 200%",
         [](EditorDocument& d, EditorHistory& h) { return EditorOperations::resizeEditorImage(&d, h, 2); },
         [](QPointF p) { return p * 2; }, 2},
        {"crop",
         [](EditorDocument& d, EditorHistory& h) {
             d.cropRect = QRectF(10, 5, 180, 90);
             return EditorOperations::applyCropToEditorDocument(&d, h);
         },
         [](QPointF p) { return p - QPointF(10, 5); }},
    };
}

void expectNear(QPointF actual, QPointF expected, const char* what) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << what;
}

TEST(NewKindsGeometry, PenAndStepFollowTheirContentThroughEveryOperation) {
    const std::vector<QPointF> points{{20, 20}, {60, 35}, {90, 30}, {150, 70}};
    for (const Operation& op : operations()) {
        EditorDocument d = EditorDocument::fresh(solidImage(int(kImageSize.width()), int(kImageSize.height())));
        EditorHistory h;
        d.add(penStroke(points));
        d.add(stepAt({100, 50}, 30, QPointF(170, 80)));
        ASSERT_TRUE(op.run(d, h)) << op.name;
        ASSERT_EQ(d.annotations.size(), 2u) << op.name;
        const Annotation& pen = d.annotations[0];
        ASSERT_EQ(pen.markerPoints.size(), points.size()) << op.name;
        for (size_t i = 0; i < points.size(); ++i)
            expectNear(pen.markerPoints[i], op.mapPoint(points[i]), op.name);
        // The pen's rectangle is its points' box grown by the stroke, whatever happened.
        const QRectF box = *markerBounds(pen.markerPoints);
        const double pad = penPadding(pen.lineWidth);
        EXPECT_EQ(pen.rect, box.adjusted(-pad, -pad, pad, pad)) << op.name;
        EXPECT_DOUBLE_EQ(pen.lineWidth, 6 * op.scale) << op.name;

        const Annotation& step = d.annotations[1];
        expectNear(step.rect.center(), op.mapPoint({100, 50}), op.name);
        EXPECT_NEAR(step.rect.width(), 30 * op.scale, 1e-9) << op.name;
        EXPECT_NEAR(step.rect.height(), step.rect.width(), 1e-9) << op.name << ": the circle stays round";
        ASSERT_TRUE(step.arrowEnd) << op.name;
        expectNear(*step.arrowEnd, op.mapPoint({170, 80}), op.name);
        EXPECT_EQ(step.text, "1") << op.name;
        // Hits stay on the drawn content.
        EXPECT_TRUE(CanvasInteraction::hitTest(pen, op.mapPoint(points[1]))) << op.name;
        EXPECT_TRUE(CanvasInteraction::hitTest(step, step.rect.center())) << op.name;
    }
}

TEST(NewKindsGeometry, MovingKeepsShapeAndTail) {
    Annotation pen = penStroke({{0, 0}, {10, 5}, {20, 0}}).translated({5, 7});
    EXPECT_EQ(pen.markerPoints.front(), QPointF(5, 7));
    EXPECT_EQ(pen.rect, markerBounds(pen.markerPoints)->adjusted(-4, -4, 4, 4));
    Annotation step = stepAt({50, 50}, 20, QPointF(90, 50)).translated({-10, 10});
    EXPECT_EQ(step.rect.center(), QPointF(40, 60));
    EXPECT_EQ(*step.arrowEnd, QPointF(80, 60));
}

TEST(NewKindsGeometry, PenHitsAlongTheStrokeOnly) {
    const Annotation pen = penStroke({{0, 0}, {100, 0}, {100, 100}}, 4);
    EXPECT_TRUE(CanvasInteraction::hitTest(pen, {50, 3}));
    EXPECT_TRUE(CanvasInteraction::hitTest(pen, {103, 60}));
    EXPECT_FALSE(CanvasInteraction::hitTest(pen, {50, 50})) << "inside the stroke's box, off the stroke";
    EXPECT_TRUE(CanvasInteraction::handles(AnnotationKind::pen).empty());
}

TEST(NewKindsGeometry, StepHitsOnCircleAndTail) {
    const Annotation step = stepAt({50, 50}, 30, QPointF(150, 50));
    EXPECT_TRUE(CanvasInteraction::hitTest(step, {60, 55}));
    EXPECT_TRUE(CanvasInteraction::hitTest(step, {120, 50})) << "on the tail";
    EXPECT_FALSE(CanvasInteraction::hitTest(step, {120, 80}));
    EXPECT_FALSE(StepMarker::tailTip(step.rect, {55, 50})) << "a tip inside the circle is no tail";
    EXPECT_TRUE(StepMarker::tailPath(step.rect, {55, 50}).isEmpty());
}

TEST(PenStroke, ThinningAndSmoothing) {
    EXPECT_EQ(thinnedPenPoints({{0, 0}, {5, 0}}, 10).size(), 2u) << "two points stay";
    const auto thinned = thinnedPenPoints({{0, 0}, {1, 0}, {2, 0}, {12, 0}, {13, 0}, {30, 0}}, 5);
    EXPECT_EQ(thinned, (std::vector<QPointF>{{0, 0}, {12, 0}, {30, 0}}));
    EXPECT_EQ(thinnedPenPoints({{0, 0}, {20, 0}, {21, 0}}, 5), (std::vector<QPointF>{{0, 0}, {21, 0}}))
        << "the last point replaces one too close before it";
    EXPECT_TRUE(smoothedPenPath({}).isEmpty());
    // The curve passes through both ends and stays inside the points' hull.
    const QPainterPath path = smoothedPenPath({{0, 0}, {50, 50}, {100, 0}});
    EXPECT_EQ(path.pointAtPercent(0), QPointF(0, 0));
    EXPECT_EQ(path.pointAtPercent(1), QPointF(100, 0));
    EXPECT_NEAR(path.pointAtPercent(0.5).y(), 25, 1) << "a quadratic curve through the midpoints";
}

TEST(StepNumbers, AddDeleteUndoAndCropRenumber) {
    EditorDocument d = EditorDocument::fresh(solidImage(200, 100));
    EditorHistory h;
    std::vector<QUuid> ids;
    for (int i = 0; i < 4; ++i) {
        const EditorSnapshot before = d.snapshot();
        Annotation s = stepAt({20.0 + 40 * i, 50});
        ids.push_back(s.id);
        d.add(s);
        if (i == 1)
            d.add(makeAnnotation(AnnotationKind::rectangle, {0, 0, 10, 10})); // other kinds keep their text
        EditorOperations::commitEditorChange(&d, h, before);
    }
    EXPECT_EQ(stepNumbers(d.annotations), (std::vector<QString>{"1", "2", "3", "4"}));
    EXPECT_EQ(nextStepNumber(d.annotations), 5);

    const EditorSnapshot before = d.snapshot();
    d.remove(ids[1]);
    EditorOperations::commitEditorChange(&d, h, before);
    EXPECT_EQ(stepNumbers(d.annotations), (std::vector<QString>{"1", "2", "3"}));
    EXPECT_EQ(d.find(ids[3])->text, "3");
    ASSERT_TRUE(EditorOperations::undoEditorChange(&d, h, false));
    EXPECT_EQ(d.find(ids[1])->text, "2");
    EXPECT_EQ(d.find(ids[3])->text, "4");
    EXPECT_EQ(d.annotations[2].text, "Text");

    // A crop that drops the first two steps leaves 1 and 2.
    d.cropRect = QRectF(90, 0, 110, 100);
    ASSERT_TRUE(EditorOperations::applyCropToEditorDocument(&d, h));
    EXPECT_EQ(stepNumbers(d.annotations), (std::vector<QString>{"1", "2"}));
}

TEST(StepNumbers, OrderChangesSwapWithTheNeighbouringStep) {
    std::vector<Annotation> list{stepAt({10, 10}), makeAnnotation(AnnotationKind::text, {}), stepAt({20, 20}),
                                 stepAt({30, 30})};
    renumberSteps(list);
    const QUuid second = list[2].id, third = list[3].id;
    struct Case {
        QUuid id;
        int direction;
        bool moves;
        std::vector<QUuid> stepsAfter;
    };
    const QUuid first = list[0].id;
    const Case cases[] = {
        {first, -1, false, {first, second, third}},      {third, +1, false, {first, second, third}},
        {second, -1, true, {second, first, third}},      {second, +1, true, {first, third, second}},
        {list[1].id, +1, false, {first, second, third}}, // not a step
    };
    for (const Case& c : cases) {
        std::vector<Annotation> l = list;
        EXPECT_EQ(moveStep(l, c.id, c.direction), c.moves);
        std::vector<QUuid> steps;
        for (const Annotation& a : l)
            if (a.kind == AnnotationKind::step)
                steps.push_back(a.id);
        EXPECT_EQ(steps, c.stepsAfter);
        EXPECT_EQ(stepNumbers(l), (std::vector<QString>{"1", "2", "3"}));
        EXPECT_EQ(l[1].kind, AnnotationKind::text) << "other annotations keep their place";
    }
}

} // namespace
