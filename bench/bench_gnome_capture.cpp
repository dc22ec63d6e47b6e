// GNOME capture: our part of a portal screenshot, beside the portal's own round trip.
// GNOME's portal answers with a PNG that GNOME Shell wrote with libpng's defaults
// (RGBA, adaptive filters, level 6). BM_DecodeGnomePng decodes a 6400x2160 desktop
// written that way; BM_GnomeAnswerToOutputImage adds the cut and conversion of one
// output (scale 2 as copied pixels, scale 1 as exact 2x2 averages), the whole of our
// part. BM_GnomePortalRoundTrip times Screenshot call → Response → file read →
// decode → removal of GNOME's file, on a headless GNOME 43 desktop of that size
// with the permission stored, when this machine can start one.
#include "GnomeSession.h"
#include "capture/CaptureService.h"
#include "platform/CoordinateSpace.h"
#include "platform/wayland/PortalScreenshot.h"

#include <QFuture>
#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <png.h>

#include <vector>

using namespace lumivane;

namespace {

QByteArray g_png;
const QRectF g_bounds(0, 0, 3200, 1080);
std::unique_ptr<test::GnomeSession> g_session;

ScreenInfo screen(QRect native, double scale) {
    ScreenInfo s;
    s.nativeGeometry = native;
    s.frame = CoordinateSpace::frameForNative(native, native, 1.0, QRect(0, 0, 1920, 1080), 1.0);
    s.visibleFrame = s.frame;
    s.scale = scale;
    s.screenId = 1;
    return s;
}

void append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

// A desktop of windows with text over gradients, written as GNOME Shell writes it.
QByteArray gnomeLikePng() {
    QImage image(6400, 2160, QImage::Format_RGBA8888);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 6400, 2160);
    g.setColorAt(0, QColor(30, 80, 160));
    g.setColorAt(1, QColor(200, 120, 40));
    p.fillRect(QRect(0, 0, 3840, 2160), g);
    p.fillRect(QRect(3840, 0, 2560, 1440), g);
    p.fillRect(QRect(0, 0, 6400, 56), QColor(20, 20, 20));
    for (int i = 0; i < 12; ++i) {
        const QRect w(200 + i * 430, 150 + (i % 3) * 500, 900, 700);
        p.fillRect(w & QRect(0, 0, 6400, 2160), QColor(245, 245, 245));
        p.setPen(Qt::black);
        for (int line = 0; line < 30; ++line)
            p.drawText(w.adjusted(20, 40 + line * 22, -20, 0),
                       QStringLiteral("Lumivane benchmark line %1 of window %2").arg(line).arg(i));
    }
    p.end();
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, append, nullptr);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, image.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

void BM_DecodeGnomePng(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(PortalScreenshot::snapshotFromPng(g_png, g_bounds).image.constBits());
    state.SetLabel("6400x2160 RGBA, libpng defaults");
}
BENCHMARK(BM_DecodeGnomePng)->Unit(benchmark::kMillisecond)->Iterations(8);

void BM_GnomeAnswerToOutputImage(benchmark::State& state) {
    const bool scaleTwo = state.range(0) == 2;
    const ScreenInfo s = scaleTwo ? screen(QRect(1920, 0, 1280, 720), 2.0) : screen(QRect(0, 0, 1920, 1080), 1.0);
    for (auto _ : state) {
        const DesktopSnapshot snapshot = PortalScreenshot::snapshotFromPng(g_png, g_bounds);
        const QImage out =
            CaptureService::composeFromSnapshot(snapshot, CaptureService::planSegments({s}, s.frame), s.frame);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetLabel(scaleTwo ? "decode + scale-2 output 2560x1440" : "decode + scale-1 output 1920x1080");
}
BENCHMARK(BM_GnomeAnswerToOutputImage)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(8)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_GnomePortalRoundTrip(benchmark::State& state) {
    // Started here, after our part was timed: a running gnome-shell draws with llvmpipe
    // on the same cores.
    if (!g_session) {
        g_session = std::make_unique<test::GnomeSession>(QStringLiteral("6400x2160"));
        if (g_session->isRunning())
            g_session->exportToProcess();
    }
    if (!g_session->isRunning()) {
        state.SkipWithError("no headless GNOME desktop here");
        return;
    }
    if (!g_session->setScreenshotPermission("yes")) {
        state.SkipWithError("cannot store the screenshot permission");
        return;
    }
    PortalScreenshot portal([] { return QRectF(0, 0, 6400, 2160); });
    for (auto _ : state) {
        QFuture<DesktopSnapshot> f = portal.snapshot();
        f.waitForFinished();
        benchmark::DoNotOptimize(f.result().image.constBits());
    }
    state.SetLabel("whole 6400x2160 desktop through xdg-desktop-portal-gnome");
}
BENCHMARK(BM_GnomePortalRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int rc = 0;
    {
        QGuiApplication app(argc, argv);
        g_png = gnomeLikePng();
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
    }
    g_session.reset();
    return rc;
}
