#include "editor/EditorCanvas.h"
#include "TestEditorHost.h"
#include "editor_model/CanvasInteraction.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::TestEditorHost;

namespace {

// A page-like image: white with dark "text lines", so the marker estimate has ink.
ImageRef pageImage() {
    QImage image(800, 500, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    QPainter p(&image);
    for (int i = 0; i < 8; ++i)
        p.fillRect(QRect(40, 40 + i * 55, 520 - i * 30, 18), QColor(30, 30, 40));
    p.fillRect(QRect(600, 40, 160, 420), QColor(70, 140, 220));
    p.fillRect(QRect(620, 60, 40, 40), QColor(240, 200, 40));
    return makeImage(image);
}

// The canvas at fit scale 1: view = image + (45, 28).
struct CanvasFixture : ::testing::Test {
    TestEditorHost host{pageImage()};
    EditorCanvas canvas{host};
    const QPointF origin{45, 28};

    void SetUp() override {
        canvas.setViewportSize(QSize(890, 556));
        canvas.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
        canvas.activateWindow();
        (void)QTest::qWaitForWindowActive(&canvas);
        ASSERT_EQ(canvas.imageRect(), QRectF(45, 28, 800, 500));
    }

    QPoint view(QPointF image) const { return (image + origin).toPoint(); }
    void tool(AnnotationTool t) { host.document->selectedTool = t; }
    // Press at `from`, move in steps, release at `to` (image points).
    void drag(QPointF from, QPointF to, int steps = 6) {
        QTest::mousePress(&canvas, Qt::LeftButton, {}, view(from));
        for (int i = 1; i <= steps; ++i)
            QTest::mouseMove(&canvas, view(from + (to - from) * i / steps));
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, view(to));
    }
    void click(QPointF at) { QTest::mouseClick(&canvas, Qt::LeftButton, {}, view(at)); }
    const std::vector<Annotation>& annotations() { return host.document->annotations; }
    QTextEdit* field() {
        QTest::qWait(5); // focus arrives on the next turn of the loop
        return canvas.textEditor();
    }
};

} // namespace

TEST_F(CanvasFixture, EveryToolCreatesItsKindWithOneHistoryEntryPerGesture) {
    const std::vector<std::pair<AnnotationTool, AnnotationKind>> drawn{
        {AnnotationTool::rectangle, AnnotationKind::rectangle}, {AnnotationTool::ellipse, AnnotationKind::ellipse},
        {AnnotationTool::highlight, AnnotationKind::highlight}, {AnnotationTool::blur, AnnotationKind::blur},
        {AnnotationTool::pixelate, AnnotationKind::pixelate},   {AnnotationTool::spotlight, AnnotationKind::spotlight}};
    QSignalSpy edited(&canvas, &EditorCanvas::documentEdited);
    double y = 20;
    for (auto [t, kind] : drawn) {
        tool(t);
        drag(QPointF(300, y), QPointF(360, y + 40));
        ASSERT_FALSE(annotations().empty());
        const Annotation& a = annotations().back();
        EXPECT_EQ(a.kind, kind);
        EXPECT_EQ(a.rect, QRectF(300, y, 60, 40));
        EXPECT_EQ(host.document->selectedAnnotationID, a.id);
        EXPECT_EQ(a.color, host.configuredAnnotationColor(kind));
        y += 70;
    }
    EXPECT_EQ(annotations()[0].lineWidth, host.settings().defaultAnnotationLineWidth());
    EXPECT_EQ(annotations()[3].effectIntensity, 16);
    EXPECT_EQ(host.undoCount(), drawn.size());

    tool(AnnotationTool::arrow);
    drag(QPointF(100, 450), QPointF(200, 420));
    ASSERT_EQ(annotations().back().kind, AnnotationKind::arrow);
    EXPECT_EQ(annotations().back().arrowStart, QPointF(100, 450));
    EXPECT_EQ(annotations().back().arrowEnd, QPointF(200, 420));
    EXPECT_EQ(annotations().back().rect, CanvasInteraction::arrowRect(QPointF(100, 450), QPointF(200, 420), 4));
    drag(QPointF(100, 300), QPointF(103, 300), 3); // 3 points: too short for an arrow
    EXPECT_EQ(annotations().back().arrowEnd, QPointF(200, 420));

    tool(AnnotationTool::marker);
    drag(QPointF(60, 48), QPointF(300, 48), 20); // along the first dark line
    ASSERT_EQ(annotations().back().kind, AnnotationKind::marker);
    const Annotation& marker = annotations().back();
    EXPECT_GE(marker.markerPoints.size(), 2u);
    EXPECT_GE(marker.lineWidth, 16);
    EXPECT_LE(marker.lineWidth, 22);
    EXPECT_EQ(marker.color, host.configuredAnnotationColor(AnnotationKind::marker));
    drag(QPointF(60, 300), QPointF(66, 300), 3); // 6 points of stroke: discarded
    EXPECT_EQ(annotations().back().id, marker.id);

    tool(AnnotationTool::crop);
    const size_t count = annotations().size();
    drag(QPointF(10, 10), QPointF(410, 310));
    EXPECT_EQ(host.document->cropRect, QRectF(10, 10, 400, 300));
    EXPECT_EQ(annotations().size(), count);

    EXPECT_EQ(host.undoCount(), drawn.size() + 3);
    EXPECT_GE(edited.count(), int(drawn.size() + 3));
    host.undoEditorChange();
    EXPECT_FALSE(host.document->cropRect);
    host.undoEditorChange();
    EXPECT_EQ(annotations().size(), count - 1);
}

