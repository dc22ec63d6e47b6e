// Whole-page capture of a page ten viewports high in a real Chromium on a private
// 1920x1080 Xvfb: the scroll-and-stitch service against Chromium's own full-page
// screenshot (DevTools, captureBeyondViewport) in the same run, with this process's CPU
// time; and `lumivane capture browser` with its PNG export and file write.
#include "ChromiumSession.h"
#include "TestPages.h"

#include "browser/BrowserFullPageCaptureService.h"
#include "browser/DesktopBrowserCaptureEnvironment.h"
#include "cli/Cli.h"
#include "platform/x11/X11Backend.h"
#include "tests/support/XvfbServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>

using namespace lumivane;

namespace {

constexpr int screens = 10;
test::ChromiumSession* g_session = nullptr;
std::unique_ptr<DevToolsBridge> g_bridge;
std::unique_ptr<DesktopBrowserCaptureEnvironment> g_environment;
double g_viewportHeight = 0;

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Chromium's own full-page screenshot of the same tab: the page's whole content size as
// the clip, rendered beyond the viewport, one PNG.
QByteArray chromiumFullPageScreenshot() {
    const QJsonObject metrics = g_bridge->callPage("Page.getLayoutMetrics");
    const QJsonObject size = metrics.value("cssContentSize").toObject();
    const QJsonObject clip{{"x", 0},
                           {"y", 0},
                           {"width", size.value("width").toDouble()},
                           {"height", size.value("height").toDouble()},
                           {"scale", 1}};
    const QJsonObject shot = g_bridge->callPage(
        "Page.captureScreenshot", {{"format", "png"}, {"captureBeyondViewport", true}, {"clip", clip}}, 60000);
    return QByteArray::fromBase64(shot.value("data").toString().toLatin1());
}

// Ours against Chromium's own, alternating in the same run on the same page. Counters:
// seconds of each (wall clock), their ratio, and the CPU time of this process for ours.
void BM_TenScreenPageAgainstChromium(benchmark::State& state) {
    BrowserFullPageCaptureService service(*g_environment, *g_bridge);
    double ours = 0, chromium = 0, cpu = 0;
    int height = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        const double cpu0 = processCpuSeconds();
        clock.start();
        const BrowserCaptureResult result = service.captureFrontmostBrowserPage();
        ours += clock.nsecsElapsed() * 1e-9;
        cpu += processCpuSeconds() - cpu0;
        height = result.image->height();
        clock.restart();
        const QByteArray png = chromiumFullPageScreenshot();
        chromium += clock.nsecsElapsed() * 1e-9;
        if (png.isEmpty())
            state.SkipWithError("Chromium's full-page screenshot failed");
    }
    const double n = double(state.iterations());
    state.counters["oursSeconds"] = ours / n;
    state.counters["chromiumSeconds"] = chromium / n;
    state.counters["ratio"] = chromium > 0 ? ours / chromium : 0;
    state.counters["ourCpuSeconds"] = cpu / n;
    state.counters["outputHeight"] = height;
    state.counters["viewportHeight"] = g_viewportHeight;
}

void BM_TenScreenPageCommand(benchmark::State& state) {
    QTemporaryDir dir;
    const QString out = QDir(dir.path()).filePath("page.png");
    for (auto _ : state) {
        if (cli::commandCapture({"browser", "-o", out, "--devtools-port", "0"}) != cli::exitOk)
            state.SkipWithError("capture browser failed");
    }
    state.counters["pngBytes"] = double(QFile(out).size());
}

} // namespace

BENCHMARK(BM_TenScreenPageAgainstChromium)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_TenScreenPageCommand)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    test::XvfbServer server(QStringList{"-screen", "0", "1920x1080x24"});
    if (!server.isRunning()) {
        std::fprintf(stderr, "cannot start Xvfb: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    qputenv("DISPLAY", server.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir configHome;
    int rc = 1;
    {
        test::ChromiumSession session;
        g_session = &session;
        if (!session.isRunning() || !session.activateWindowAt({0, 0})) {
            std::fprintf(stderr, "cannot start chromium: %s\n", qPrintable(session.errorText()));
            return 1;
        }
        // The endpoint where the command looks for it.
        QDir(configHome.path()).mkpath("chromium");
        QFile::copy(QDir(session.profileDir()).filePath("DevToolsActivePort"),
                    QDir(configHome.path()).filePath("chromium/DevToolsActivePort"));
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        qputenv("HOME", configHome.path().toLocal8Bit()); // no Snap or Flatpak profile of the machine

        g_bridge = std::make_unique<DevToolsBridge>(session.bridgeOptions());
        g_environment = DesktopBrowserCaptureEnvironment::create(*makeX11Backend());
        g_viewportHeight = session.js("String(window.innerHeight)").toDouble();
        if (g_viewportHeight <= 0 || !session.openPage(session.writePage(
                                         "ten.html", test::markerPage(screens * 10, int(g_viewportHeight) / 10)))) {
            std::fprintf(stderr, "cannot prepare the page\n");
            return 1;
        }
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        g_environment.reset();
        g_bridge.reset();
        rc = 0;
    }
    return rc;
}
