// Wayland full-screen capture: our part on top of the portal's round trip. The
// portal's answer is a PNG of the whole layout at the highest output scale; a
// 6400x2160 desktop (a 1920x1080 output at scale 1 beside a 2560x1440 output at
// scale 2, as the wlr backend composes them) is decoded, checked against the
// outputs, and one output is cut out (exact copy at scale 2, exact 2x2 averaging
// at scale 1). BM_PortalRoundTrip times the whole request (the desktop's part
// included) on the test desktop, a headless sway with the wlr portal of that same
// layout, when this machine can start one. The X11 figure to set beside these is
// bench_capture's BM_FullScreenCapture.
#include "WaylandSession.h"
#include "capture/CaptureService.h"
#include "platform/CoordinateSpace.h"
#include "platform/wayland/PortalScreenshot.h"

#include <QBuffer>
#include <QFuture>
#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

using namespace lumivane;

namespace {

QByteArray g_png;
const QRectF g_bounds(0, 0, 3200, 1080);

ScreenInfo screen(QRect native, double scale) {
    ScreenInfo s;
    s.nativeGeometry = native;
    s.frame = CoordinateSpace::frameForNative(native, native, 1.0, QRect(0, 0, 1920, 1080), 1.0);
    s.visibleFrame = s.frame;
    s.scale = scale;
    s.screenId = 1;
    return s;
}

// Desktop-like content: windows, text and gradients, so the PNG does not collapse to nothing.
QByteArray desktopPng() {
    QImage image(6400, 2160, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 6400, 2160);
    g.setColorAt(0, QColor(30, 80, 160));
    g.setColorAt(1, QColor(200, 120, 40));
    p.fillRect(QRect(0, 0, 3840, 2160), g);
    p.fillRect(QRect(3840, 0, 2560, 1440), g);
    for (int i = 0; i < 12; ++i) {
        const QRect w(200 + i * 430, 150 + (i % 3) * 500, 900, 700);
        p.fillRect(w & QRect(0, 0, 6400, 2160), QColor(245, 245, 245));
        p.setPen(Qt::black);
        for (int line = 0; line < 30; ++line)
            p.drawText(w.adjusted(20, 40 + line * 22, -20, 0),
                       QStringLiteral("Lumivane benchmark line %1 of window %2").arg(line).arg(i));
    }
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

void BM_PortalAnswerToOutputImage(benchmark::State& state) {
    const bool scaleTwo = state.range(0) == 2;
    const ScreenInfo s = scaleTwo ? screen(QRect(1920, 0, 1280, 720), 2.0) : screen(QRect(0, 0, 1920, 1080), 1.0);
    for (auto _ : state) {
        const DesktopSnapshot snapshot = PortalScreenshot::snapshotFromPng(g_png, g_bounds);
        const QImage out =
            CaptureService::composeFromSnapshot(snapshot, CaptureService::planSegments({s}, s.frame), s.frame);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetLabel(scaleTwo ? "scale-2 output 2560x1440" : "scale-1 output 1920x1080");
}
void BM_DecodeOnly(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(PortalScreenshot::snapshotFromPng(g_png, g_bounds).image.constBits());
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK(BM_PortalAnswerToOutputImage)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(5);

std::unique_ptr<test::WaylandSession> g_session;

// Screenshot call → Response → file read → decode, on the test desktop.
void BM_PortalRoundTrip(benchmark::State& state) {
    if (!g_session || !g_session->isRunning()) {
        state.SkipWithError("no headless Wayland desktop here");
        return;
    }
    PortalScreenshot portal([] { return g_bounds; });
    for (auto _ : state) {
        QFuture<DesktopSnapshot> f = portal.snapshot();
        f.waitForFinished();
        benchmark::DoNotOptimize(f.result().image.constBits());
    }
    state.SetLabel("whole 6400x2160 desktop through xdg-desktop-portal-wlr");
}
BENCHMARK(BM_PortalRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // The session's bus for the portal; Qt itself stays offscreen.
    g_session = std::make_unique<test::WaylandSession>();
    if (g_session->isRunning())
        g_session->exportToProcess();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    g_png = desktopPng();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