TEST_F(CanvasFixture, ClicksSelectAndNeverCreate) {
    tool(AnnotationTool::rectangle);
    drag(QPointF(100, 100), QPointF(300, 200));
    drag(QPointF(400, 300), QPointF(200, 150)); // pressed on the first one it would move it
    ASSERT_EQ(annotations().size(), 2u);
    const QUuid lower = annotations()[0].id, upper = annotations()[1].id;

    tool(AnnotationTool::select);
    click(QPointF(50, 450)); // empty: clears the selection
    EXPECT_FALSE(host.document->selectedAnnotationID);
    tool(AnnotationTool::rectangle);
    drag(QPointF(250, 170), QPointF(251, 170), 1); // 1 point is a click: the overlap's upper one
    EXPECT_EQ(annotations().size(), 2u);
    EXPECT_EQ(host.document->selectedAnnotationID, upper);
    click(QPointF(120, 120));
    EXPECT_EQ(host.document->selectedAnnotationID, lower);
    tool(AnnotationTool::text);
    click(QPointF(600, 450));
    EXPECT_EQ(annotations().size(), 2u);
    EXPECT_FALSE(canvas.isEditingText());
    EXPECT_EQ(host.undoCount(), 2u); // selection changes record nothing

    // Gestures that start outside the image create nothing.
    tool(AnnotationTool::rectangle);
    QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(20, 40));
    QTest::mouseMove(&canvas, QPoint(200, 200));
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(200, 200));
    EXPECT_EQ(annotations().size(), 2u);
}

