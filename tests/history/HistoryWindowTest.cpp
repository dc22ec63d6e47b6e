#include "history/HistoryWindow.h"
#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

// `count` entries: one written, the others copies of it under later keys.
std::vector<HistoryEntry> manyEntries(QTemporaryDir& dir, int count) {
    HistoryStore store(dir.filePath("history"));
    QImage image(640, 400, QImage::Format_RGB32);
    image.fill(qRgb(40, 120, 200));
    EditorDocument document;
    document.baseImage = makeImage(image);
    const auto first = store.add(document, {count, qint64(1) << 40});
    const qint64 start = first->capturedAt.toMSecsSinceEpoch();
    for (int i = 1; i < count; ++i) {
        const QString key = QStringLiteral("%1-0000").arg(start + i * 1000, 13, 10, QLatin1Char('0'));
        QFile::copy(first->projectPath, QDir(store.folder()).filePath(key + ".lumivane"));
        QFile::copy(first->thumbnailPath, QDir(store.folder()).filePath(key + ".png"));
    }
    return store.entries();
}

} // namespace

TEST(HistoryWindow, ReadsOnlyTheThumbnailsOfVisibleRows) {
    QTemporaryDir dir;
    auto entries = manyEntries(dir, 300);
    ASSERT_EQ(entries.size(), 300u);
    const QString newest = entries.front().key;
    HistoryWindow window({});
    window.setEntries(std::move(entries));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.model().thumbnailsRead() > 0; }, 5000));
    QTest::qWait(300);
    EXPECT_LT(window.model().thumbnailsRead(), 100); // a screenful, not all 300
    const QImage icon = window.model().data(window.model().index(0), Qt::DecorationRole).value<QImage>();
    EXPECT_EQ(icon.width(), HistoryListModel::iconSide);
    EXPECT_EQ(window.model().data(window.model().index(0), HistoryListModel::EntryKeyRole).toString(), newest);
}

TEST(HistoryWindow, ActionsGetTheSelectedEntry) {
    QTemporaryDir dir;
    auto entries = manyEntries(dir, 3);
    std::vector<std::pair<QString, QString>> calls;
    auto record = [&](const char* name) {
        return [&calls, name](const HistoryEntry& e) { calls.emplace_back(QString::fromLatin1(name), e.key); };
    };
    HistoryWindow window({record("open"), record("copy"), record("save"), record("reveal"), record("remove")});
    window.setEntries(entries);
    window.show();
    const auto buttons = window.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 5);
    for (QPushButton* b : buttons)
        EXPECT_FALSE(b->isEnabled()); // nothing chosen yet
    window.view()->setCurrentIndex(window.model().index(1));
    for (QPushButton* b : buttons) {
        EXPECT_TRUE(b->isEnabled());
        b->click();
    }
    ASSERT_EQ(calls.size(), 5u);
    for (const auto& [name, key] : calls)
        EXPECT_EQ(key, entries[1].key) << name.toStdString();
    EXPECT_EQ(calls.front().first, "open");
    EXPECT_EQ(calls.back().first, "remove");
}

TEST(HistoryWindow, CaptionsSayWhen) {
    const QDateTime now(QDate(2026, 12, 8), QTime(15, 0, 0));
    EXPECT_EQ(HistoryListModel::caption(QDateTime(QDate(2026, 12, 8), QTime(14, 3, 12)), now), "今日 14:03:12");
    EXPECT_EQ(HistoryListModel::caption(QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0)), now), "昨日 09:00:00");
    EXPECT_EQ(HistoryListModel::caption(QDateTime(QDate(2026, 3, 1), QTime(9, 30, 0)), now), "3月1日 09:30:00");
    EXPECT_EQ(HistoryListModel::caption(QDateTime(QDate(2025, 3, 1), QTime(9, 30, 0)), now), "2025年3月1日 09:30:00");
}
