#include "history/HistoryStore.h"
#include "editor_model/ProjectFile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace lumivane;

namespace {

EditorDocument documentOf(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    EditorDocument document;
    document.baseImage = makeImage(image);
    return document;
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// Every entry opens as a project of the expected size and has its thumbnail; no other
// file is in the folder.
void expectOnlyWholeEntries(const QString& folder, QSize imageSize) {
    HistoryStore store(folder);
    const auto entries = store.entries();
    for (const HistoryEntry& e : entries) {
        const std::optional<EditorDocument> document = ProjectFile::readFile(e.projectPath).makeDocument();
        ASSERT_TRUE(document) << e.key.toStdString();
        EXPECT_EQ(document->baseImage->size(), imageSize);
        EXPECT_FALSE(QImage(e.thumbnailPath).isNull()) << e.key.toStdString();
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), qsizetype(entries.size() * 2));
}

} // namespace

TEST(HistoryStore, KeepsTheNewestWithinTheCountAndTheBytes) {
    struct Case {
        const char* name;
        int maximumEntries;
        qint64 maximumBytes;
        int added;
        size_t kept;
    };
    // One entry of a 64 × 64 plain image takes about a kilobyte.
    const Case cases[] = {
        {"under both", 50, qint64(500) << 20, 7, 7},
        {"count", 3, qint64(500) << 20, 7, 3},
        {"bytes", 50, 4000, 7, 0}, // as many as fit
        {"newest kept past the bytes", 50, 1, 3, 1},
    };
    for (Case c : cases) {
        QTemporaryDir dir;
        HistoryStore store(dir.filePath("history"));
        std::vector<QString> keys;
        qint64 entryBytes = 0;
        for (int i = 0; i < c.added; ++i) {
            const auto entry = store.add(documentOf({64, 64}, qRgb(10 * i, 0, 0)), {c.maximumEntries, c.maximumBytes});
            ASSERT_TRUE(entry) << c.name;
            keys.push_back(entry->key);
            entryBytes = entry->bytes;
        }
        const auto entries = store.entries();
        if (c.kept > 0) {
            ASSERT_EQ(entries.size(), c.kept) << c.name;
        } else {
            ASSERT_TRUE(entries.size() > 1 && entries.size() < size_t(c.added)) << entries.size();
        }
        qint64 total = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].key, keys[keys.size() - 1 - i]) << c.name; // newest first
            total += entries[i].bytes;
        }
        if (entries.size() > 1) {
            EXPECT_LE(total, c.maximumBytes) << c.name;
        }
        if (c.kept == 0) { // one more would not have fitted
            EXPECT_GT(total + entryBytes, c.maximumBytes);
        }
        expectOnlyWholeEntries(dir.filePath("history"), {64, 64});
    }
}

TEST(HistoryStore, EntriesArePrivateAndReopenAsProjects) {
    QTemporaryDir dir;
    HistoryStore store(dir.filePath("history"));
    const auto entry = store.add(documentOf({1200, 300}, qRgb(0, 200, 0)), {});
    ASSERT_TRUE(entry);
    EXPECT_EQ(modeOf(store.folder()), 0700);
    EXPECT_EQ(modeOf(entry->projectPath), 0600);
    EXPECT_EQ(modeOf(entry->thumbnailPath), 0600);
    const QImage thumbnail(entry->thumbnailPath);
    EXPECT_EQ(thumbnail.size(), QSize(HistoryStore::thumbnailSide, 80));
    const auto document = ProjectFile::readFile(entry->projectPath).makeDocument();
    ASSERT_TRUE(document);
    EXPECT_EQ(document->baseImage->pixel(5, 5), qRgb(0, 200, 0));

    EXPECT_TRUE(store.remove(*entry));
    EXPECT_TRUE(store.entries().empty());
    EXPECT_TRUE(QDir(store.folder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(HistoryStore, HalfEntriesAreSkippedAndCleaned) {
    QTemporaryDir dir;
    HistoryStore store(dir.filePath("history"));
    ASSERT_TRUE(store.add(documentOf({32, 32}, qRgb(1, 2, 3)), {}));
    const QDir folder(store.folder());
    // A thumbnail whose project never came, a project without its thumbnail, and a
    // partial file of a writer that no longer runs.
    QFile::copy(store.entries()[0].thumbnailPath, folder.filePath("1700000000000-0000.png"));
    QFile::copy(store.entries()[0].projectPath, folder.filePath("1700000000001-0000.lumivane"));
    QFile partial(folder.filePath(".1700000000002-0000.lumivane.lumivane-partial-999999999-abcdef"));
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
    partial.write("{\"ver");
    partial.close();
    EXPECT_EQ(store.entries().size(), 1u);
    store.clean();
    expectOnlyWholeEntries(store.folder(), {32, 32});
    EXPECT_EQ(store.entries().size(), 1u);
}

TEST(HistoryStore, KilledWriterNeverLeavesABrokenEntry) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("history");
    int written = 0;
    for (int round = 0; round < 4; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(LUMIVANE_HISTORY_WRITER), {folder});
        ASSERT_TRUE(writer.waitForStarted());
        // Long enough for a few entries, killed at a different point each time.
        QThread::msleep(1000 + QRandomGenerator::global()->bounded(1500));
        writer.kill(); // SIGKILL
        writer.waitForFinished();
        written += writer.readAllStandardOutput().count('\n');
        HistoryStore store(folder);
        store.clean();
        expectOnlyWholeEntries(folder, {400, 300});
        // Killed between an entry and the trim, it leaves one over; the next add trims.
        EXPECT_LE(store.entries().size(), 6u);
    }
    HistoryStore store(folder);
    EXPECT_GT(written + int(store.entries().size()), 0) << "the writer never finished an entry";
    ASSERT_TRUE(store.add(documentOf({400, 300}, qRgb(9, 9, 9)), {5, qint64(1) << 40}));
    EXPECT_LE(store.entries().size(), 5u);
}