TEST_F(CanvasFixture, MovesAndResizesAsSingleUndoSteps) {
    tool(AnnotationTool::rectangle);
    drag(QPointF(100, 100), QPointF(300, 200));
    tool(AnnotationTool::arrow);
    drag(QPointF(500, 400), QPointF(560, 300));
    tool(AnnotationTool::select);
    ASSERT_EQ(host.undoCount(), 2u);

    drag(QPointF(200, 110), QPointF(230, 150), 10); // body: move by (30, 40)
    EXPECT_EQ(annotations()[0].rect, QRectF(130, 140, 200, 100));
    EXPECT_EQ(host.undoCount(), 3u);

    // Corner grabbed 6 points off; dragged past the opposite corner it stops at 24.
    drag(QPointF(136, 146), QPointF(600, 480), 10);
    EXPECT_EQ(annotations()[0].rect, QRectF(306, 216, 24, 24));
    EXPECT_EQ(host.undoCount(), 4u);

    // Arrow end within 16 follows the pointer; the rect follows both ends.
    drag(QPointF(572, 290), QPointF(700, 250), 5);
    EXPECT_EQ(annotations()[1].arrowEnd, QPointF(700, 250));
    EXPECT_EQ(annotations()[1].arrowStart, QPointF(500, 400));
    EXPECT_EQ(annotations()[1].rect, CanvasInteraction::arrowRect(QPointF(500, 400), QPointF(700, 250), 4));
    EXPECT_EQ(host.undoCount(), 5u);

    host.undoEditorChange();
    host.undoEditorChange();
    EXPECT_EQ(annotations()[0].rect, QRectF(130, 140, 200, 100));
    EXPECT_EQ(annotations()[1].arrowEnd, QPointF(560, 300));
    host.undoEditorChange();
    EXPECT_EQ(annotations()[0].rect, QRectF(100, 100, 200, 100));
    host.redoEditorChange();
    EXPECT_EQ(annotations()[0].rect, QRectF(130, 140, 200, 100));

    // With the marker tool a press on a rectangle draws a stroke instead of moving it.
    tool(AnnotationTool::marker);
    drag(QPointF(140, 150), QPointF(300, 150), 12);
    EXPECT_EQ(annotations().back().kind, AnnotationKind::marker);
    EXPECT_EQ(annotations()[0].rect, QRectF(130, 140, 200, 100));
    // The selected marker moves.
    const auto before = annotations().back().markerPoints;
    drag(QPointF(200, 150), QPointF(200, 170), 4);
    ASSERT_EQ(annotations().size(), 3u);
    EXPECT_EQ(annotations().back().markerPoints.front(), before.front() + QPointF(0, 20));
}

