// Hot key to visible preview panel on a private 3840x2160 Xvfb: from the hot-key
// action reaching the application model to the panel's window being exposed (the
// full-screen capture, the model's hand-over and the panel's first paint).
#include "MemorySettingsStore.h"
#include "app/AppModel.h"
#include "app/Application.h"
#include "platform/x11/X11Backend.h"
#include "tests/support/XvfbServer.h"

#include <QApplication>
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

void BM_HotKeyToPreviewVisible4K(benchmark::State& state) {
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
        if (QWidget* panel = previewPanel())
            panel->hide();
        const ImageRef before = model.currentCapture() ? model.currentCapture()->image : nullptr;
        model.handleHotKey(HotKeyService::Action::captureFullScreen);
        (void)QTest::qWaitFor([&] { return model.currentCapture() && model.currentCapture()->image != before; }, 10000);
        QWidget* panel = previewPanel();
        if (!panel || !QTest::qWaitForWindowExposed(panel, 10000)) {
            state.SkipWithError("panel did not appear");
            return;
        }
    }
}

} // namespace

BENCHMARK(BM_HotKeyToPreviewVisible4K)
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
