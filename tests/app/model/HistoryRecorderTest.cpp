#include "app/HistoryRecorder.h"
#include "MemorySettingsStore.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {
ImageRef plainImage(QRgb colour) {
    QImage image(48, 32, QImage::Format_RGB32);
    image.fill(colour);
    return makeImage(image);
}
} // namespace

TEST(HistoryRecorder, KeepsCapturesOnlyWhileHistoryIsOn) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("history");
    AppSettings settings(std::make_unique<test::MemorySettingsStore>());
    settings.setHistoryEnabled(false);
    HistoryRecorder recorder(settings, folder);
    recorder.record(plainImage(qRgb(1, 1, 1)));
    recorder.waitForWrites();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QDir(folder).exists()); // not even the folder

    settings.setHistoryEnabled(true);
    settings.setHistoryMaximumEntries(2);
    QSignalSpy changed(&recorder, &HistoryRecorder::changed);
    for (QRgb c : {qRgb(1, 0, 0), qRgb(0, 1, 0), qRgb(0, 0, 1)})
        recorder.record(plainImage(c));
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.count() == 3; }, 10000));
    ASSERT_EQ(recorder.entries().size(), 2u);
    EXPECT_TRUE(recorder.remove(recorder.entries().front()));
    EXPECT_EQ(recorder.entries().size(), 1u);
}

TEST(HistoryRecorder, WithoutAFolderNothingIsKept) {
    AppSettings settings(std::make_unique<test::MemorySettingsStore>());
    HistoryRecorder recorder(settings, QString());
    recorder.record(plainImage(qRgb(9, 9, 9)));
    recorder.waitForWrites();
    recorder.reload();
    EXPECT_TRUE(recorder.entries().empty());
}