TEST_F(CanvasFixture, InlineTextCommitsCancelsAndDropsBlankText) {
    tool(AnnotationTool::text);
    drag(QPointF(100, 100), QPointF(300, 130));
    ASSERT_EQ(annotations().size(), 1u);
    EXPECT_EQ(annotations()[0].kind, AnnotationKind::text);
    EXPECT_EQ(annotations()[0].rect.topLeft(), QPointF(100, 100));
    EXPECT_DOUBLE_EQ(annotations()[0].fontSize, host.settings().defaultTextFontSize());
    QTextEdit* edit = field();
    ASSERT_TRUE(edit);
    EXPECT_TRUE(host.editorIsEditingText());
    EXPECT_TRUE(edit->hasFocus());

    QTest::keyClicks(edit, "Hello");
    const int oneLine = edit->height();
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(edit, "World");
    EXPECT_EQ(annotations()[0].text, "Hello\nWorld");
    EXPECT_GT(edit->height(), oneLine);
    // Undo is ignored while editing.
    host.undoEditorChange();
    EXPECT_EQ(annotations().size(), 1u);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(canvas.isEditingText());
    EXPECT_FALSE(host.editorIsEditingText());
    EXPECT_EQ(annotations()[0].text, "Hello\nWorld");
    EXPECT_EQ(host.undoCount(), 2u); // created, then edited
    host.undoEditorChange();
    ASSERT_EQ(annotations().size(), 1u);
    EXPECT_EQ(annotations()[0].text, "");
    host.undoEditorChange();
    EXPECT_TRUE(annotations().empty());
    host.redoEditorChange();
    host.redoEditorChange();
    ASSERT_EQ(annotations().size(), 1u);

    // Double click edits the existing box; Escape restores the text from before.
    tool(AnnotationTool::select);
    click(QPointF(120, 110));
    click(QPointF(120, 110));
    edit = field();
    ASSERT_TRUE(edit);
    QTest::keyClicks(edit, " again");
    EXPECT_EQ(annotations()[0].text, "Hello\nWorld again");
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(canvas.isEditingText());
    EXPECT_EQ(annotations()[0].text, "Hello\nWorld");
    EXPECT_EQ(host.undoCount(), 2u);

    // Return without typing, or Escape, removes a new box; blank text is dropped,
    // a letter with spaces is kept as typed.
    tool(AnnotationTool::text);
    drag(QPointF(100, 300), QPointF(250, 330));
    ASSERT_TRUE(field());
    QTest::keyClick(field(), Qt::Key_Return);
    EXPECT_EQ(annotations().size(), 1u);
    drag(QPointF(100, 300), QPointF(250, 330));
    QTest::keyClicks(field(), "abc");
    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_EQ(annotations().size(), 1u);
    drag(QPointF(100, 300), QPointF(250, 330));
    QTest::keyClicks(field(), "  ");
    QTest::keyClick(field(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(field(), Qt::Key_Return);
    EXPECT_EQ(annotations().size(), 1u);
    drag(QPointF(100, 300), QPointF(250, 330));
    QTest::keyClicks(field(), " x ");
    // Clicking elsewhere commits.
    tool(AnnotationTool::select);
    click(QPointF(600, 450));
    EXPECT_FALSE(canvas.isEditingText());
    ASSERT_EQ(annotations().size(), 2u);
    EXPECT_EQ(annotations()[1].text, " x ");
}

// The field grows with its lines, never hides the first, and spaces its lines as the
// drawn text does.
TEST_F(CanvasFixture, TheFieldGrowsWithItsLinesSpacedAsTheDrawnText) {
    tool(AnnotationTool::text);
    drag(QPointF(100, 100), QPointF(300, 130));
    QTextEdit* edit = field();
    ASSERT_TRUE(edit);
    const int startHeight = edit->height();
    // Japanese lines: the CJK font's lines are taller than the Latin ones.
    for (const char* line : {"一行目", "二行目 Text", "三行目", "四行目"}) {
        QInputMethodEvent commit;
        commit.setCommitString(QString::fromUtf8(line));
        QApplication::sendEvent(edit, &commit);
        QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    }
    EXPECT_GT(edit->height(), startHeight + 3 * edit->fontMetrics().height());
    EXPECT_EQ(edit->verticalScrollBar()->value(), 0);
    EXPECT_GT(edit->cursorRect(QTextCursor(edit->document()->firstBlock())).bottom(), 0) << "first line in view";
    const auto top = [&](int n) { return edit->cursorRect(QTextCursor(edit->document()->findBlockByNumber(n))).top(); };
    // The drawn text steps by the font's line spacing plus 2 points.
    const double pitch = QFontMetricsF(edit->font(), edit).lineSpacing() + 2.0;
    EXPECT_NEAR(top(1) - top(0), pitch, 1.0);
    EXPECT_NEAR(top(2) - top(1), pitch, 1.0);

    // A long line stays one line: the field is as wide as the drawn text.
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("日本語の長い一行のテキストをここに入力します Wide"));
    QApplication::sendEvent(edit, &commit);
    const QTextBlock last = edit->document()->lastBlock();
    ASSERT_TRUE(last.layout());
    EXPECT_EQ(last.layout()->lineCount(), 1);
    EXPECT_EQ(edit->horizontalScrollBar()->value(), 0);
}

TEST_F(CanvasFixture, InputMethodCompositionIsNotCommittedByReturn) {
    tool(AnnotationTool::text);
    drag(QPointF(100, 100), QPointF(300, 130));
    QTextEdit* edit = field();
    ASSERT_TRUE(edit);
    QInputMethodEvent compose(QString::fromUtf8("にほんご"), {});
    QApplication::sendEvent(edit, &compose);
    QTest::keyClick(edit, Qt::Key_Return); // confirms the composition only
    EXPECT_TRUE(canvas.isEditingText());
    EXPECT_EQ(annotations()[0].text, QString::fromUtf8("にほんご"));
    QInputMethodEvent compose2(QString::fromUtf8("へんかん"), {});
    QApplication::sendEvent(edit, &compose2);
    QTest::keyClick(edit, Qt::Key_Escape); // drops the composition, keeps editing
    EXPECT_TRUE(canvas.isEditingText());
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("日本語"));
    QApplication::sendEvent(edit, &commit);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(canvas.isEditingText());
    EXPECT_EQ(annotations()[0].text, QString::fromUtf8("にほんご日本語"));
}

