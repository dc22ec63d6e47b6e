// Pen and numbered steps in the canvas: gestures make one undo step each (how the
// canvas shows them: CanvasExportMatch).
#include "TestEditorHost.h"
#include "editor/EditorCanvas.h"
#include "editor_model/CanvasInteraction.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::TestEditorHost;

namespace {

ImageRef plainWhite() {
    QImage image(600, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    return makeImage(image);
}

// The canvas at fit scale 1: view = image + (45, 28).
struct NewKindsCanvas : ::testing::Test {
    TestEditorHost host{plainWhite()};
    EditorCanvas canvas{host};

    void SetUp() override {
        canvas.setViewportSize(QSize(690, 356));
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

} // namespace
