#include "editor_model/CanvasInteraction.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/TestHelpers.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace lumivane;
namespace ci = lumivane::CanvasInteraction;
using lumivane::test::makeAnnotation;
using lumivane::test::makeArrow;
using lumivane::test::makeMarker;

TEST(CanvasHitTest, TopmostWinsHandlesBeforeBodyWithKindRadii) {
    Annotation lower = makeAnnotation(AnnotationKind::rectangle, QRectF(0, 0, 100, 100));
    Annotation upper = makeAnnotation(AnnotationKind::rectangle, QRectF(50, 50, 100, 100));
    std::vector<Annotation> all{lower, upper};
    auto hit = ci::hitTest(all, QPointF(75, 75));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->annotation, upper.id);
    EXPECT_FALSE(hit->handle);

    // Within 8 of a corner grabs the handle; at 9 it is the body (grown by 10).
    hit = ci::hitTest(all, QPointF(158, 157));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->handle, AnnotationHandle::bottomRight);
    hit = ci::hitTest(all, QPointF(159, 140));
    ASSERT_TRUE(hit);
    EXPECT_FALSE(hit->handle);
    EXPECT_FALSE(ci::hitTest(all, QPointF(161, 140)));

    // Arrow ends take a 16-point square.
    Annotation arrow = makeArrow(QPointF(300, 300), QPointF(400, 300));
    hit = ci::hitTest(arrow, QPointF(415, 315));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->handle, AnnotationHandle::arrowEnd);
    hit = ci::hitTest(arrow, QPointF(350, 317)); // within max(3 × 4, 18) of the shaft
    ASSERT_TRUE(hit);
    EXPECT_FALSE(hit->handle);
    EXPECT_FALSE(ci::hitTest(arrow, QPointF(350, 319)));
}

TEST(CanvasHitTest, HandlesPerKindAndMarkerStroke) {
    EXPECT_EQ(ci::handles(AnnotationKind::highlight).size(), 8u);
    EXPECT_EQ(ci::handles(AnnotationKind::text),
              (std::vector<AnnotationHandle>{AnnotationHandle::midLeft, AnnotationHandle::midRight}));
    EXPECT_TRUE(ci::handles(AnnotationKind::marker).empty());
    EXPECT_EQ(ci::handles(AnnotationKind::spotlight).size(), 4u);

    Annotation marker = makeMarker({QPointF(0, 100), QPointF(200, 100)}, 18);
    const double threshold = MarkerMetrics(18).hitThreshold;
    EXPECT_TRUE(ci::hitTest(marker, QPointF(100, 100 + threshold - 0.01)));
    EXPECT_FALSE(ci::hitTest(marker, QPointF(100, 100 + threshold + 0.5)));
    Annotation dot = makeMarker({QPointF(10, 10)});
    EXPECT_FALSE(ci::hitTest(dot, QPointF(10, 10)));

    // A text box is as large as its text even when its stored rect is smaller.
    Annotation text = makeAnnotation(AnnotationKind::text, QRectF(0, 0, 10, 10));
    text.text = "A rather long line of text";
    const QSizeF size = TextAnnotationLayout::displaySize(text.text, text.fontSize);
    EXPECT_GE(ci::interactiveRect(text).width(), size.width());
    EXPECT_TRUE(ci::hitTest(text, QPointF(size.width() - 5, 5)));
}

TEST(CanvasResize, OppositeEdgesStayAndSidesKeep24) {
    const QRectF r(100, 100, 200, 100);
    EXPECT_EQ(ci::resizedRect(r, AnnotationHandle::topLeft, QPointF(500, 500)), QRectF(276, 176, 24, 24));
    EXPECT_EQ(ci::resizedRect(r, AnnotationHandle::topLeft, QPointF(50, 60)), QRectF(50, 60, 250, 140));
    EXPECT_EQ(ci::resizedRect(r, AnnotationHandle::bottomRight, QPointF(0, 0)), QRectF(100, 100, 24, 24));
    EXPECT_EQ(ci::resizedRect(r, AnnotationHandle::midRight, QPointF(400, 999)), QRectF(100, 100, 300, 100));
    EXPECT_EQ(ci::resizedRect(r, AnnotationHandle::top, QPointF(0, 20)), QRectF(100, 20, 200, 180));
    EXPECT_EQ(ci::resizedRect(r, AnnotationHandle::bottomLeft, QPointF(290, 110)), QRectF(276, 100, 24, 24));
    EXPECT_EQ(ci::resizedRect(r, AnnotationHandle::arrowEnd, QPointF(0, 0)), r);
}

