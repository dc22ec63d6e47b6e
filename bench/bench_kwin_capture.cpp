// Capture through KWin's org.kde.KWin.ScreenShot2 on a headless KWin (one
// 1920x1080 output at scale 1, software rendering), this program authorised by a
// desktop entry of its own: BM_KWinGrab is the grabber's call → reply → pipe read
// into the image; BM_KWinFullScreenCommand the capture service's full-screen
// command → image, as the hot key and `lumivane capture full` run it. Photo-like
// content covers the output (a window of this program; KWin composites it into
// every frame). Skipped where KWin cannot run.
#include "KWinSession.h"
#include "capture/CaptureService.h"
#include "platform/DesktopBackend.h"
#include "platform/wayland/kwin/KWinScreenGrabber.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTest>
#include <benchmark/benchmark.h>

using namespace lumivane;

namespace {

std::unique_ptr<test::KWinSession> g_session;
std::shared_ptr<DesktopBackend> g_desktop;

class PhotoWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QRadialGradient sky(QPointF(width() * 0.3, height() * 0.2), width());
        sky.setColorAt(0, QColor(250, 220, 160));
        sky.setColorAt(0.5, QColor(90, 140, 200));
        sky.setColorAt(1, QColor(20, 40, 90));
        p.fillRect(QRect(QPoint(0, 0), size()), sky);
        p.setRenderHint(QPainter::Antialiasing);
        for (int i = 0; i < 400; ++i) {
            const int x = (i * 7919) % width(), y = (i * 104729) % height();
            p.setBrush(QColor::fromHsv((i * 37) % 360, 120, 200, 160));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPoint(x, y), 20 + i % 60, 10 + i % 40);
        }
    }
};

bool ready(benchmark::State& state) {
    if (g_desktop && g_desktop->grabber && g_desktop->grabber->refusal().isEmpty())
        return true;
    state.SkipWithError(g_session && !g_session->isRunning() ? qPrintable(g_session->errorText())
                                                             : "KWin's ScreenShot2 is not available to this program");
    return false;
}

void BM_KWinGrab(benchmark::State& state) {
    if (!ready(state))
        return;
    const ScreenInfo screen = g_desktop->screens->screens().front();
    for (auto _ : state) {
        const QImage image = g_desktop->grabber->grab(screen, QRectF(0, 0, 1920, 1080), {1920, 1080});
        if (image.isNull())
            state.SkipWithError("the grab failed");
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel("1920x1080 output, CaptureArea with native resolution");
}
BENCHMARK(BM_KWinGrab)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void BM_KWinFullScreenCommand(benchmark::State& state) {
    if (!ready(state))
        return;
    CaptureService service(*g_desktop);
    for (auto _ : state) {
        QFuture<ImageRef> f = service.captureFullScreen();
        f.waitForFinished();
        benchmark::DoNotOptimize(f.result()->constBits());
    }
    state.SetLabel("1920x1080, full-screen command to image");
}
BENCHMARK(BM_KWinFullScreenCommand)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    g_session = std::make_unique<test::KWinSession>();
    if (g_session->isRunning()) {
        g_session->exportToProcess();
        qputenv("QT_QPA_PLATFORM", "wayland");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    {
        QGuiApplication app(argc, argv);
        PhotoWindow window;
        if (g_session->isRunning() &&
            g_session->installEntry("io.github.lumivane.Bench.desktop", QCoreApplication::applicationFilePath())) {
            window.setFlag(Qt::FramelessWindowHint);
            window.showFullScreen();
            // Without the photo on the screen the grabs would time an empty desktop: skipped.
            if (QTest::qWaitForWindowExposed(&window)) {
                QTest::qWait(500);
                g_desktop = loadDesktopBackend();
                if (g_desktop->grabber)
                    g_desktop->grabber->prepare();
            }
        }
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        g_desktop.reset();
    }
    g_session.reset();
    return 0;
}
