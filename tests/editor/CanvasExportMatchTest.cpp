// The canvas draws annotations with the export's painter: a document shows on screen,
// at every zoom, as the exported image has it, text and the newer kinds included.
#include "TestEditorHost.h"
#include "editor/EditorCanvas.h"
#include "editor/EditorRenderer.h"
#include "editor_model/CanvasInteraction.h"
#include "editor_model/StepMarkers.h"

#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <tuple>

using namespace lumivane;
using lumivane::test::TestEditorHost;

namespace {

ImageRef whiteImage() {
    QImage image(600, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    return makeImage(image);
}

// Bounding box of the pixels near one pure colour (anti-aliased edges left out).
QRect inkBox(const QImage& image, QRgb ink, int tolerance) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(ink)) < tolerance && std::abs(qGreen(p) - qGreen(ink)) < tolerance &&
                std::abs(qBlue(p) - qBlue(ink)) < tolerance)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

struct Ink {
    const char* what;
    QRgb color;
};

// A document's annotations, each drawn in an ink of its own.
struct Scene {
    const char* name;
    void (*add)(EditorDocument&);
    std::vector<Ink> inks;
    int tolerance;
};

void textShapeAndArrow(EditorDocument& doc) {
    // Strokes wide enough to keep solid pixels at half size.
    const auto annotation = [](AnnotationKind kind, QRectF rect, RgbaColor color) {
        return CanvasInteraction::newAnnotation(kind, rect, color, 12);
    };
    Annotation text = annotation(AnnotationKind::text, {40, 30, 200, 40}, RgbaColor{1, 0, 0, 1});
    text.fontSize = 22;
    text.text = QString::fromUtf8("Lumivane 注釈 Text\n二行目の文字 gjpqy");
    doc.add(text);
    doc.add(annotation(AnnotationKind::rectangle, {320, 40, 200, 120}, RgbaColor{0, 0, 1, 1}));
    Annotation arrow = annotation(AnnotationKind::arrow, {}, RgbaColor{0, 0.6, 0, 1});
    arrow.arrowStart = QPointF(80, 260);
    arrow.arrowEnd = QPointF(400, 200);
    arrow.rect = CanvasInteraction::arrowRect(*arrow.arrowStart, *arrow.arrowEnd, arrow.lineWidth);
    doc.add(arrow);
}

void penStepAndTextBox(EditorDocument& doc) {
    Annotation pen = CanvasInteraction::newAnnotation(AnnotationKind::pen, {}, RgbaColor{1, 0, 1, 1}, 8);
    pen.markerPoints = {{40, 200}, {90, 150}, {140, 240}, {200, 180}};
    pen.rebuildDerivedRect();
    doc.add(pen);
    Annotation step = CanvasInteraction::newAnnotation(AnnotationKind::step, StepMarker::circleRect({320, 80}, 48),
                                                       {1, 0.5, 0, 1}, 0);
    step.arrowEnd = QPointF(420, 150);
    doc.add(step);
    Annotation text =
        CanvasInteraction::newAnnotation(AnnotationKind::text, {300, 220, 200, 40}, RgbaColor{1, 1, 1, 1}, 0);
    text.fontSize = 22;
    text.text = QStringLiteral("背景つき Text");
    text.textBackground = TextBackground{{0, 0, 0.6, 1}, 10, 8};
    doc.add(text);
}

const Scene scenes[] = {
    {"text, shape and arrow",
     textShapeAndArrow,
     {{"text", qRgb(255, 0, 0)}, {"rectangle", qRgb(0, 0, 255)}, {"arrow", qRgb(0, 153, 0)}},
     60},
    {"pen, step and text box",
     penStepAndTextBox,
     {{"pen", qRgb(255, 0, 255)}, {"step", qRgb(255, 128, 0)}, {"text box", qRgb(0, 0, 153)}},
     50},
};

struct CanvasExportMatch : ::testing::TestWithParam<std::tuple<int, double>> {
    TestEditorHost host{whiteImage()};
    EditorCanvas canvas{host};
};

TEST_P(CanvasExportMatch, AnnotationsSitWhereTheExportHasThem) {
    const Scene& scene = scenes[std::get<0>(GetParam())];
    const double zoom = std::get<1>(GetParam());
    SCOPED_TRACE(scene.name);
    EditorDocument& doc = *host.document;
    scene.add(doc);
    doc.selectedAnnotationID.reset();
    canvas.setViewportSize(QSize(690, 356)); // fit scale 1
    canvas.setZoomScale(zoom);
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));

    const QRect r = canvas.imageRect().toAlignedRect();
    EXPECT_EQ(r.size(), (QSizeF(600, 300) * zoom).toSize());
    const QImage screen = canvas.grab(r).toImage().convertToFormat(QImage::Format_RGB32);
    const auto rendered = EditorRenderer::render(doc);
    ASSERT_TRUE(rendered);
    const QImage file = rendered->convertToFormat(QImage::Format_RGB32);
    for (const Ink& ink : scene.inks) {
        const QRect shown = inkBox(screen, ink.color, scene.tolerance);
        const QRectF expected(inkBox(file, ink.color, scene.tolerance));
        ASSERT_FALSE(expected.isEmpty()) << ink.what << " is not in the export";
        ASSERT_FALSE(shown.isEmpty()) << ink.what << " is not on screen";
        const QRectF scaled(expected.topLeft() * zoom, expected.size() * zoom);
        // Within a pixel and a half of the view, at any zoom.
        const double tolerance = 1.5 + zoom;
        EXPECT_NEAR(shown.left(), scaled.left(), tolerance) << ink.what;
        EXPECT_NEAR(shown.top(), scaled.top(), tolerance) << ink.what;
        EXPECT_NEAR(shown.left() + shown.width(), scaled.right(), tolerance) << ink.what;
        EXPECT_NEAR(shown.top() + shown.height(), scaled.bottom(), tolerance) << ink.what;
    }
    if (scene.add == penStepAndTextBox) { // the number is drawn inside its circle
        int whiteInStep = 0;
        for (int y = 60; y < 100; ++y)
            for (int x = 300; x < 340; ++x)
                whiteInStep += qRed(file.pixel(x, y)) > 240 && qGreen(file.pixel(x, y)) > 240 ? 1 : 0;
        EXPECT_GT(whiteInStep, 20) << "the number 1 in white";
    }
    if (zoom == 1) { // at full size the pixels are the export's
        ASSERT_EQ(screen.size(), file.size());
        int differing = 0;
        for (int y = 0; y < file.height(); ++y)
            for (int x = 0; x < file.width(); ++x) {
                const QRgb a = screen.pixel(x, y), b = file.pixel(x, y);
                if (std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))}) > 24)
                    ++differing;
            }
        EXPECT_LE(differing, 20) << "pixels differing between the canvas and the export";
    }
}

INSTANTIATE_TEST_SUITE_P(ScenesAndZooms, CanvasExportMatch,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Values(1.0, 0.5, 2.0)));

} // namespace