TEST_F(CanvasFixture, DeleteKeysRemoveTheSelection) {
    tool(AnnotationTool::rectangle);
    drag(QPointF(100, 100), QPointF(300, 200));
    drag(QPointF(400, 100), QPointF(500, 200));
    ASSERT_EQ(host.undoCount(), 2u);
    QTest::keyClick(&canvas, Qt::Key_Delete);
    ASSERT_EQ(annotations().size(), 1u);
    EXPECT_FALSE(host.document->selectedAnnotationID);
    EXPECT_EQ(host.undoCount(), 3u);
    QTest::keyClick(&canvas, Qt::Key_Delete); // nothing selected: nothing happens
    EXPECT_EQ(host.undoCount(), 3u);
    click(QPointF(150, 150));
    QTest::keyClick(&canvas, Qt::Key_Backspace);
    EXPECT_TRUE(annotations().empty());
    host.undoEditorChange();
    EXPECT_EQ(annotations().size(), 1u);

    // Other keys pass on to the parent.
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(&canvas, &other);
    EXPECT_FALSE(other.isAccepted());

    // While a text field has the keyboard, Delete edits the text.
    tool(AnnotationTool::text);
    drag(QPointF(100, 300), QPointF(250, 330));
    QTest::keyClicks(field(), "ab");
    QTest::keyClick(field(), Qt::Key_Left);
    QTest::keyClick(field(), Qt::Key_Delete);
    EXPECT_EQ(annotations().back().text, "a");
    canvas.finalizeCurrentEditingState();
    EXPECT_FALSE(canvas.isEditingText());
    EXPECT_EQ(annotations().size(), 2u);
}

TEST_F(CanvasFixture, ZoomAndOutsideChangesResetState) {
    QSignalSpy zoomed(&canvas, &EditorCanvas::zoomScaleChanged);
    canvas.setZoomScale(2);
    EXPECT_EQ(zoomed.count(), 1);
    EXPECT_EQ(canvas.imageRect(), QRectF(45, 28, 1600, 1000));
    EXPECT_EQ(canvas.size(), QSize(1690, 1056));
    EXPECT_DOUBLE_EQ(host.document->editorDisplayScale, 2);
    // New text at zoom 2 appears at the configured size on screen.
    tool(AnnotationTool::text);
    QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(245, 228));
    QTest::mouseMove(&canvas, QPoint(445, 258));
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(445, 258));
    ASSERT_EQ(annotations().size(), 1u);
    EXPECT_EQ(annotations()[0].rect.topLeft(), QPointF(100, 100));
    EXPECT_DOUBLE_EQ(annotations()[0].fontSize, host.settings().defaultTextFontSize() / 2);
    ASSERT_TRUE(field());

    // The document is replaced outside: editing ends without a trace.
    host.document = EditorDocument::fresh(pageImage());
    emit host.editorDocumentChanged();
    EXPECT_FALSE(canvas.isEditingText());
    EXPECT_FALSE(host.editorIsEditingText());

    QSignalSpy tapped(&canvas, &EditorCanvas::backgroundTapped);
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_EQ(tapped.count(), 1);
    host.document.reset();
    emit host.editorDocumentChanged();
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(300, 300));
    canvas.repaint();
}
