// Hot key to visible preview panel on a private 3840x2160 Xvfb: from the hot-key
// action reaching the application model to the panel's window being exposed (the
// full-screen capture, the model's hand-over and the panel's first paint). The same
// for the window hot key, with openbox managing a 1600x1000 active window.
#include "MemorySettingsStore.h"
#include "app/AppModel.h"
#include "app/Application.h"
#include "platform/x11/X11Backend.h"
#include "tests/support/XvfbServer.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <benchmark/benchmark.h>

using namespace lumivane;

namespace {

QWidget* previewPanel() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == "Lumivane プレビュー")
            return w;
    return nullptr;
}

void hotKeyToPreview(benchmark::State& state, HotKeyService::Action action, const std::function<void()>& beforeEach) {
    auto desktop = makeX11Backend();
    if (!desktop) {
        state.SkipWithError("no X server");
        return;
    }
    AppModel* modelPtr = nullptr;
    AppServices services = makeDesktopServices(desktop, [&modelPtr] { return modelPtr; });
    services.hotKeys.reset();
    AppModel model(std::make_unique<AppSettings>(std::make_unique<test::MemorySettingsStore>()), services);
    modelPtr = &model;
    for (auto _ : state) {
        state.PauseTiming();
        if (QWidget* panel = previewPanel())
            panel->hide();
        if (beforeEach)
            beforeEach();
        state.ResumeTiming();
        const ImageRef before = model.currentCapture() ? model.currentCapture()->image : nullptr;
        model.handleHotKey(action);
        (void)QTest::qWaitFor([&] { return model.currentCapture() && model.currentCapture()->image != before; }, 10000);
        QWidget* panel = previewPanel();
        if (!panel || !QTest::qWaitForWindowExposed(panel, 10000)) {
            state.SkipWithError("panel did not appear");
            return;
        }
    }
}

void BM_HotKeyToPreviewVisible4K(benchmark::State& state) {
    hotKeyToPreview(state, HotKeyService::Action::captureFullScreen, {});
}

// The active window is the application's own 1600x1000 window, framed by openbox.
void BM_WindowHotKeyToPreviewVisible4K(benchmark::State& state) {
    static QProcess* wm = nullptr;
    if (!wm) {
        wm = new QProcess; // ends with the benchmark's X server
        wm->setStandardOutputFile(QProcess::nullDevice());
        wm->setStandardErrorFile(QProcess::nullDevice());
        wm->start("openbox", {"--sm-disable"});
        if (!wm->waitForStarted(5000)) {
            state.SkipWithError("cannot start openbox");
            return;
        }
        QTest::qWait(1000);
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("lumivane-bench-window"));
    window.resize(1600, 1000);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 10000)) {
        state.SkipWithError("the window did not appear");
        return;
    }
    hotKeyToPreview(state, HotKeyService::Action::captureWindow, [&window] {
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window, 2000);
    });
}

} // namespace

BENCHMARK(BM_HotKeyToPreviewVisible4K)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_WindowHotKeyToPreviewVisible4K)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    test::XvfbServer server({"-screen", "0", "3840x2160x24"});
    if (!server.isRunning())
        return 1;
    qputenv("DISPLAY", server.display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
