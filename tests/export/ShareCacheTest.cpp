// Share-file cache: capacity, expiry, replacement and unique names, with a
// controllable clock and real files in a private folder.
#include "export/ShareExporter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

// Read by the clean-up thread, so the offset is atomic.
struct FakeClock {
    const QDateTime base = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    std::atomic<qint64> offset{0};
    QDateTime now() const { return base.addSecs(offset); }
    void advance(qint64 seconds) { offset += seconds; }
};

class ShareCacheTest : public ::testing::Test {
protected:
    // Stores files <prefix>0.png … <prefix>11.png under keys k0 … k11, the clock moved
    // on a second after each while `advancing(i)`.
    std::vector<QString> fillCache(const QString& prefix, const std::function<bool(int)>& advancing) {
        std::vector<QString> files;
        for (int i = 0; i < 12; ++i) {
            files.push_back(makeFile(QString("%1%2.png").arg(prefix).arg(i)));
            cache.createShareItem(QString("k%1").arg(i), files.back());
            if (advancing(i))
                clock->advance(1);
        }
        return files;
    }
    QString makeFile(const QString& name) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        return path;
    }
    QTemporaryDir dir;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    ShareItemCache cache{[c = clock] { return c->now(); }};
};

TEST_F(ShareCacheTest, ThirteenthItemEvictsTheLeastRecentlyUsedAndDeletesItsFile) {
    const std::vector<QString> files = fillCache("f", [](int) { return true; });
    // k0 is the oldest but used again; k1 is now the least recently used.
    ASSERT_TRUE(cache.touchCachedItem("k0"));
    clock->advance(1);
    const QString newest = makeFile("f12.png");
    cache.createShareItem("k12", newest);

    EXPECT_EQ(cache.count(), 12u);
    EXPECT_FALSE(cache.peek("k1"));
    EXPECT_FALSE(QFileInfo::exists(files[1]));
    EXPECT_TRUE(cache.peek("k0"));
    EXPECT_TRUE(QFileInfo::exists(files[0]));
    EXPECT_TRUE(QFileInfo::exists(newest));
}

TEST_F(ShareCacheTest, EqualLastUseEvictsTheEarlierCreated) {
    // Items stored in the same instant and never used again differ only by creation.
    const std::vector<QString> files = fillCache("g", [](int i) { return i == 0; }); // k0 first, the rest in one second
    // Make every item's last use equal.
    clock->advance(5);
    for (int i = 0; i < 12; ++i)
        cache.touchCachedItem(QString("k%1").arg(i));
    cache.createShareItem("k12", makeFile("g12.png"));
    EXPECT_FALSE(cache.peek("k0"));
    EXPECT_FALSE(QFileInfo::exists(files[0]));
    EXPECT_TRUE(cache.peek("k1"));
}

TEST_F(ShareCacheTest, ExpiryRemovesOnlyItemsUnusedForMoreThanAnHour) {
    const QString old = makeFile("old.png"), used = makeFile("used.png"), edge = makeFile("edge.png");
    cache.createShareItem("old", old);
    cache.createShareItem("used", used);
    clock->advance(1);
    cache.createShareItem("edge", edge);
    clock->advance(50 * 60 - 1);
    cache.touchCachedItem("used");
    clock->advance(10 * 60); // old: 3600 s unused, edge: 3599 s, used: 600 s
    cache.purgeExpiredItems();
    EXPECT_TRUE(cache.peek("old")) << "exactly one hour is not more than an hour";
    clock->advance(1);
    cache.purgeExpiredItems();
    EXPECT_FALSE(cache.peek("old"));
    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_TRUE(cache.peek("edge"));
    EXPECT_TRUE(cache.peek("used"));
    EXPECT_TRUE(QFileInfo::exists(used));
}

TEST_F(ShareCacheTest, LookUpPurgesFirstAndRefreshesTheHitOnly) {
    const QString a = makeFile("a.png"), b = makeFile("b.png");
    cache.createShareItem("a", a);
    cache.createShareItem("b", b);
    clock->advance(3601);
    EXPECT_FALSE(cache.touchCachedItem("a")) << "an expired item is not handed out";
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_FALSE(cache.peek("b"));

    const QString c = makeFile("c.png");
    cache.createShareItem("c", c);
    const QDateTime created = clock->now();
    clock->advance(30);
    const auto hit = cache.touchCachedItem("c");
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->url, c);
    EXPECT_EQ(hit->createdAt, created);
    EXPECT_EQ(hit->lastAccessedAt, clock->now());
}

TEST_F(ShareCacheTest, StoringUnderAnExistingKeyReplacesItAndDeletesTheOldFile) {
    const QString first = makeFile("first.png"), second = makeFile("second.png");
    cache.createShareItem("k", first);
    cache.createShareItem("k", second);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.peek("k")->url, second);
    EXPECT_FALSE(QFileInfo::exists(first));
    cache.createShareItem("k", second); // the same file again stays
    EXPECT_TRUE(QFileInfo::exists(second));
}

TEST_F(ShareCacheTest, ReservedPathsNeverCollide) {
    const QString p1 = cache.reservePath(dir.path(), "Shot-2026-03-04-05-06-07", "png");
    const QString p2 = cache.reservePath(dir.path(), "Shot-2026-03-04-05-06-07", "png");
    EXPECT_EQ(QFileInfo(p1).fileName(), "Shot-2026-03-04-05-06-07.png");
    EXPECT_EQ(QFileInfo(p2).fileName(), "Shot-2026-03-04-05-06-07-2.png");
    cache.release(p2);
    makeFile("Shot-2026-03-04-05-06-07-3.png"); // a stray file on disk is not overwritten
    EXPECT_EQ(QFileInfo(cache.reservePath(dir.path(), "Shot-2026-03-04-05-06-07", "png")).fileName(),
              "Shot-2026-03-04-05-06-07-2.png");
    EXPECT_EQ(QFileInfo(cache.reservePath(dir.path(), "Shot-2026-03-04-05-06-07", "png")).fileName(),
              "Shot-2026-03-04-05-06-07-4.png");
}

TEST(ShareCacheTimer, TheCleanUpRunsOnItsOwnAndStopsWithTheCache) {
    QTemporaryDir dir;
    auto clock = std::make_shared<FakeClock>();
    const QString path = dir.filePath("timed.png");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        ShareItemCache cache([clock] { return clock->now(); }, std::chrono::milliseconds(20));
        EXPECT_FALSE(cache.cleanupTimerRunning());
        cache.createShareItem("k", path);
        cache.startCleanupTimer();
        cache.startCleanupTimer();
        EXPECT_TRUE(cache.cleanupTimerRunning());
        QThread::msleep(80);
        EXPECT_TRUE(cache.peek("k")) << "an item used just now survives the purge";
        cache.touchCachedItem("k"); // the clock is only read under the cache's lock
        clock->advance(3601);
        for (int i = 0; i < 100 && cache.peek("k"); ++i)
            QThread::msleep(10);
        EXPECT_FALSE(cache.peek("k"));
        EXPECT_FALSE(QFileInfo::exists(path));
    }
}

} // namespace
