// The share picker against real desktop entries read by GIO: listing per image
// type, launching with the prepared file, encoding at the choice when nothing is
// prepared yet, opening the folder, and a failed launch.
#include "ShareDesktop.h"

#include "export/ShareExporter.h"
#include "export/SharePopover.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::shareDesktop;

namespace {

ImageRef pickerImage(QColor color) {
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(color);
    return makeImage(image);
}

QStringList titles(QMenu* menu) {
    QStringList result;
    for (QAction* a : menu->actions())
        result << (a->isSeparator() ? QStringLiteral("|") : a->text());
    return result;
}

QAction* action(QMenu* menu, const QString& title) {
    for (QAction* a : menu->actions())
        if (a->text() == title)
            return a;
    return nullptr;
}

struct Failure {
    QString title, detail;
};

class SharePickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        launcher.show();
        launcher.imageProvider = [this] { return image; };
        launcher.itemProvider = [this] { return prepared; };
        launcher.formatProvider = [this] { return format; };
        launcher.sourceProvider = [] { return ImageExportProfile::standard; };
        launcher.qualityPresetProvider = [] { return CaptureQualityPreset::medium; };
        launcher.fileNamePrefixProvider = [] { return QStringLiteral("Pick"); };
        launcher.reportFailure = [this](const QString& t, const QString& d) { failures.push_back({t, d}); };
        launcher.refresh(true);
    }
    ImageRef image = pickerImage(QColor(200, 40, 90));
    std::optional<QString> prepared;
    ScreenshotFileFormat format = ScreenshotFileFormat::png;
    std::vector<Failure> failures;
    ShareSheetLauncherButton launcher{nullptr};
};

TEST_F(SharePickerTest, ListsTheApplicationsOfTheTypeDefaultFirstAndHandsThemThePreparedFile) {
    prepared = ShareExporter::createShareFile(image, ImageExportProfile::standard, ScreenshotFileFormat::png,
                                              CaptureQualityPreset::medium, "Pick");
    ASSERT_TRUE(prepared);
    QTest::mouseClick(&launcher, Qt::LeftButton, {}, QPoint(60, 12));
    QMenu* menu = launcher.picker();
    ASSERT_TRUE(menu);
    QTRY_VERIFY(menu->isVisible());
    // The default PNG application leads; the hidden entry and JPEG-only tools are absent.
    EXPECT_EQ(titles(menu), (QStringList{"Another Painter", "Fake Viewer", "|", "ファイルの場所を開く"}));

    QSignalSpy shared(&launcher, &ShareSheetLauncherButton::shared);
    action(menu, "Fake Viewer")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(shareDesktop().recordedArguments("viewer"), QStringList{*prepared}, 5000);
    EXPECT_EQ(shared.count(), 1);
    EXPECT_TRUE(failures.empty());
}

TEST_F(SharePickerTest, WithoutAPreparedFileTheImageIsEncodedAtTheChoice) {
    launcher.openPicker();
    ASSERT_TRUE(launcher.picker());
    action(launcher.picker(), "Another Painter")->trigger();
    // The choice returns at once; the file is encoded off the UI thread and the
    // application starts when it is written.
    EXPECT_TRUE(shareDesktop().recordedArguments("painter").isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(shareDesktop().recordedArguments("painter").size(), 1, 5000);
    const QString path = shareDesktop().recordedArguments("painter").first();
    EXPECT_EQ(QFileInfo(path).absolutePath(), QDir::tempPath());
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith("Pick-"));
    const QImage decoded(path);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded.size(), QSize(120, 80));
    EXPECT_EQ(decoded.pixelColor(5, 5), QColor(200, 40, 90));
    // The file made at the choice is the cache's, so it is cleaned up with it.
    const auto cached = ShareExporter::cache().peek(ShareExporter::cacheKey(image, ScreenshotFileFormat::png, "Pick"));
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->url, path);
}

TEST_F(SharePickerTest, APurgedPreparedFileIsWrittenAgain) {
    prepared = QDir::tempPath() + "/gone.png"; // prepared once, deleted since
    launcher.openPicker();
    action(launcher.picker(), "Fake Viewer")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(shareDesktop().recordedArguments("viewer").size(), 1, 5000);
    const QString path = shareDesktop().recordedArguments("viewer").first();
    EXPECT_NE(path, *prepared);
    EXPECT_FALSE(QImage(path).isNull());
}

TEST_F(SharePickerTest, OpenContainingFolderStartsTheFolderApplication) {
    prepared = ShareExporter::createShareFile(image, ImageExportProfile::standard, ScreenshotFileFormat::png,
                                              CaptureQualityPreset::medium, "Pick");
    launcher.openPicker();
    action(launcher.picker(), "ファイルの場所を開く")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(shareDesktop().recordedArguments("folder"),
                              QStringList{QFileInfo(*prepared).absolutePath()}, 5000);
}

TEST_F(SharePickerTest, AnApplicationThatCannotStartIsReportedNotSilentlyDropped) {
    format = ScreenshotFileFormat::jpeg;
    launcher.openPicker();
    ASSERT_TRUE(launcher.picker());
    // Only the applications for JPEG.
    EXPECT_EQ(titles(launcher.picker()), (QStringList{"Fake Viewer", "Vanishing Tool", "|", "ファイルの場所を開く"}));
    QAction* tool = action(launcher.picker(), "Vanishing Tool");
    ASSERT_TRUE(tool);
    QFile::remove(shareDesktop().vanishingTool);
    QSignalSpy shared(&launcher, &ShareSheetLauncherButton::shared);
    tool->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1u, 5000);
    EXPECT_EQ(failures[0].title, "「Vanishing Tool」で開けませんでした");
    EXPECT_FALSE(failures[0].detail.isEmpty());
    EXPECT_EQ(shared.count(), 0);
}

TEST_F(SharePickerTest, NothingToShareOpensNothing) {
    image = nullptr;
    launcher.refresh(false);
    EXPECT_FALSE(launcher.isEnabled());
    launcher.openPicker();
    EXPECT_EQ(launcher.picker(), nullptr);
}

} // namespace
