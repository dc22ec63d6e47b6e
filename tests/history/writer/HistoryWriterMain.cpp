// Writes history entries into a folder until it is killed: the tests kill it with
// SIGKILL at random moments and check what it leaves behind.
#include "history/HistoryStore.h"

#include <QGuiApplication>
#include <QImage>
#include <QRandomGenerator>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: history-writer FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    lumivane::HistoryStore store(QString::fromLocal8Bit(argv[1]));
    // Noise compresses badly: each write takes long enough to be killed in the middle.
    QImage image(400, 300, QImage::Format_RGB32);
    for (int i = 0;; ++i) {
        auto* random = QRandomGenerator::global();
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = 0xff000000u | (random->generate() & 0xffffffu);
        }
        lumivane::EditorDocument document;
        document.baseImage = lumivane::makeImage(image);
        QString error;
        if (!store.add(document, {5, qint64(1) << 40}, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}
