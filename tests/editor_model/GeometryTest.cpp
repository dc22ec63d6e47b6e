#include "TestHelpers.h"
#include "editor_model/AnnotationGeometry.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace lumivane;
using namespace lumivane::test;

TEST(RotationGeometry, PointExamplesAndFourTurnsReturn) {
    const QSizeF size(100, 50);
    EXPECT_EQ(transformedPoint({10, 20}, size, ImageRotationDirection::counterClockwise), QPointF(20, 90));
    EXPECT_EQ(transformedPoint({10, 20}, size, ImageRotationDirection::clockwise), QPointF(30, 10));

    const QRectF r(10, 5, 30, 20);
    for (auto dir : {ImageRotationDirection::clockwise, ImageRotationDirection::counterClockwise}) {
        QRectF x = r;
        QSizeF s = size;
        for (int i = 0; i < 4; ++i) {
            x = transformedRect(x, s, dir);
            s = s.transposed();
        }
        EXPECT_EQ(x, r);
    }
    EXPECT_EQ(transformedRect(QRectF(3, 4, 0, 0), size, ImageRotationDirection::clockwise).size(), QSizeF(1, 1));
    EXPECT_EQ(transformedRectForFlip(QRectF(3, 4, 0, 0), size, true).size(), QSizeF(1, 1));
    EXPECT_EQ(transformedRectForFlip(QRectF(10, 5, 30, 20), size, true), QRectF(60, 5, 30, 20));
    EXPECT_EQ(transformedRectForFlip(QRectF(10, 5, 30, 20), size, false), QRectF(10, 25, 30, 20));
}

TEST(RotationGeometry, AnnotationsFollowAndRebuildTheirRects) {
    const QSizeF size(100, 50);
    Annotation arrow = makeArrow({10, 20}, {40, 20});
    arrow.rect = QRectF(0, 0, 60, 40); // drawn box with head room
    const Annotation r = arrow.rotated(size, ImageRotationDirection::counterClockwise);
    EXPECT_EQ(*r.arrowStart, QPointF(20, 90));
    EXPECT_EQ(*r.arrowEnd, QPointF(20, 60));
    EXPECT_EQ(r.rect, QRectF(20, 60, 1, 30)); // tight box, sides at least 1
    EXPECT_EQ(r.id, arrow.id);

    Annotation marker = makeMarker({{10, 10}, {30, 12}, {50, 20}});
    Annotation m = marker;
    QSizeF s = size;
    for (int i = 0; i < 4; ++i) {
        m = m.rotated(s, ImageRotationDirection::clockwise);
        s = s.transposed();
        const double pad = MarkerMetrics(m.lineWidth).visualPadding;
        EXPECT_EQ(m.rect, markerBounds(m.markerPoints)->adjusted(-pad, -pad, pad, pad));
    }
    EXPECT_EQ(m.markerPoints, marker.markerPoints);
    EXPECT_EQ(m.rect, marker.rect);

    const Annotation f = marker.flipped(size, true);
    EXPECT_EQ(f.markerPoints[0], QPointF(90, 10));
}

TEST(CropGeometry, DropsOutsideKeepsPartialUnclipped) {
    const Annotation inside = makeAnnotation(AnnotationKind::rectangle, QRectF(50, 50, 20, 20));
    const Annotation outside = makeAnnotation(AnnotationKind::rectangle, QRectF(0, 0, 10, 10));
    const QRectF crop(60, 40, -20, 50); // standardised to (40, 40, 20, 50)
    auto kept = inside.translatedForAppliedCrop(crop);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->rect, QRectF(10, 10, 20, 20));
    EXPECT_FALSE(outside.translatedForAppliedCrop(crop));

    const Annotation arrow = makeArrow({45, 45}, {100, 100});
    auto movedArrow = arrow.translatedForAppliedCrop(crop);
    ASSERT_TRUE(movedArrow);
    EXPECT_EQ(*movedArrow->arrowEnd, QPointF(60, 60));
    EXPECT_EQ(movedArrow->rect, QRectF(5, 5, 55, 55));
}

TEST(MarkerGeometry, MetricsClampAndKnownValues) {
    for (double w : {1.0, 8.5}) {
        EXPECT_DOUBLE_EQ(MarkerMetrics(w).visualPadding, MarkerMetrics(8.5).visualPadding);
        EXPECT_DOUBLE_EQ(MarkerMetrics(w).hitThreshold, MarkerMetrics(8.5).hitThreshold);
    }
    EXPECT_DOUBLE_EQ(MarkerMetrics(200).visualWidth, MarkerMetrics(52).visualWidth);
    EXPECT_DOUBLE_EQ(MarkerMetrics(18).visualWidth, 18 * 0.98);
    EXPECT_DOUBLE_EQ(MarkerMetrics(40).visualWidth, 40 * 1.22);
    EXPECT_DOUBLE_EQ(MarkerMetrics(8.5).visualPadding, 10); // 0.9 × 8.33 < 10
    EXPECT_DOUBLE_EQ(MarkerMetrics(40).visualPadding, 0.9 * 48.8);
    EXPECT_DOUBLE_EQ(MarkerMetrics(52).hitThreshold, 52 * 1.22 * 0.52);
    EXPECT_DOUBLE_EQ(MarkerMetrics(8.5).hitThreshold, std::max(8.5 * 0.98 * 0.34, 5.5));
}

