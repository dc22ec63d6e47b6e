#include "TestEditorHost.h"
#include "editor/EditorCanvas.h"
#include "editor/EditorRenderer.h"
#include "editor_model/CanvasInteraction.h"

#include <QPainter>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::TestEditorHost;

namespace {

ImageRef whiteImage() {
    QImage image(600, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    return makeImage(image);
}

// Strokes wide enough to keep solid pixels at half size.
Annotation annotation(AnnotationKind kind, QRectF rect, RgbaColor color) {
    return CanvasInteraction::newAnnotation(kind, rect, color, 12);
}

// Bounding box of the pixels near one pure colour (anti-aliased edges left out).
QRect inkBox(const QImage& image, QRgb ink) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(ink)) < 60 && std::abs(qGreen(p) - qGreen(ink)) < 60 &&
                std::abs(qBlue(p) - qBlue(ink)) < 60)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

// The canvas draws annotations with the export's painter: the same document shows
// on screen as the exported image has it, text included.
struct CanvasExportFixture : ::testing::Test {
    TestEditorHost host{whiteImage()};
    EditorCanvas canvas{host};
    double zoom = 1;

    void show(double zoomScale) {
        zoom = zoomScale;
        EditorDocument& doc = *host.document;
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
        doc.selectedAnnotationID.reset();
        canvas.setViewportSize(QSize(690, 356)); // fit scale 1
        canvas.setZoomScale(zoom);
        canvas.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    }

    QImage onScreen() {
        const QRect r = canvas.imageRect().toAlignedRect();
        EXPECT_EQ(r.size(), (QSizeF(600, 300) * zoom).toSize());
        return canvas.grab(r).toImage().convertToFormat(QImage::Format_RGB32);
    }
    QImage exported() {
        const auto image = EditorRenderer::render(*host.document);
        EXPECT_TRUE(image);
        return image ? image->convertToFormat(QImage::Format_RGB32) : QImage();
    }
};

struct CanvasExportMatch : CanvasExportFixture, ::testing::WithParamInterface<double> {};

TEST_P(CanvasExportMatch, AnnotationsSitWhereTheExportHasThem) {
    show(GetParam());
    const QImage screen = onScreen();
    const QImage file = exported();
    ASSERT_FALSE(screen.isNull());
    ASSERT_FALSE(file.isNull());
    struct Ink {
        const char* what;
        QRgb color;
    };
    for (const Ink& ink :
         {Ink{"text", qRgb(255, 0, 0)}, Ink{"rectangle", qRgb(0, 0, 255)}, Ink{"arrow", qRgb(0, 153, 0)}}) {
        const QRect shown = inkBox(screen, ink.color);
        const QRectF expected(inkBox(file, ink.color));
        ASSERT_FALSE(shown.isEmpty()) << ink.what;
        const QRectF scaled(expected.topLeft() * zoom, expected.size() * zoom);
        // Within a pixel and a half of the view, at any zoom.
        const double tolerance = 1.5 + zoom;
        EXPECT_NEAR(shown.left(), scaled.left(), tolerance) << ink.what;
        EXPECT_NEAR(shown.top(), scaled.top(), tolerance) << ink.what;
        EXPECT_NEAR(shown.left() + shown.width(), scaled.right(), tolerance) << ink.what;
        EXPECT_NEAR(shown.top() + shown.height(), scaled.bottom(), tolerance) << ink.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Zooms, CanvasExportMatch, ::testing::Values(1.0, 0.5, 2.0));

TEST_F(CanvasExportFixture, AtFullSizeThePixelsAreTheExports) {
    show(1.0);
    const QImage screen = onScreen();
    const QImage file = exported();
    ASSERT_EQ(screen.size(), file.size());
    int differing = 0;
    for (int y = 0; y < file.height(); ++y)
        for (int x = 0; x < file.width(); ++x) {
            const QRgb a = screen.pixel(x, y), b = file.pixel(x, y);
            const int d =
                std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            if (d > 24)
                ++differing;
        }
    EXPECT_LE(differing, 20) << "pixels differing between the canvas and the export";
}

} // namespace
