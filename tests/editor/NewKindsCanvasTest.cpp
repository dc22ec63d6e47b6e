// Pen, numbered steps and text on a box in the canvas: gestures make one undo step
// each, and the canvas shows them as the export draws them.
#include "TestEditorHost.h"
#include "editor/EditorCanvas.h"
#include "editor/EditorRenderer.h"
#include "editor_model/CanvasInteraction.h"
#include "editor_model/StepMarkers.h"

#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::TestEditorHost;

namespace {

ImageRef plainWhite() {
    QImage image(600, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    return makeImage(image);
}

QRect colourBox(const QImage& image, QRgb ink) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(ink)) < 50 && std::abs(qGreen(p) - qGreen(ink)) < 50 &&
                std::abs(qBlue(p) - qBlue(ink)) < 50)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

// The canvas at fit scale 1 (view = image + (45, 28)) times the zoom.
struct NewKindsCanvas : ::testing::Test {
    TestEditorHost host{plainWhite()};
    EditorCanvas canvas{host};
    double zoom = 1;

    void showAt(double zoomScale) {
        zoom = zoomScale;
        canvas.setViewportSize(QSize(690, 356));
        canvas.setZoomScale(zoom);
        canvas.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
        canvas.activateWindow();
        (void)QTest::qWaitForWindowActive(&canvas);
    }
    QPoint view(QPointF image) const { return canvas.toView(image).toPoint(); }
    void drag(QPointF from, QPointF to, int steps = 8) {
        QTest::mousePress(&canvas, Qt::LeftButton, {}, view(from));
        for (int i = 1; i <= steps; ++i)
            QTest::mouseMove(&canvas, view(from + (to - from) * i / steps + QPointF(0, (i % 2) * 6)));
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, view(to));
    }
    void click(QPointF at) { QTest::mouseClick(&canvas, Qt::LeftButton, {}, view(at)); }
    std::vector<Annotation>& annotations() { return host.document->annotations; }
    std::vector<QString> numbers() {
        std::vector<QString> out;
        for (const Annotation& a : annotations())
            if (a.kind == AnnotationKind::step)
                out.push_back(a.text);
        return out;
    }
};

TEST_F(NewKindsCanvas, APenStrokeIsOneSmoothAnnotationAndOneUndoStep) {
    showAt(1);
    host.document->selectedTool = AnnotationTool::pen;
    drag({50, 50}, {300, 120}, 20);
    ASSERT_EQ(annotations().size(), 1u);
    const Annotation& pen = annotations()[0];
    EXPECT_EQ(pen.kind, AnnotationKind::pen);
    EXPECT_GE(pen.markerPoints.size(), 5u);
    EXPECT_NEAR(pen.markerPoints.front().x(), 50, 1.5);
    EXPECT_DOUBLE_EQ(pen.lineWidth, host.settings().defaultAnnotationLineWidth());
    EXPECT_EQ(host.history.undoStack.size(), 1u);
    // A second stroke is an annotation of its own.
    drag({100, 20}, {100, 200}, 10);
    EXPECT_EQ(annotations().size(), 2u);
    host.undoEditorChange();
    host.undoEditorChange();
    EXPECT_TRUE(annotations().empty());
}

TEST_F(NewKindsCanvas, ClicksPlaceNumbersThatFollowDeletesUndoAndReordering) {
    showAt(1);
    host.document->selectedTool = AnnotationTool::step;
    click({60, 60});
    click({160, 60});
    drag({260, 60}, {320, 160}); // with a tail
    EXPECT_EQ(numbers(), (std::vector<QString>{"1", "2", "3"}));
    EXPECT_EQ(host.history.undoStack.size(), 3u);
    ASSERT_TRUE(annotations()[2].arrowEnd);
    EXPECT_NEAR(annotations()[2].arrowEnd->x(), 320, 1.5);
    EXPECT_FALSE(annotations()[0].arrowEnd);

    // Delete the second: the third becomes 2; undo brings 1, 2, 3 back.
    host.document->selectedAnnotationID = annotations()[1].id;
    const QUuid second = annotations()[1].id, third = annotations()[2].id;
    QTest::keyClick(&canvas, Qt::Key_Delete);
    EXPECT_EQ(numbers(), (std::vector<QString>{"1", "2"}));
    EXPECT_EQ(host.document->find(third)->text, "2");
    host.undoEditorChange();
    EXPECT_EQ(host.document->find(second)->text, "2");
    EXPECT_EQ(host.document->find(third)->text, "3");

    // "[" gives the selected step the number before, "]" the one after; each an undo step.
    host.document->selectedAnnotationID = third;
    const size_t undoBefore = host.history.undoStack.size();
    QTest::keyClick(&canvas, Qt::Key_BracketLeft);
    EXPECT_EQ(host.document->find(third)->text, "2");
    EXPECT_EQ(host.document->find(second)->text, "3");
    EXPECT_EQ(host.history.undoStack.size(), undoBefore + 1);
    QTest::keyClick(&canvas, Qt::Key_BracketRight);
    EXPECT_EQ(host.document->find(third)->text, "3");
}

