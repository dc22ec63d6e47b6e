// Pens and numbered steps on a 3840×2160 document: 500 freehand strokes of about
// sixty points each and 50 step markers (every other one with a tail).
// - the whole document flattened by the renderer, wall time (target: under 100 ms);
// - one pen move in progress on the canvas at full size: the pointer event and the
//   repaint of the area it changed (target: under 8 ms).
#include "TestEditorHost.h"
#include "editor/EditorCanvas.h"
#include "editor/EditorRenderer.h"
#include "editor_model/StepMarkers.h"
#include "tests/export/ExportTestSupport.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTest>
#include <benchmark/benchmark.h>

using namespace lumivane;

namespace {

EditorDocument penAndStepDocument() {
    EditorDocument d = EditorDocument::fresh(makeImage(test::uiLikeImage(3840, 2160)));
    QRandomGenerator random(7);
    for (int i = 0; i < 500; ++i) {
        Annotation pen;
        pen.id = QUuid::createUuid();
        pen.kind = AnnotationKind::pen;
        pen.color = {random.bounded(1.0), 0.2, 0.6, 1};
        pen.lineWidth = 3 + i % 6;
        QPointF p(random.bounded(3600.0) + 100, random.bounded(1900.0) + 100);
        for (int k = 0; k < 60; ++k) {
            pen.markerPoints.push_back(p);
            p += QPointF(random.bounded(12.0) - 3, random.bounded(12.0) - 6);
        }
        pen.rebuildDerivedRect();
        d.annotations.push_back(pen);
    }
    for (int i = 0; i < 50; ++i) {
        Annotation step;
        step.id = QUuid::createUuid();
        step.kind = AnnotationKind::step;
        step.color = {1, 0.23, 0.19, 1};
        step.rect = StepMarker::circleRect({150.0 + (i % 10) * 360, 200.0 + (i / 10) * 400}, 48);
        if (i % 2)
            step.arrowEnd = step.rect.center() + QPointF(120, 90);
        d.annotations.push_back(step);
    }
    renumberSteps(d.annotations);
    return d;
}

void BM_RenderPenAndSteps4K(benchmark::State& state) {
    const EditorDocument document = penAndStepDocument();
    for (auto _ : state) {
        auto image = EditorRenderer::render(document);
        benchmark::DoNotOptimize(image);
    }
}

void BM_PenStrokeInProgress4K(benchmark::State& state) {
    test::TestEditorHost host;
    host.document = penAndStepDocument();
    host.document->selectedTool = AnnotationTool::pen;
    EditorCanvas canvas(host);
    canvas.setViewportSize(QSize(3840 + 90, 2160 + 56)); // one view point per image point
    canvas.show();
    (void)QTest::qWaitForWindowExposed(&canvas);
    QApplication::processEvents();
    QPoint at = canvas.imageRect().topLeft().toPoint() + QPoint(1800, 1000);
    QTest::mousePress(&canvas, Qt::LeftButton, {}, at);
    int step = 0;
    for (auto _ : state) {
        at += QPoint(3, (step++ % 8) < 4 ? 2 : -2);
        QTest::mouseMove(&canvas, at);
        QApplication::processEvents(); // the repaint of the dirty area
    }
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, at);
    state.counters["annotations"] = double(host.document->annotations.size());
}

} // namespace

BENCHMARK(BM_RenderPenAndSteps4K)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_PenStrokeInProgress4K)->Unit(benchmark::kMillisecond)->Iterations(200);
