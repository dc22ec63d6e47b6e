#include "TestHelpers.h"
#include "editor/AnnotationEffects.h"
#include "editor/EditorRenderer.h"
#include "editor_model/DocumentLimits.h"
#include "editor_model/StepMarkers.h"

#include <QRandomGenerator>
#include <QSet>
#include <QtConcurrent/QtConcurrent>
#include <gtest/gtest.h>

using namespace lumivane;
using namespace lumivane::test;

namespace {

QImage argb(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage rendered(const EditorDocument& d) {
    const auto image = EditorRenderer::render(d);
    EXPECT_TRUE(image);
    return image ? argb(*image) : QImage();
}

Annotation colored(AnnotationKind kind, QRectF rect, RgbaColor color) {
    Annotation a = makeAnnotation(kind, rect);
    a.color = color;
    return a;
}

ImageRef checkerboard(int w, int h, int cell = 2) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, ((x / cell + y / cell) % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return makeImage(image);
}

bool outsideEqual(const QImage& a, const QImage& b, const QRect& box) {
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!box.contains(x, y) && a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

constexpr RgbaColor blue{0, 0, 1, 1};
constexpr RgbaColor red{1, 0, 0, 1};

} // namespace

TEST(Renderer, PlainDocumentCopiesTheBaseImageExactly) {
    QImage base(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            base.setPixel(x, y, qRgba(x * 6, y * 8, 77, 255));
    base.setPixel(0, 0, qRgba(0, 0, 0, 0));
    base.setPixel(1, 0, qRgba(0, 0, 0, 128));
    const QImage out = rendered(EditorDocument::fresh(makeImage(base)));
    ASSERT_EQ(out.size(), base.size());
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 0) << "transparent pixels are copied, not blended with white";
    EXPECT_EQ(qAlpha(out.pixel(1, 0)), 128);
    EXPECT_TRUE(outsideEqual(out, base, QRect(0, 0, 2, 1)));
    EXPECT_FALSE(EditorRenderer::render(EditorDocument{}));
}

TEST(Renderer, BackgroundAddsPaddingRoundsCornersAndCastsShadowDownwards) {
    EditorDocument d = EditorDocument::fresh(solidImage(200, 120, Qt::red));
    d.backgroundStyle.isEnabled = true;
    // An annotation reaching past the image is cut at the rounded edge.
    d.annotations = {colored(AnnotationKind::highlight, {-50, -50, 300, 300}, blue)};
    const QImage out = rendered(d);
    const int p = 36;
    ASSERT_EQ(out.size(), QSize(200 + 2 * p, 120 + 2 * p));
    const QRgb ground = qRgb(245, 247, 252);
    EXPECT_EQ(out.pixel(2, 2), ground);
    EXPECT_EQ(out.pixel(p + 100, p + 60), qRgb(0, 0, 255));
    EXPECT_EQ(out.pixel(p + 100, p + 1), qRgb(0, 0, 255));
    // Inside the 24-point corner arc nothing of the image or annotation shows.
    const QRgb corner = out.pixel(p + 1, p + 1);
    EXPECT_LT(qBlue(corner), 253);
    EXPECT_GT(qRed(corner), 200);
    // Shadow: offset 10 downwards, so it is darker below the image than above it.
    const int below = qRed(out.pixel(p + 100, p + 120 + 6)), above = qRed(out.pixel(p + 100, p - 6));
    EXPECT_LT(below, above);
    EXPECT_LT(below, 240);
    EXPECT_EQ(out.pixel(p + 100, 1), ground);
}

TEST(Renderer, PendingCropRendersOnlyItsRegionWithShiftedAnnotations) {
    QImage base(100, 50, QImage::Format_RGB32);
    base.fill(Qt::red);
    for (int y = 0; y < 50; ++y)
        for (int x = 50; x < 100; ++x)
            base.setPixel(x, y, qRgb(0, 255, 0));
    EditorDocument d = EditorDocument::fresh(makeImage(base));
    d.cropRect = QRectF(50, 0, 50, 50);
    d.annotations = {colored(AnnotationKind::highlight, {60, 10, 10, 10}, blue)};
    const QImage out = rendered(d);
    ASSERT_EQ(out.size(), QSize(50, 50));
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(out.pixel(15, 15), qRgb(0, 0, 255));
    EXPECT_EQ(out.pixel(25, 15), qRgb(0, 255, 0));
}

TEST(Renderer, SpotlightDimsOutsideItsHoleWithClampedOpacity) {
    auto dimmedValue = [](double intensity) {
        EditorDocument d = EditorDocument::fresh(solidImage(100, 100, Qt::white));
        Annotation s = makeAnnotation(AnnotationKind::spotlight, {30, 30, 40, 40});
        s.effectIntensity = intensity;
        d.annotations = {s};
        const QImage out = rendered(d);
        EXPECT_EQ(out.pixel(50, 50), qRgb(255, 255, 255));
        const int dimmed = qRed(out.pixel(5, 5));
        // The hole's edge carries a white outline at 0.7 over the dimmed ground.
        EXPECT_NEAR(qRed(out.pixel(29, 50)), 0.7 * 255 + 0.3 * dimmed, 3);
        return dimmed;
    };
    EXPECT_NEAR(dimmedValue(0), 255 * 0.82, 1.5);
    EXPECT_NEAR(dimmedValue(1), 255 * 0.18, 1.5);
    EXPECT_NEAR(dimmedValue(0.5), 255 * 0.5, 1.5);

    // Two spotlights: each hole is dimmed by the other; outside both, twice.
    EditorDocument d = EditorDocument::fresh(solidImage(100, 100, Qt::white));
    Annotation a = makeAnnotation(AnnotationKind::spotlight, {10, 10, 20, 20});
    Annotation b = makeAnnotation(AnnotationKind::spotlight, {60, 60, 20, 20});
    a.effectIntensity = b.effectIntensity = 0.5;
    d.annotations = {a, b};
    const QImage out = rendered(d);
    EXPECT_NEAR(qRed(out.pixel(45, 5)), 255 * 0.25, 1.5);
    EXPECT_NEAR(qRed(out.pixel(20, 20)), 255 * 0.5, 1.5);
    EXPECT_NEAR(qRed(out.pixel(70, 70)), 255 * 0.5, 1.5);
}

TEST(Renderer, MarkerMultipliesInkIntoWhatLiesBeneath) {
    QImage base(100, 40, QImage::Format_RGB32);
    base.fill(qRgb(128, 128, 128));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            base.setPixel(x, y, qRgb(0, 0, 0));
    EditorDocument d = EditorDocument::fresh(makeImage(base));
    Annotation m = makeMarker({{5, 20}, {95, 20}}, 18);
    m.color = {1, 0.8, 0, 0.34};
    d.annotations = {m};
    const QImage out = rendered(d);
    EXPECT_LE(qRed(out.pixel(25, 20)), 1) << "black stays black under multiply";
    const QRgb gray = out.pixel(75, 20);
    EXPECT_NEAR(qRed(gray), 128, 2);         // ink red 1.0 keeps red
    EXPECT_NEAR(qBlue(gray), 128 * 0.66, 3); // ink blue 0 darkens by its alpha
    EXPECT_EQ(out.pixel(75, 2), qRgb(128, 128, 128));
}

TEST(Renderer, BlurChangesOnlyItsBoxSamplesTheBaseAndClampsEdges) {
    const ImageRef board = checkerboard(200, 160);
    EditorDocument d = EditorDocument::fresh(board);
    Annotation stroke = colored(AnnotationKind::rectangle, {60, 60, 20, 20}, red);
    Annotation blur = makeAnnotation(AnnotationKind::blur, {50, 50, 60, 40});
    blur.effectIntensity = 1; // raised to 4
    Annotation edge = makeAnnotation(AnnotationKind::blur, {0, 0, 30, 30});
    edge.effectIntensity = 16;
    d.annotations = {stroke, blur, edge};
    const QImage out = rendered(d);
    const QImage base = argb(*board);

    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            if (QRect(50, 50, 60, 40).contains(x, y) || QRect(0, 0, 30, 30).contains(x, y))
                continue;
            ASSERT_EQ(out.pixel(x, y), base.pixel(x, y)) << x << "," << y;
        }
    for (int y = 52; y < 88; ++y)
        for (int x = 52; x < 108; ++x) {
            const QRgb px = out.pixel(x, y);
            ASSERT_NEAR(qRed(px), 128, 20) << "blurred to grey at " << x << "," << y;
            ASSERT_LE(std::abs(qRed(px) - qGreen(px)), 2) << "the red stroke beneath is hidden";
        }
    // Clamped edges: the corner keeps full opacity and the image's mean, no fade to black.
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 255);
    EXPECT_NEAR(qRed(out.pixel(0, 0)), 128, 20);
    EXPECT_NEAR(qRed(out.pixel(29, 29)), 128, 20);
}

