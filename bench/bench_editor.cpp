// Editor interaction on a 3840×2160 document (offscreen Qt, real widgets):
// - selecting an annotation must not render or encode the picture again (the
//   drag-out export keeps its prepared PNG); counters report renders and new keys;
// - one drag of a rectangle with the select tool (press, 20 moves, release),
//   timed on the UI thread, history commit and bar refreshes included; the drag
//   control's background encoding of the new picture runs meanwhile on its queue.
#include "TestEditorHost.h"
#include "editor/EditorBottomBar.h"
#include "editor/EditorCanvas.h"
#include "editor/EditorTopBar.h"
#include "editor/EditorWindowController.h"
#include "tests/export/ExportTestSupport.h"

#include <QApplication>
#include <QTest>
#include <atomic>
#include <benchmark/benchmark.h>

using namespace lumivane;

namespace {

struct Editor4K {
    test::TestEditorHost host;
    std::unique_ptr<EditorWindowController> controller;
    std::shared_ptr<std::atomic<int>> renders = std::make_shared<std::atomic<int>>(0);
    QUuid rectangle;

    Editor4K() {
        host.document = EditorDocument::fresh(makeImage(test::uiLikeImage(3840, 2160)));
        Annotation a;
        a.id = QUuid::createUuid();
        a.kind = AnnotationKind::rectangle;
        a.rect = QRectF(800, 500, 900, 600);
        a.lineWidth = 6;
        a.color = RgbaColor::accent();
        host.document->annotations.push_back(a);
        rectangle = a.id;
        controller = std::make_unique<EditorWindowController>(host);
        // Count every render of the drag control's source (each is followed by a PNG encode).
        DragExportButton* drag = bottom()->dragButton();
        auto source = drag->sourceProvider;
        drag->sourceProvider = [source, renders = renders]() -> DragExportCache::ImageSource {
            return [inner = source(), renders] {
                ++*renders;
                return inner();
            };
        };
        emit host.editorDocumentChanged();
        controller->present();
        QApplication::processEvents();
        waitForExport();
    }
    EditorBottomBar* bottom() const { return controller->view()->canvasHost()->bottomBar(); }
    EditorCanvas* canvas() const { return controller->view()->canvasHost()->canvas(); }
    void waitForExport() {
        DragExportButton* drag = bottom()->dragButton();
        for (int i = 0; i < 3000 && !drag->cache().isPrepared(drag->keyProvider()); ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
};

void BM_SelectAnnotation4K(benchmark::State& state) {
    Editor4K editor;
    const int rendersBefore = *editor.renders;
    const quint64 keyBefore = editor.bottom()->exportGeneration();
    bool selected = false;
    for (auto _ : state) {
        selected = !selected;
        if (selected)
            editor.host.document->selectedAnnotationID = editor.rectangle;
        else
            editor.host.document->selectedAnnotationID.reset();
        emit editor.host.editorDocumentChanged();
        QApplication::processEvents();
    }
    // Let any background work that a selection might have started show up.
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    state.counters["renders"] = *editor.renders - rendersBefore;
    state.counters["newExportKeys"] = double(editor.bottom()->exportGeneration() - keyBefore);
    if (*editor.renders != rendersBefore)
        state.SkipWithError("a selection rendered and encoded the picture");
}

void BM_DragRectangle4K(benchmark::State& state) {
    Editor4K editor;
    editor.host.document->selectedTool = AnnotationTool::select;
    EditorCanvas* canvas = editor.canvas();
    const double scale = canvas->imageRect().width() / 3840.0;
    int direction = 1;
    for (auto _ : state) {
        const Annotation* a = editor.host.document->find(editor.rectangle);
        const QPoint start = (canvas->imageRect().topLeft() + a->rect.center() * scale).toPoint();
        QTest::mousePress(canvas, Qt::LeftButton, {}, start);
        for (int i = 1; i <= 20; ++i)
            QTest::mouseMove(canvas, start + QPoint(direction * i * 4, i * 2));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, start + QPoint(direction * 80, 40));
        QApplication::processEvents();
        direction = -direction;
    }
    state.counters["undoSteps"] = double(editor.host.history.undoStack.size());
}

} // namespace

BENCHMARK(BM_SelectAnnotation4K)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_DragRectangle4K)->Unit(benchmark::kMillisecond)->Iterations(10);
