#include "DesktopModel.h"

#include "XClipboard.h"
#include "app/HistoryRecorder.h"
#include "editor_model/ProjectFile.h"
#include "history/HistoryStore.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

QWidget* visiblePreviewPanel() {
    return test::visibleWindow("Lumivane プレビュー");
}

} // namespace

// The real desktop services against the test's X server: a synthetic hot-key press
// captures the screen, the panel shows in the lower-left corner, copy offers the PNG
// to other clients both as bytes and as a file, and a quick save writes a PNG that decodes.
TEST(DesktopFlow, HotKeyCapturePreviewCopyAndQuickSave) {
    QTemporaryDir folder;
    test::DesktopModel desktop(
        [&](AppSettings& settings, AppServices&) { settings.setDefaultSaveFolderPath(folder.filePath("saved")); });
    ASSERT_TRUE(desktop.ready());
    AppModel& model = *desktop;
    model.hotKeys().applySettings();
    ASSERT_TRUE(model.hotKeys().shortcutRegistrationFailures().isEmpty())
        << model.lastErrorMessage().value_or("").toStdString();

    QProcess::execute("xdotool", {"key", "super+shift+1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.currentCapture().has_value(); }, 10000));
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(model.currentCapture()->image->size(), screen);

    QWidget* panel = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (panel = visiblePreviewPanel()) != nullptr; }, 5000));
    EXPECT_EQ(panel->geometry(), QRect(24, screen.height() - 24 - 210, 210, 210));

    bool copied = false;
    model.copyCurrentImage([&](bool ok) { copied = ok; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return copied; }, 10000));
    const QList<QByteArray> targets = test::readXClipboard("TARGETS").split('\n');
    EXPECT_TRUE(targets.contains("text/uri-list"));
    EXPECT_TRUE(targets.contains("image/png"));
    const QByteArray png = test::readXClipboard("image/png");
    EXPECT_EQ(QImage::fromData(png, "PNG").size(), screen);
    // The file offered beside the bytes is the same picture.
    const QUrl file = QUrl::fromEncoded(test::readXClipboard("text/uri-list").trimmed());
    ASSERT_TRUE(file.isLocalFile()) << file.toString().toStdString();
    QFile offered(file.toLocalFile());
    ASSERT_TRUE(offered.open(QIODevice::ReadOnly));
    EXPECT_EQ(offered.readAll(), png);

    bool saved = false;
    model.saver().saveImageQuickly(model.currentPreviewImage(), CaptureSource::standard, [&](bool ok) { saved = ok; });
    ASSERT_TRUE(saved) << model.lastErrorMessage().value_or("").toStdString();
    const QStringList files = QDir(folder.filePath("saved")).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].startsWith("Lumivane-") && files[0].endsWith(".png"));
    QImageReader reader(QDir(folder.filePath("saved")).filePath(files[0]));
    EXPECT_EQ(reader.read().size(), screen);
}

// The area hot key shows the overlay; pressing it again only brings that overlay
// forward; a drag captures exactly the dragged pixels.
TEST(DesktopFlow, AreaHotKeyOverlayDragCapturesTheRectangle) {
    test::DesktopModel desktop;
    ASSERT_TRUE(desktop.ready());
    AppModel& model = *desktop;
    model.hotKeys().applySettings();
    ASSERT_TRUE(model.hotKeys().shortcutRegistrationFailures().isEmpty());

    auto overlayPanels = [] {
        QList<QWidget*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == "Lumivane Selection")
                out << w;
        return out;
    };
    QProcess::execute("xdotool", {"key", "super+shift+2"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlayPanels().size() == 1; }, 5000));
    QWidget* first = overlayPanels().front();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first));
    QProcess::execute("xdotool", {"key", "super+shift+2"});
    QTest::qWait(200);
    ASSERT_EQ(overlayPanels().size(), 1);
    EXPECT_EQ(overlayPanels().front(), first);

    QProcess::execute("xdotool", {"mousemove", "300", "200", "mousedown", "1", "mousemove", "400", "260", "mousemove",
                                  "520", "350", "mouseup", "1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.currentCapture().has_value(); }, 10000));
    EXPECT_EQ(model.currentCapture()->image->size(), QSize(220, 150));
    EXPECT_TRUE(overlayPanels().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !model.hasSelectionOverlay(); }, 1000));
}

// The history entry of each capture is written once its preview has painted; two
// captures in a row both arrive, and so does one taken just before quitting.
TEST(DesktopFlow, EveryCaptureReachesTheHistoryAfterItsPreview) {
    test::DesktopModel desktop;
    ASSERT_TRUE(desktop.ready());
    const auto picture = [](QRgb colour) {
        QImage image(320, 200, QImage::Format_RGB32);
        image.fill(colour);
        return makeImage(image);
    };
    desktop->presentCapture(picture(qRgb(200, 0, 0)), CaptureSource::standard, std::nullopt);
    desktop->presentCapture(picture(qRgb(0, 200, 0)), CaptureSource::standard, std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop->history().entries().size() == 2; }, 10000));

    desktop->presentCapture(picture(qRgb(0, 0, 200)), CaptureSource::standard, std::nullopt);
    const QString folder = desktop.dir.filePath("history");
    desktop.model.reset();
    const auto entries = HistoryStore(folder).entries();
    ASSERT_EQ(entries.size(), 3u);
    const auto newest = ProjectFile::readFile(entries.front().projectPath).makeDocument();
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->baseImage->pixel(5, 5), qRgb(0, 0, 200));
}
