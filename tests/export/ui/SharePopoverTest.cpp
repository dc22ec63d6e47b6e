// The share button and popover as the editor's user meets them: every opening
// starts on PNG, files are prepared in the background per format and reused,
// and a new image drops what was prepared for the old one.
#include "ShareDesktop.h"

#include "MemorySettingsStore.h"
#include "export/QuickShareButton.h"
#include "export/ShareExporter.h"
#include "export/SharePopover.h"
#include "settings/AppSettings.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

ImageRef testImage(QColor color) {
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(color);
    return makeImage(image);
}

int filesIn(const QString& folder, const QString& pattern) {
    return QDir(folder).entryList({pattern}, QDir::Files).size();
}

class SharePopoverTest : public ::testing::Test {
protected:
    int writes = 0;
    AppSettings settings{std::make_unique<test::MemorySettingsStore>(&writes)};
};

TEST_F(SharePopoverTest, EveryOpeningStartsOnPngAndBothFormatsArePreparedOnceEach) {
    settings.setShareFileFormat(ScreenshotFileFormat::jpeg);
    settings.setFileNamePrefix("Memo");
    QWidget window;
    window.resize(300, 200);
    auto* button = new QuickShareButton(settings, nullptr, &window);
    button->move(240, 20);
    const ImageRef image = testImage(QColor(30, 90, 200));
    int provided = 0;
    button->setImageProvider([&] {
        ++provided;
        return image;
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy presented(button, &QuickShareButton::popoverPresentedChanged);
    const int writesBefore = writes;

    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(button->isPopoverPresented());
    EXPECT_EQ(settings.shareFileFormat(), ScreenshotFileFormat::png);
    EXPECT_GT(writes, writesBefore) << "the format change is persisted";
    EXPECT_EQ(provided, 1);
    EXPECT_EQ(button->preparedImage(), image);
    SharePopoverContent* content = button->popover()->content();
    EXPECT_TRUE(content->formatChip(ScreenshotFileFormat::png)->isChecked());
    EXPECT_FALSE(content->formatChip(ScreenshotFileFormat::jpeg)->isChecked());
    // Attached below the button, right edges aligned.
    const QRect anchor(button->mapToGlobal(QPoint(0, 0)), button->size());
    EXPECT_GE(button->popover()->geometry().top(), anchor.bottom());
    EXPECT_EQ(button->popover()->geometry().right(), anchor.right());

    QTRY_VERIFY_WITH_TIMEOUT(content->preparedItems().count(ScreenshotFileFormat::png), 10000);
    const QString png = content->preparedItems().at(ScreenshotFileFormat::png);
    EXPECT_TRUE(png.endsWith(".png"));
    EXPECT_TRUE(QFileInfo(png).fileName().startsWith("Memo-"));
    EXPECT_EQ(QImage(png).size(), QSize(320, 200));

    QTest::mouseClick(content->formatChip(ScreenshotFileFormat::jpeg), Qt::LeftButton);
    EXPECT_EQ(settings.shareFileFormat(), ScreenshotFileFormat::jpeg);
    EXPECT_TRUE(content->formatChip(ScreenshotFileFormat::jpeg)->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(content->preparedItems().count(ScreenshotFileFormat::jpeg), 10000);
    const QString jpg = content->preparedItems().at(ScreenshotFileFormat::jpeg);
    EXPECT_TRUE(jpg.endsWith(".jpg"));
    const auto jpegItem =
        ShareExporter::cache().peek(ShareExporter::cacheKey(image, ScreenshotFileFormat::jpeg, "Memo"));
    ASSERT_TRUE(jpegItem);
    EXPECT_EQ(jpegItem->url, jpg);

    // Back to PNG: the earlier file, nothing encoded again.
    const int pngFiles = filesIn(QDir::tempPath(), "Memo-*.png");
    QTest::mouseClick(content->formatChip(ScreenshotFileFormat::png), Qt::LeftButton);
    EXPECT_TRUE(content->preparingFormats().empty());
    EXPECT_EQ(content->preparedItems().at(ScreenshotFileFormat::png), png);
    EXPECT_EQ(content->launcher()->itemProvider(), std::optional<QString>(png));
    QTest::qWait(100);
    EXPECT_EQ(filesIn(QDir::tempPath(), "Memo-*.png"), pngFiles);

    // Closing and opening again: PNG once more, and the cached file is found at once.
    QTest::mouseClick(content->formatChip(ScreenshotFileFormat::jpeg), Qt::LeftButton);
    button->popover()->close();
    QTRY_VERIFY(!button->isPopoverPresented());
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(button->isPopoverPresented());
    EXPECT_EQ(settings.shareFileFormat(), ScreenshotFileFormat::png);
    EXPECT_EQ(button->popover()->content()->preparedItems().at(ScreenshotFileFormat::png), png);
    EXPECT_EQ(presented.count(), 3); // open, close, open
}

TEST_F(SharePopoverTest, ANewImageDropsThePreparedFilesAndLateResultsOfTheOldOne) {
    const ImageRef first = testImage(Qt::red), second = testImage(Qt::green);
    SharePopoverContent content(settings, nullptr, first, ImageExportProfile::standard, "Swap");
    content.show(); // starts the PNG preparation of the first image
    EXPECT_EQ(content.preparingFormats(), std::set<ScreenshotFileFormat>{ScreenshotFileFormat::png});
    content.setImage(second); // before the first result has been delivered
    QTRY_VERIFY_WITH_TIMEOUT(content.preparedItems().count(ScreenshotFileFormat::png), 10000);
    const QString path = content.preparedItems().at(ScreenshotFileFormat::png);
    EXPECT_EQ(QImage(path).pixelColor(0, 0), QColor(Qt::green));
    // The first image's file is still cached for later look-ups, but not shown here.
    QTRY_VERIFY_WITH_TIMEOUT(
        ShareExporter::cache().peek(ShareExporter::cacheKey(first, ScreenshotFileFormat::png, "Swap")), 10000);
    QTest::qWait(50);
    EXPECT_EQ(content.preparedItems().at(ScreenshotFileFormat::png), path);

    // A new prefix starts over as well.
    content.setFileNamePrefix("Other");
    EXPECT_TRUE(content.preparedItems().empty());
    QTRY_VERIFY_WITH_TIMEOUT(content.preparedItems().count(ScreenshotFileFormat::png), 10000);
    EXPECT_TRUE(QFileInfo(content.preparedItems().at(ScreenshotFileFormat::png)).fileName().startsWith("Other-"));
}

TEST_F(SharePopoverTest, AtTheBottomOfTheScreenThePopoverOpensAboveTheButton) {
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.resize(300, 40);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    window.move(screen.right() - 320, screen.bottom() - 45);
    auto* button = new QuickShareButton(settings, nullptr, &window);
    button->move(260, 4);
    button->setImageProvider([] { return testImage(Qt::gray); });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(button->isPopoverPresented());
    const QRect popover = button->popover()->geometry();
    EXPECT_LE(popover.bottom(), button->mapToGlobal(QPoint(0, 0)).y());
    EXPECT_TRUE(screen.contains(popover));
}

TEST_F(SharePopoverTest, ADisabledButtonOpensNothingAndAnEmptyImageDisablesTheLauncher) {
    QuickShareButton button(settings);
    button.setImageProvider([] { return ImageRef(); });
    button.show();
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(button.isPopoverPresented());

    button.setEnabled(true);
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_TRUE(button.isPopoverPresented());
    SharePopoverContent* content = button.popover()->content();
    EXPECT_FALSE(content->launcher()->isEnabled());
    EXPECT_TRUE(content->preparingFormats().empty());
}

} // namespace
