// Editor renderer speed: a 3840×2160 document with the background frame, five
// 400×300 blur boxes at radius 16, three pixelate boxes, a spotlight and twenty
// shapes, arrows, texts and marker strokes. Also the cost of one blur box alone on
// two image sizes (it must follow the box, not the image).
#include "editor/AnnotationEffects.h"
#include "editor/EditorRenderer.h"
#include "tests/export/ExportTestSupport.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace lumivane;

namespace {

Annotation annotation(AnnotationKind kind, QRectF rect, RgbaColor color = RgbaColor::accent()) {
    Annotation a;
    a.id = QUuid::createUuid();
    a.kind = kind;
    a.rect = rect;
    a.color = color;
    a.lineWidth = 6;
    a.fontSize = 28;
    a.text = "Text";
    return a;
}

EditorDocument benchmarkDocument(int width, int height) {
    EditorDocument d = EditorDocument::fresh(makeImage(test::uiLikeImage(width, height)));
    d.backgroundStyle.isEnabled = true;
    for (int i = 0; i < 5; ++i) {
        Annotation blur = annotation(AnnotationKind::blur, {200.0 + i * 700, 300, 400, 300});
        blur.effectIntensity = 16;
        d.annotations.push_back(blur);
    }
    for (int i = 0; i < 3; ++i) {
        Annotation pix = annotation(AnnotationKind::pixelate, {300.0 + i * 1100, 900, 400, 300});
        pix.effectIntensity = 14;
        d.annotations.push_back(pix);
    }
    for (int i = 0; i < 20; ++i) {
        const int column = i % 10, row = i / 10;
        const double x = 150 + column * 360, y = 1350 + row * 350;
        switch (i % 5) {
        case 0:
            d.annotations.push_back(annotation(AnnotationKind::rectangle, {x, y, 300, 200}));
            break;
        case 1:
            d.annotations.push_back(annotation(AnnotationKind::ellipse, {x, y, 300, 200}));
            break;
        case 2: {
            Annotation a = annotation(AnnotationKind::arrow, {x, y, 300, 200});
            a.arrowStart = QPointF(x, y);
            a.arrowEnd = QPointF(x + 300, y + 200);
            d.annotations.push_back(a);
            break;
        }
        case 3: {
            Annotation t = annotation(AnnotationKind::text, {x, y, 0, 0}, {0, 0, 0, 1});
            t.text = "注釈テキスト\nSecond line";
            d.annotations.push_back(t);
            break;
        }
        case 4: {
            Annotation m = annotation(AnnotationKind::marker, {}, {1, 0.8, 0, 0.34});
            m.lineWidth = 18;
            for (int k = 0; k <= 60; ++k)
                m.markerPoints.emplace_back(x + k * 5, y + 100 + 30 * std::sin(k / 6.0));
            m.rebuildDerivedRect();
            d.annotations.push_back(m);
            break;
        }
        }
    }
    Annotation spot = annotation(AnnotationKind::spotlight, {1500, 200, 900, 600}, {0, 0, 0, 0.52});
    spot.effectIntensity = 0.52;
    d.annotations.push_back(spot);
    return d;
}

void BM_RenderFullDocument4K(benchmark::State& state) {
    const EditorDocument d = benchmarkDocument(3840, 2160);
    for (auto _ : state) {
        auto image = EditorRenderer::render(d);
        benchmark::DoNotOptimize(image);
    }
    if (const char* path = std::getenv("LUMIVANE_BENCH_RENDER_OUT"))
        EditorRenderer::render(d)->save(path);
}

// The same image with only the frame (no annotations), and with nothing at all.
void BM_RenderFrameOnly4K(benchmark::State& state) {
    EditorDocument d = EditorDocument::fresh(makeImage(test::uiLikeImage(3840, 2160)));
    d.backgroundStyle.isEnabled = state.range(0) != 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(EditorRenderer::render(d));
    state.SetLabel(d.backgroundStyle.isEnabled ? "frame" : "no frame");
}

// One 400×300 blur at radius 16 on images of different sizes: the time should not grow.
void BM_SingleBlurBox(benchmark::State& state) {
    const int side = int(state.range(0));
    const QImage base = test::uiLikeImage(side, side);
    Annotation blur = annotation(AnnotationKind::blur, {100, 100, 400, 300});
    blur.effectIntensity = 16;
    for (auto _ : state) {
        QRect r;
        benchmark::DoNotOptimize(AnnotationEffects::effectImage(base, blur, &r));
    }
    state.SetLabel(std::to_string(side) + "x" + std::to_string(side) + " image");
}

} // namespace

BENCHMARK(BM_RenderFullDocument4K)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RenderFrameOnly4K)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleBlurBox)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