TEST(Renderer, PixelateUsesCellsOfAtLeastTenAndItsOwnGrid) {
    QImage base(120, 120, QImage::Format_RGB32);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x)
            base.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * 5) % 256, (y * 7) % 256));
    EditorDocument d = EditorDocument::fresh(makeImage(base));
    Annotation pix = makeAnnotation(AnnotationKind::pixelate, {20, 20, 60, 60});
    pix.effectIntensity = 3; // raised to 10
    d.annotations = {pix};
    const QImage out = rendered(d);
    QSet<QRgb> colors;
    int changesInRow = 0;
    for (int y = 20; y < 80; ++y)
        for (int x = 20; x < 80; ++x)
            colors.insert(out.pixel(x, y));
    for (int x = 21; x < 80; ++x)
        changesInRow += out.pixel(x, 50) != out.pixel(x - 1, 50);
    EXPECT_GT(colors.size(), 20);
    EXPECT_LE(colors.size(), 49); // at most 7 × 7 cells of 10 px over 60 px
    EXPECT_LE(changesInRow, 6);
    EXPECT_TRUE(outsideEqual(out, argb(base), QRect(20, 20, 60, 60)));

    const QPointF o1 = AnnotationEffects::pixelateGridOffset(QUuid("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
    const QPointF o2 = AnnotationEffects::pixelateGridOffset(QUuid("{6F9619FF-8B86-D011-B42D-00C04FC964FE}"));
    EXPECT_NE(o1, o2);
    for (QPointF o : {o1, o2}) {
        EXPECT_LE(std::abs(o.x()), 3.0);
        EXPECT_LE(std::abs(o.y()), 3.0);
    }
    EXPECT_EQ(o1, AnnotationEffects::pixelateGridOffset(QUuid("{6F9619FF-8B86-D011-B42D-00C04FC964FF}")));
}

TEST(Renderer, ShapesTextHighlightAndArrowDrawWhereExpected) {
    EditorDocument d = EditorDocument::fresh(solidImage(200, 200, Qt::white));
    Annotation rect = colored(AnnotationKind::rectangle, {10, 10, 40, 40}, red);
    Annotation ellipse = colored(AnnotationKind::ellipse, {110, 10, 40, 40}, red);
    Annotation text = colored(AnnotationKind::text, {10, 120, 0, 0}, {0, 0, 0, 1});
    text.text = "あいう Text";
    text.fontSize = 20;
    Annotation arrow = colored(AnnotationKind::arrow, {110, 110, 80, 60}, blue); // no stored ends
    Annotation highlight = colored(AnnotationKind::highlight, {60, 60, 30, 30}, {1, 0.8, 0, 0.28});
    d.annotations = {rect, ellipse, text, arrow, highlight};
    const QImage out = rendered(d);

    EXPECT_EQ(out.pixel(10, 30), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(30, 30), qRgb(255, 255, 255));
    EXPECT_EQ(out.pixel(130, 10), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(111, 11), qRgb(255, 255, 255)) << "ellipse is inscribed";

    int dark = 0;
    for (int y = 120; y < 160; ++y)
        for (int x = 10; x < 200; ++x)
            dark += qRed(out.pixel(x, y)) < 100;
    EXPECT_GT(dark, 80) << "text drawn into the measured box of an empty rect";
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(out.pixel(x, 130), qRgb(255, 255, 255)) << "inset 6";

    EXPECT_EQ(out.pixel(150, 140), qRgb(0, 0, 255)) << "arrow runs from top-left to bottom-right";
    EXPECT_EQ(out.pixel(185, 115), qRgb(255, 255, 255));

    const QRgb hl = out.pixel(75, 75);
    EXPECT_EQ(qRed(hl), 255);
    EXPECT_NEAR(qBlue(hl), 255 * 0.72, 2);
}

TEST(Renderer, ConcurrentRendersOfCopiesAgree) {
    EditorDocument d = EditorDocument::fresh(checkerboard(300, 200, 3));
    Annotation blur = makeAnnotation(AnnotationKind::blur, {20, 20, 100, 80});
    blur.effectIntensity = 8;
    Annotation text = colored(AnnotationKind::text, {150, 20, 0, 0}, red);
    text.text = "並行";
    Annotation spot = makeAnnotation(AnnotationKind::spotlight, {100, 100, 80, 60});
    spot.effectIntensity = 0.4;
    d.annotations = {blur, text, spot, makeMarker({{10, 150}, {200, 180}})};
    d.backgroundStyle.isEnabled = true;
    const QImage reference = rendered(d);
    QList<EditorDocument> copies(8, d);
    const QList<QImage> results =
        QtConcurrent::blockingMapped(copies, [](const EditorDocument& c) { return argb(*EditorRenderer::render(c)); });
    for (const QImage& r : results)
        EXPECT_EQ(r, reference);
}

// Large documents are drawn in bands on several threads: the bands' seams must not
// show, whatever crosses them, with or without a background, rounded or not, cropped.
TEST(Renderer, BandsDrawTheSamePixelsAsOnePass) {
    EditorDocument d = EditorDocument::fresh(checkerboard(640, 480, 5));
    QRandomGenerator random(11);
    for (int i = 0; i < 24; ++i) {
        Annotation pen = colored(AnnotationKind::pen, {}, {random.bounded(1.0), 0.3, 0.7, 0.8});
        pen.lineWidth = 2 + i % 9;
        QPointF p(random.bounded(600.0), random.bounded(440.0));
        for (int k = 0; k < 30; ++k, p += QPointF(random.bounded(20.0) - 8, random.bounded(24.0) - 12))
            pen.markerPoints.push_back(p);
        pen.rebuildDerivedRect();
        d.annotations.push_back(pen);
    }
    d.annotations.push_back(makeMarker({{10, 150}, {600, 330}}));
    Annotation blur = makeAnnotation(AnnotationKind::blur, {100, 100, 300, 250});
    blur.effectIntensity = 6;
    Annotation pixelate = makeAnnotation(AnnotationKind::pixelate, {420, 60, 150, 380});
    Annotation text = colored(AnnotationKind::text, {30, 225, 0, 0}, red);
    text.text = "境目をまたぐ文字 gjpqy";
    text.fontSize = 30;
    Annotation spot = makeAnnotation(AnnotationKind::spotlight, {200, 200, 200, 80});
    spot.effectIntensity = 0.4;
    d.annotations.insert(d.annotations.end(), {blur, pixelate, text, spot});
    for (int i = 0; i < 6; ++i) {
        Annotation step = colored(AnnotationKind::step, StepMarker::circleRect({60.0 + 100 * i, 235}, 40), red);
        if (i % 2)
            step.arrowEnd = step.rect.center() + QPointF(30, 90);
        d.annotations.push_back(step);
    }
    renumberSteps(d.annotations);

    const auto same = [](const EditorDocument& doc, const char* what) {
        const auto one = EditorRenderer::render(doc, 1);
        ASSERT_TRUE(one) << what;
        for (int bands : {2, 3, 7}) {
            const auto banded = EditorRenderer::render(doc, bands);
            ASSERT_TRUE(banded) << what;
            EXPECT_TRUE(*banded == *one) << what << ", " << bands << " bands";
        }
    };
    same(d, "plain");
    d.backgroundStyle.isEnabled = true;
    d.backgroundStyle.padding = 40;
    d.backgroundStyle.cornerRadius = 24;
    same(d, "background, whole-pixel padding");
    d.backgroundStyle.padding = 40.5;
    same(d, "background, fractional padding");
    d.cropRect = QRectF(50, 70, 500, 333);
    same(d, "cropped");
}

namespace {

TEST(RendererLimits, DocumentsBeyondTheLimitsGiveNoImageAndAReason) {
    EditorDocument d = EditorDocument::fresh(solidImage(40, 30));
    EXPECT_TRUE(DocumentLimits::renderProblem(d).isEmpty());
    d.backgroundStyle.isEnabled = true;
    EXPECT_TRUE(DocumentLimits::renderProblem(d).isEmpty()) << "the default frame";

    EditorDocument wide = d;
    wide.backgroundStyle.padding = 16000;
    EXPECT_FALSE(EditorRenderer::render(wide));
    EXPECT_TRUE(DocumentLimits::renderProblem(wide).contains(QStringLiteral("キャンバスが大きすぎます")));
    EditorDocument cropped = d;
    cropped.cropRect = QRectF(0, 0, 32000, 32000);
    EXPECT_FALSE(EditorRenderer::render(cropped));
    EditorDocument shadow = d;
    shadow.backgroundStyle.shadowBlur = 1e7;
    EXPECT_FALSE(EditorRenderer::render(shadow));
    EXPECT_TRUE(DocumentLimits::renderProblem(shadow).contains(QStringLiteral("影")));
    EditorDocument far = d;
    far.annotations.push_back(makeArrow({0, 0}, {1e30, 5}));
    EXPECT_FALSE(EditorRenderer::render(far));
    EditorDocument markers = d;
    markers.annotations.push_back(makeMarker({{0, 0}, {1e7, 0}, {0, 0}}, 1));
    EXPECT_TRUE(DocumentLimits::renderProblem(markers).contains(QStringLiteral("マーカー")));
    EditorDocument blurs = EditorDocument::fresh(solidImage(4000, 4000));
    for (int i = 0; i < 10; ++i)
        blurs.annotations.push_back(makeAnnotation(AnnotationKind::blur, {0, 0, 4000, 4000}));
    EXPECT_TRUE(DocumentLimits::renderProblem(blurs).contains(QStringLiteral("ぼかし")));
    blurs.annotations.resize(2);
    EXPECT_TRUE(DocumentLimits::renderProblem(blurs).isEmpty());
    // A frame around the largest image the editor holds still renders.
    EXPECT_TRUE(DocumentLimits::renderProblem(QSize(15360, 4320), std::nullopt, d.backgroundStyle, {}).isEmpty());
}

TEST(RendererLimits, HugeEffectStrengthsActLikeTheLargestUsefulOne) {
    EditorDocument d = EditorDocument::fresh(checkerboard(60, 40, 3));
    Annotation pixelate = makeAnnotation(AnnotationKind::pixelate, {5, 5, 40, 30});
    pixelate.effectIntensity = 1e300;
    d.annotations = {pixelate};
    const QImage huge = rendered(d);
    d.annotations[0].effectIntensity = 4 * 60;
    EXPECT_EQ(huge, rendered(d));
    Annotation blur = makeAnnotation(AnnotationKind::blur, {5, 5, 40, 30});
    blur.effectIntensity = 1e300;
    d.annotations = {blur};
    const QImage blurred = rendered(d);
    d.annotations[0].effectIntensity = 60;
    EXPECT_EQ(blurred, rendered(d));
}

} // namespace
