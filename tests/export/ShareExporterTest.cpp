// Share files: keys, name sanitising, encoded files decoded back, and the
// background preparation's delivery.
#include "export/ShareExporter.h"
#include "core/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

ImageRef testImage(QColor color, QSize size = {64, 40}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return makeImage(image);
}

// Share files go into a private temporary folder for the test.
class ShareFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", dir.path().toLocal8Bit());
        ASSERT_EQ(QDir::tempPath(), QDir(dir.path()).canonicalPath());
    }
    void TearDown() override { qputenv("TMPDIR", saved); }
    QTemporaryDir dir;
    QByteArray saved;
};

TEST(ShareNames, KeyIsTheImageIdentityFormatAndPrefixAsGiven) {
    const ImageRef a = testImage(Qt::red);
    const QString key = ShareExporter::cacheKey(a, ScreenshotFileFormat::png, "Screenshot");
    EXPECT_TRUE(QRegularExpression("^[0-9]+-png-Screenshot$").match(key).hasMatch()) << key.toStdString();
    EXPECT_EQ(key, QString::number(a->cacheKey()) + "-png-Screenshot");
    EXPECT_EQ(ShareExporter::cacheKey(a, ScreenshotFileFormat::jpeg, " a/b "),
              QString::number(a->cacheKey()) + "-jpeg- a/b ");

    // Another object with the same pixels is another key; a copy of the same object is not.
    EXPECT_NE(ShareExporter::cacheKey(testImage(Qt::red), ScreenshotFileFormat::png, "Screenshot"), key);
    EXPECT_EQ(ShareExporter::cacheKey(makeImage(*a), ScreenshotFileFormat::png, "Screenshot"), key);
}

TEST(ShareNames, PrefixSanitising) {
    EXPECT_EQ(ShareExporter::sanitizedFileNamePrefix("  a/b:c  "), "a-b-c");
    EXPECT_EQ(ShareExporter::sanitizedFileNamePrefix("   "), "Lumivane");
    EXPECT_EQ(ShareExporter::sanitizedFileNamePrefix(""), "Lumivane");
    EXPECT_EQ(ShareExporter::sanitizedFileNamePrefix("x\\y\tz\nw\rv"), "x-y-z-w-v");
    EXPECT_EQ(ShareExporter::sanitizedFileNamePrefix("//"), "--") << "empty pieces are kept";
    EXPECT_EQ(ShareExporter::sanitizedFileNamePrefix(QString::fromUtf8(" 画面 メモ ")), QString::fromUtf8("画面 メモ"));
    EXPECT_EQ(ShareExporter::shareFileBaseName(" Shot ", QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7))),
              "Shot-2026-03-04-05-06-07");
}

TEST_F(ShareFilesTest, PngAndJpegFilesDecodeBackAndAreCachedUnderTheirKeys) {
    const ImageRef image = testImage(QColor(10, 200, 30), {300, 120});
    const auto png = ShareExporter::createShareFile(image, ImageExportProfile::standard, ScreenshotFileFormat::png,
                                                    CaptureQualityPreset::medium, " a/b ");
    const auto jpg = ShareExporter::createShareFile(image, ImageExportProfile::standard, ScreenshotFileFormat::jpeg,
                                                    CaptureQualityPreset::medium, " a/b ");
    ASSERT_TRUE(png && jpg);
    EXPECT_EQ(QFileInfo(*png).absolutePath(), QDir(dir.path()).canonicalPath());
    EXPECT_TRUE(QRegularExpression("^a-b-\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d\\.png$")
                    .match(QFileInfo(*png).fileName())
                    .hasMatch())
        << png->toStdString();
    EXPECT_TRUE(jpg->endsWith(".jpg"));

    QImageReader pngReader(*png);
    EXPECT_EQ(pngReader.format(), "png");
    const QImage decodedPng = pngReader.read();
    EXPECT_EQ(decodedPng.size(), QSize(300, 120));
    EXPECT_EQ(decodedPng.pixelColor(150, 60), QColor(10, 200, 30));
    QImageReader jpgReader(*jpg);
    EXPECT_EQ(jpgReader.format(), "jpeg");
    const QImage decodedJpg = jpgReader.read();
    EXPECT_EQ(decodedJpg.size(), QSize(300, 120));
    EXPECT_NEAR(decodedJpg.pixelColor(150, 60).green(), 200, 6);

    EXPECT_EQ(ShareExporter::cache().peek(ShareExporter::cacheKey(image, ScreenshotFileFormat::png, " a/b "))->url,
              *png);
    EXPECT_EQ(ShareExporter::cache().peek(ShareExporter::cacheKey(image, ScreenshotFileFormat::jpeg, " a/b "))->url,
              *jpg);
}