TEST(CanvasMapping, ScaledDisplayScaleAndLayout) {
    const QRectF view(100, 28, 400, 200), image(0, 0, 800, 400);
    EXPECT_EQ(ci::scaled(QPointF(300, 128), view, image), QPointF(400, 200));
    EXPECT_EQ(ci::scaled(QPointF(5, 6), QRectF(0, 0, 0, 10), image), QPointF(5, 6));
    EXPECT_DOUBLE_EQ(ci::markerDisplayScale(view, QSizeF(800, 400)), 0.5);
    EXPECT_DOUBLE_EQ(ci::markerDisplayScale(view, QSizeF()), 1.0);

    // Wide image: min of both axes; centred, 28 from the top.
    auto l = ci::layout(QSizeF(1000, 500), {}, QSizeF(1090, 1056), 1.0);
    EXPECT_DOUBLE_EQ(l.fitScale, 1.0);
    EXPECT_EQ(l.imageRect, QRectF(45, 28, 1000, 500));
    EXPECT_EQ(l.frameSize, QSizeF(1090, 556));
    // Tall image fits the width and scrolls.
    l = ci::layout(QSizeF(500, 2000), {}, QSizeF(590, 656), 2.0);
    EXPECT_DOUBLE_EQ(l.fitScale, 1.0);
    EXPECT_EQ(l.frameSize, QSizeF(1090, 4056));
    // The background padding is part of the content.
    CanvasBackgroundStyle bg;
    bg.isEnabled = true;
    bg.padding = 50;
    l = ci::layout(QSizeF(900, 400), bg, QSizeF(1090, 556), 1.0);
    EXPECT_DOUBLE_EQ(l.fitScale, 1.0);
    EXPECT_EQ(l.imageRect, QRectF(95, 78, 900, 400));
    // Small containers still offer 200 points.
    l = ci::layout(QSizeF(100, 100), {}, QSizeF(50, 50), 1.0);
    EXPECT_DOUBLE_EQ(l.fitScale, 2.0);
}

TEST(CanvasMarkerWidth, FollowsTextLineHeight) {
    QImage page(600, 400, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        p.fillRect(QRect(100, 100, 300, 20), Qt::black); // a 20-pixel "line of text"
        p.fillRect(QRect(100, 200, 300, 4), Qt::black);  // too thin to count
    }
    const double onLine = ci::estimateMarkerLineWidth(page, QPointF(200, 110));
    EXPECT_GE(onLine, 18);
    EXPECT_LE(onLine, 22);
    // Nearest run when the pointer is between lines.
    EXPECT_NEAR(ci::estimateMarkerLineWidth(page, QPointF(200, 130)), onLine, 0.01);
    EXPECT_DOUBLE_EQ(ci::estimateMarkerLineWidth(page, QPointF(500, 202)), 8.5);
    QImage blank(50, 50, QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_DOUBLE_EQ(ci::estimateMarkerLineWidth(blank, QPointF(25, 25)), 8.5);
    QImage tall(600, 400, QImage::Format_RGB32);
    tall.fill(Qt::white);
    QPainter(&tall).fillRect(QRect(0, 50, 600, 200), Qt::black);
    EXPECT_DOUBLE_EQ(ci::estimateMarkerLineWidth(tall, QPointF(300, 150)), 52);
}

TEST(CanvasCreation, DefaultsAndTextSizing) {
    Annotation blur = ci::newAnnotation(AnnotationKind::blur, QRectF(10, 10, -5, -5), RgbaColor::accent(), 4);
    EXPECT_EQ(blur.rect, QRectF(5, 5, 5, 5));
    EXPECT_EQ(blur.lineWidth, 0);
    EXPECT_EQ(blur.effectIntensity, 16);
    EXPECT_EQ(ci::newAnnotation(AnnotationKind::arrow, {}, {}, 6).lineWidth, 6);
    EXPECT_EQ(ci::newAnnotation(AnnotationKind::spotlight, {}, {}, 6).effectIntensity, 0.52);
    EXPECT_EQ(ci::newAnnotation(AnnotationKind::pixelate, {}, {}, 6).effectIntensity, 18);
    EXPECT_TRUE(ci::newAnnotation(AnnotationKind::text, {}, {}, 6).text.isEmpty());
    EXPECT_EQ(ci::newAnnotation(AnnotationKind::rectangle, {}, {}, 6).text, "Text");

    EXPECT_DOUBLE_EQ(ci::newTextFontSize(32, 0.5), 64);
    EXPECT_DOUBLE_EQ(ci::newTextFontSize(32, 0.0005), 32);
    const QRectF r = ci::newTextRect(QRectF(50, 60, 10, 3), 20);
    EXPECT_EQ(r.topLeft(), QPointF(50, 60));
    EXPECT_EQ(r.width(), 80);
    EXPECT_GE(r.height(), 36);
    EXPECT_EQ(ci::arrowRect(QPointF(10, 10), QPointF(20, 0), 2), QRectF(-2, -12, 34, 34));
    EXPECT_EQ(ci::arrowRect(QPointF(0, 0), QPointF(10, 0), 10), QRectF(-35, -35, 80, 70));
    EXPECT_DOUBLE_EQ(ci::markerPointSpacing(18, 1), 2.88);
    EXPECT_DOUBLE_EQ(ci::markerPointSpacing(52, 2), 8);
    EXPECT_DOUBLE_EQ(ci::markerPointSpacing(8.5, 1), 2.6);

    Annotation a = makeAnnotation(AnnotationKind::pixelate, QRectF(1, 2, 3.5, 4));
    a.id = QUuid("{11111111-2222-3333-4444-555555555555}");
    a.effectIntensity = 18;
    EXPECT_EQ(ci::effectPreviewIdentity(a),
              "11111111-2222-3333-4444-555555555555:pixelate:1.000:2.000:3.500:4.000:18.000");
}
