// The history window with 1,000 kept captures (offscreen Qt, real widgets, real
// files): from reading the folder to the first paint of the list, the thumbnails of
// the visible rows still loading in the background. Target: under 300 ms.
#include "history/HistoryStore.h"
#include "history/HistoryWindow.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

using namespace lumivane;

namespace {

// A folder of `count` entries: one real entry of a 1920 × 1080 capture, copied under
// later keys (writing each would only time the PNG encoder).
QString historyOf(QTemporaryDir& dir, int count) {
    const QString folder = dir.filePath("history");
    HistoryStore store(folder);
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x & 0xff, y & 0xff, (x * y) & 0xff));
    EditorDocument document;
    document.baseImage = makeImage(image);
    const auto first = store.add(document, {count, qint64(1) << 40});
    const qint64 start = first->capturedAt.toMSecsSinceEpoch();
    for (int i = 1; i < count; ++i) {
        const QString key = QStringLiteral("%1-0000").arg(start + i * 1000, 13, 10, QLatin1Char('0'));
        QFile::copy(first->projectPath, QDir(folder).filePath(key + ".lumivane"));
        QFile::copy(first->thumbnailPath, QDir(folder).filePath(key + ".png"));
    }
    return folder;
}

struct PaintWatch : QObject {
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void BM_OpenHistoryWindow1000(benchmark::State& state) {
    QTemporaryDir dir;
    const QString folder = historyOf(dir, 1000);
    for (auto _ : state) {
        PaintWatch watch;
        HistoryStore store(folder);
        auto entries = store.entries();
        HistoryWindow window({});
        window.view()->viewport()->installEventFilter(&watch);
        window.setEntries(std::move(entries));
        window.show();
        while (!watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.PauseTiming();
        if (window.model().rowCount() != 1000)
            state.SkipWithError("not every entry listed");
        window.close();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_OpenHistoryWindow1000)->Unit(benchmark::kMillisecond)->Iterations(10);
