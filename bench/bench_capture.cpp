// Screen capture speed against a private 3840x2160 Xvfb: a full-screen grab,
// an area spanning two RandR monitors, and ImageMagick's `import -window root`.
#include "capture/CaptureService.h"
#include "platform/x11/X11Backend.h"
#include "tests/support/XvfbServer.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace lumivane;

namespace {

std::unique_ptr<test::XvfbServer> g_server;      // one 3840x2160 screen
std::unique_ptr<test::XvfbServer> g_splitServer; // the same root split into two monitors
std::unique_ptr<CaptureService> g_service;
std::unique_ptr<CaptureService> g_splitService;
QByteArray g_display;

void BM_FullScreenCapture(benchmark::State& state) {
    for (auto _ : state) {
        auto f = g_service->captureFullScreen();
        f.waitForFinished();
        benchmark::DoNotOptimize(f.result());
    }
}

void BM_AreaAcrossTwoScreens(benchmark::State& state) {
    // Left monitor 1920x2160 at (0,0), right monitor 1920x2160 at (1920,0).
    for (auto _ : state) {
        auto f = g_splitService->capture(QRectF(960, 0, 1920, 1080));
        f.waitForFinished();
        benchmark::DoNotOptimize(f.result());
    }
}

void BM_ImportWindowRoot(benchmark::State& state) {
    QTemporaryDir dir;
    const QString out = dir.filePath("root.bmp");
    for (auto _ : state) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromLocal8Bit(g_display));
        p.setProcessEnvironment(env);
        p.start("import", {"-window", "root", out});
        p.waitForFinished(-1);
    }
}

} // namespace

BENCHMARK(BM_FullScreenCapture)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_AreaAcrossTwoScreens)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ImportWindowRoot)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    g_server = std::make_unique<test::XvfbServer>(QStringList{"-screen", "0", "3840x2160x24"});
    if (!g_server->isRunning())
        return 1;
    g_display = g_server->display().toLocal8Bit();
    qputenv("DISPLAY", g_display);
    if (auto desktop = makeX11Backend())
        g_service = std::make_unique<CaptureService>(*desktop);
    g_splitServer = std::make_unique<test::XvfbServer>(QStringList{"-screen", "0", "3840x2160x24"});
    if (!g_service || !g_splitServer->isRunning())
        return 1;
    qputenv("DISPLAY", g_splitServer->display().toLocal8Bit());
    QProcess::execute("xrandr", {"--setmonitor", "L", "1920/500x2160/280+0+0", "screen"});
    QProcess::execute("xrandr", {"--setmonitor", "R", "1920/500x2160/280+1920+0", "none"});
    if (auto desktop = makeX11Backend())
        g_splitService = std::make_unique<CaptureService>(*desktop);
    if (!g_splitService)
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_service.reset();
    g_splitService.reset();
    g_server.reset();
    g_splitServer.reset();
    return 0;
}