TEST(MarkerGeometry, RefinementRules) {
    const std::vector<QPointF> two{{0, 0}, {100, 100}};
    EXPECT_EQ(refinedMarkerPoints(two, 18), two);
    // Width 18: v = 17.64, spacing 3.35; everything within spacing of the first point.
    const std::vector<QPointF> close{{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    EXPECT_EQ(refinedMarkerPoints(close, 18), (std::vector<QPointF>{{0, 0}, {3, 0}}));
    const std::vector<QPointF> tiny{{0, 0}, {0.1, 0}, {0.3, 0}};
    EXPECT_EQ(refinedMarkerPoints(tiny, 18), (std::vector<QPointF>{{0, 0}}));
    // Straight run: interior points dropped; a corner is kept.
    const std::vector<QPointF> line{{0, 0}, {10, 0}, {20, 0}, {30, 0}, {30, 20}};
    EXPECT_EQ(refinedMarkerPoints(line, 18), (std::vector<QPointF>{{0, 0}, {30, 0}, {30, 20}}));
}

TEST(MarkerGeometry, StampCentersAndPath) {
    EXPECT_TRUE(markerStampCenters({}, 2).empty());
    EXPECT_EQ(markerStampCenters({{5, 5}}, 2), (std::vector<QPointF>{{5, 5}}));
    const auto c = markerStampCenters({{0, 0}, {5, 0}, {5, 0}, {10, 0}}, 2);
    // 0, 2, 4 on the first segment (carry 1), then 6, 8, and the end point.
    const std::vector<QPointF> expected{{0, 0}, {2, 0}, {4, 0}, {6, 0}, {8, 0}, {10, 0}};
    ASSERT_EQ(c.size(), expected.size());
    for (size_t i = 0; i < c.size(); ++i)
        EXPECT_NEAR(QLineF(c[i], expected[i]).length(), 0, 1e-9);

    const auto stamp = MarkerChiselPath::stampSize(18);
    EXPECT_DOUBLE_EQ(stamp.width, 0.4 * 17.64);
    EXPECT_DOUBLE_EQ(stamp.height, 17.64 * 1.15);
    const QPainterPath path = MarkerChiselPath::stampPath({{10, 10}, {40, 10}}, 18);
    EXPECT_TRUE(path.contains(QPointF(25, 10)));
    EXPECT_TRUE(path.contains(QPointF(25, 10 + stamp.height / 2 - 1)));
    EXPECT_FALSE(path.contains(QPointF(25, 10 + stamp.height / 2 + 1)));
}

TEST(ArrowGeometryTest, OutlineValues) {
    const ArrowGeometry g({0, 0}, {100, 0}, 4);
    // hl = max(16, min(45, 17.6)) = 17.6; hw = max(11.2, 7.392) = 11.2; tw = 1.4; bw = 4.
    EXPECT_EQ(g.tip, QPointF(100, 0));
    EXPECT_NEAR(g.headLeft.x(), 82.4, 1e-9);
    EXPECT_NEAR(g.headLeft.y(), 5.6, 1e-9);
    EXPECT_NEAR(g.tailLeft.y(), 0.7, 1e-9);
    EXPECT_NEAR(g.shaftRight.y(), -2, 1e-9);
    const ArrowGeometry zero({5, 5}, {5, 5}, 2);
    for (QPointF p : {zero.tailLeft, zero.headLeft, zero.headRight, zero.shaftLeft})
        EXPECT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y()));
}

TEST(TextLayout, DisplaySizeRulesAndCacheKey) {
    EXPECT_EQ(TextAnnotationLayout::cacheKey(24, "ab"), "24.0::ab");
    EXPECT_EQ(TextAnnotationLayout::cacheKey(4, "ab"), "10.0::ab");
    EXPECT_EQ(TextAnnotationLayout::cacheKey(12.5, "x"), "12.5::x");
    EXPECT_EQ(TextAnnotationLayout::displaySize("Hello", 5), TextAnnotationLayout::displaySize("Hello", 10));
    const QSizeF empty = TextAnnotationLayout::displaySize("", 24);
    EXPECT_EQ(empty.width(), 12);
    const QFontMetricsF fm = TextAnnotationLayout::metrics(TextAnnotationLayout::font(24));
    EXPECT_EQ(empty.height(), std::ceil(fm.ascent() + fm.descent() + 8));
    const QSizeF one = TextAnnotationLayout::displaySize("日本語テキスト", 24);
    const QSizeF two = TextAnnotationLayout::displaySize("日本語テキスト\n二行目", 24);
    EXPECT_GT(one.width(), 24 * 4);
    EXPECT_EQ(two.width(), one.width());
    EXPECT_NEAR(two.height() - one.height(), fm.lineSpacing() + 2, 1.01);
}