TEST_F(ShareFilesTest, TwoImagesInTheSameSecondKeepTheirOwnFiles) {
    const ImageRef red = testImage(Qt::red), blue = testImage(Qt::blue);
    std::optional<QString> a, b;
    // Retry across a second boundary so both names really come from one second.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString before = QDateTime::currentDateTime().toString("ss");
        a = ShareExporter::createShareFile(red, ImageExportProfile::standard, ScreenshotFileFormat::png,
                                           CaptureQualityPreset::medium, "Same");
        b = ShareExporter::createShareFile(blue, ImageExportProfile::standard, ScreenshotFileFormat::png,
                                           CaptureQualityPreset::medium, "Same");
        if (QDateTime::currentDateTime().toString("ss") == before)
            break;
    }
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(QImage(*a).pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(QImage(*b).pixelColor(1, 1), QColor(Qt::blue));
}

TEST_F(ShareFilesTest, AMissingTemporaryFolderFallsBackToTmpNotTheWorkingDirectory) {
    qputenv("TMPDIR", dir.filePath("missing/folder").toLocal8Bit());
    EXPECT_EQ(temporaryFolder(), "/tmp");
}

TEST_F(ShareFilesTest, AFailedWriteYieldsNothingAndCachesNothing) {
    qputenv("TMPDIR", "/proc/self"); // a folder nobody can create files in, root included
    const ImageRef image = testImage(Qt::green);
    EXPECT_FALSE(ShareExporter::createShareFile(image, ImageExportProfile::standard, ScreenshotFileFormat::png,
                                                CaptureQualityPreset::medium, "P"));
    EXPECT_FALSE(ShareExporter::cache().peek(ShareExporter::cacheKey(image, ScreenshotFileFormat::png, "P")));
    EXPECT_FALSE(ShareExporter::createShareFile(nullptr, ImageExportProfile::standard, ScreenshotFileFormat::png,
                                                CaptureQualityPreset::medium, "P"));
}

TEST_F(ShareFilesTest, PreparationCompletesOnTheUiThreadUnlessItsContextIsGone) {
    const ImageRef image = testImage(Qt::yellow);
    std::optional<QString> delivered;
    QThread* deliveredOn = nullptr;
    QObject context;
    ShareExporter::prepareShareItem(image, ImageExportProfile::standard, ScreenshotFileFormat::png,
                                    CaptureQualityPreset::medium, "Ui", &context, [&](std::optional<QString> path) {
                                        delivered = path;
                                        deliveredOn = QThread::currentThread();
                                    });
    EXPECT_TRUE(ShareExporter::cache().cleanupTimerRunning());
    QTRY_VERIFY_WITH_TIMEOUT(delivered.has_value(), 10000);
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    EXPECT_TRUE(QFileInfo::exists(*delivered));

    bool called = false;
    auto* gone = new QObject;
    ShareExporter::prepareShareItem(testImage(Qt::cyan), ImageExportProfile::standard, ScreenshotFileFormat::png,
                                    CaptureQualityPreset::medium, "Gone", gone, [&](auto) { called = true; });
    delete gone;
    // The file is still prepared and cached; only the delivery is dropped.
    QTRY_COMPARE_WITH_TIMEOUT(ShareExporter::cache().count(), std::size_t(2), 10000);
    QTest::qWait(50);
    EXPECT_FALSE(called);
}

} // namespace