TEST_F(NewKindsCanvas, AStepTailIsDraggedOutAndBackIn) {
    showAt(1);
    host.document->selectedTool = AnnotationTool::step;
    click({100, 100});
    ASSERT_EQ(annotations().size(), 1u);
    host.document->selectedTool = AnnotationTool::select;
    const QPointF handle = CanvasInteraction::handlePosition(annotations()[0], AnnotationHandle::arrowEnd);
    drag(handle, {250, 200});
    ASSERT_TRUE(annotations()[0].arrowEnd);
    EXPECT_NEAR(annotations()[0].arrowEnd->x(), 250, 1.5);
    drag({250, 200}, annotations()[0].rect.center());
    EXPECT_FALSE(annotations()[0].arrowEnd) << "a tip dragged into the circle removes the tail";
    EXPECT_EQ(host.history.undoStack.size(), 3u);
}

// Screen and export draw the new kinds alike, at every zoom.
struct NewKindsScreenExport : NewKindsCanvas, ::testing::WithParamInterface<double> {};

TEST_P(NewKindsScreenExport, EachNewKindSitsWhereTheExportHasIt) {
    EditorDocument& doc = *host.document;
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
    doc.selectedAnnotationID.reset();
    showAt(GetParam());

    const QRect r = canvas.imageRect().toAlignedRect();
    const QImage screen = canvas.grab(r).toImage().convertToFormat(QImage::Format_RGB32);
    const auto rendered = EditorRenderer::render(doc);
    ASSERT_TRUE(rendered);
    const QImage file = rendered->convertToFormat(QImage::Format_RGB32);
    struct Ink {
        const char* what;
        QRgb color;
    };
    for (const Ink& ink :
         {Ink{"pen", qRgb(255, 0, 255)}, Ink{"step", qRgb(255, 128, 0)}, Ink{"text box", qRgb(0, 0, 153)}}) {
        const QRect shown = colourBox(screen, ink.color);
        const QRectF expected(colourBox(file, ink.color));
        ASSERT_FALSE(expected.isEmpty()) << ink.what << " is not in the export";
        ASSERT_FALSE(shown.isEmpty()) << ink.what << " is not on screen";
        const QRectF scaled(expected.topLeft() * zoom, expected.size() * zoom);
        const double tolerance = 1.5 + zoom;
        EXPECT_NEAR(shown.left(), scaled.left(), tolerance) << ink.what;
        EXPECT_NEAR(shown.top(), scaled.top(), tolerance) << ink.what;
        EXPECT_NEAR(shown.left() + shown.width(), scaled.right(), tolerance) << ink.what;
        EXPECT_NEAR(shown.top() + shown.height(), scaled.bottom(), tolerance) << ink.what;
    }
    // The number and the text are drawn inside their shapes.
    int whiteInStep = 0;
    for (int y = 60; y < 100; ++y)
        for (int x = 300; x < 340; ++x)
            whiteInStep += qRed(file.pixel(x, y)) > 240 && qGreen(file.pixel(x, y)) > 240 ? 1 : 0;
    EXPECT_GT(whiteInStep, 20) << "the number 1 in white";
    if (zoom == 1) {
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

INSTANTIATE_TEST_SUITE_P(Zooms, NewKindsScreenExport, ::testing::Values(1.0, 0.5, 2.0));

} // namespace
