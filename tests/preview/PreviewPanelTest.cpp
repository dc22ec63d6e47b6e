#include "export/DragExportCache.h"
#include "preview/PreviewTestSupport.h"
#include "preview/PreviewWindowController.h"

#include <QDir>
#include <QDropEvent>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::OneScreen;
using lumivane::test::picture;

namespace {

struct Calls {
    int openEditor = 0, dismiss = 0, interactions = 0, copies = 0, presented = 0;
    std::vector<bool> hovers;
};

PreviewActions actionsFor(Calls& c) {
    PreviewActions a = test::dragOnlyActions();
    a.openEditor = [&c] { ++c.openEditor; };
    a.dismiss = [&c] { ++c.dismiss; };
    a.noteInteraction = [&c] { ++c.interactions; };
    a.hoverChanged = [&c](bool h) { c.hovers.push_back(h); };
    a.copy = [&c](std::function<void(bool)> done) {
        ++c.copies;
        QTimer::singleShot(50, [done] { done(true); });
    };
    a.save = [](std::function<void(bool)> done) { done(false); };
    a.presented = [&c] { ++c.presented; };
    return a;
}

} // namespace

TEST(PreviewPanel, ShowsInTheLowerLeftOfTheFrameAndSlidesAwayOnHide) {
    Calls calls;
    auto screens = std::make_shared<OneScreen>();
    PreviewWindowController controller(screens, actionsFor(calls));
    const QRect g = screens->main.nativeGeometry;
    controller.show(picture(), QRectF(140, 0, 600, 500));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    EXPECT_EQ(controller.restingOrigin(), QPointF(164, 24));
    EXPECT_EQ(controller.window()->pos(), QPoint(164, g.y() + g.height() - 24 - 210));
    EXPECT_EQ(controller.window()->size(), QSize(210, 210));

    // No frame: the main screen's visible frame.
    controller.show(picture(), std::nullopt);
    EXPECT_EQ(controller.restingOrigin(), QPointF(24, 24));
    const QPoint resting = controller.window()->pos();

    controller.hideWithFadeSlide();
    QTest::qWait(100);
    EXPECT_TRUE(controller.isVisible());
    EXPECT_LT(controller.window()->pos().x(), resting.x()) << "slides left while fading";
    EXPECT_LT(controller.paintedOpacity(), 1.0) << "fades by painting";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isVisible(); }, 2000));
    // The X server may still report the last animated position for a moment.
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller.window()->pos() == resting; }, 3000))
        << controller.window()->pos().x();
    EXPECT_DOUBLE_EQ(controller.paintedOpacity(), 1.0);
    EXPECT_DOUBLE_EQ(controller.window()->windowOpacity(), 1.0) << "the window's own opacity is never touched";

    controller.show(picture(), std::nullopt);
    EXPECT_TRUE(controller.isVisible());
    EXPECT_EQ(controller.window()->pos(), resting) << "shown again at its resting place";
    controller.removeFromScreen();
    EXPECT_FALSE(controller.isVisible());
}

// The window exists before the first show, unmapped; each new picture is reported as
// presented once it has been painted, not before.
TEST(PreviewPanel, PreparedAheadAndReportsEachPictureOncePainted) {
    Calls calls;
    PreviewWindowController controller(std::make_shared<OneScreen>(), actionsFor(calls));
    controller.prepare();
    EXPECT_TRUE(controller.window()->testAttribute(Qt::WA_WState_Created));
    EXPECT_FALSE(controller.isVisible());
    QTest::qWait(100);
    EXPECT_EQ(calls.presented, 0);

    controller.show(picture(), std::nullopt);
    EXPECT_EQ(calls.presented, 0) << "not while it is being shown";
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls.presented == 1; }, 5000));
    controller.window()->update();
    QTest::qWait(200);
    EXPECT_EQ(calls.presented, 1) << "a repaint of the same picture is no new picture";
    controller.show(picture(), std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls.presented == 2; }, 5000));
    controller.removeFromScreen();
}

TEST(PreviewPanel, ClicksReachTheirControlsAndHoverIsReported) {
    Calls calls;
    PreviewWindowController controller(std::make_shared<OneScreen>(), actionsFor(calls));
    controller.show(picture(), std::nullopt);
    QWidget* w = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));

    // Without hover the whole thumbnail opens the editor.
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(105, 105));
    EXPECT_EQ(calls.openEditor, 1);

    QEnterEvent enter(QPointF(105, 105), QPointF(105, 105), w->mapToGlobal(QPointF(105, 105)));
    QCoreApplication::sendEvent(w, &enter);
    ASSERT_FALSE(calls.hovers.empty());
    EXPECT_TRUE(calls.hovers.back());
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(105, 105 - 20)); // copy pill
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(105, 105 - 20)); // ignored while copying
    EXPECT_EQ(calls.copies, 1);
    QTest::qWait(100);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(14 + 182 - 35, 14 + 35)); // close
    EXPECT_EQ(calls.dismiss, 1);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(14 + 35, 14 + 182 - 35)); // edit
    EXPECT_EQ(calls.openEditor, 2);
    EXPECT_GE(calls.interactions, 4);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(w, &leave);
    EXPECT_FALSE(calls.hovers.back());

    if (const char* path = std::getenv("LUMIVANE_PREVIEW_SHOT")) {
        QCoreApplication::sendEvent(w, &enter);
        QTest::qWait(300); // after the controls' fade-in
        w->grab().save(path);
    }
}

TEST(PreviewPanel, DragPayloadIsReadyEvenBeforeTheBackgroundEncodeAndUsesAFreshFolder) {
    DragExportCache drag("lumivane.preview-drag-export", "Lumivane-Preview-", [] {
        return ImageExportOptions::drag(ImageExportProfile::standard, CaptureQualityPreset::medium);
    });
    const ImageRef image = picture();
    const auto source = [image] { return image; };
    const auto payload = drag.payload(image->cacheKey(), source); // synchronous fallback
    ASSERT_TRUE(payload && payload->pngData && payload->filePath);
    const QFileInfo file(*payload->filePath);
    EXPECT_TRUE(file.fileName().startsWith("Lumivane-Preview-"));
    EXPECT_TRUE(file.fileName().endsWith(".png"));
    EXPECT_TRUE(file.dir().dirName().startsWith("Lumivane-Drag-"));
    EXPECT_EQ(file.dir().dirName().size(), QString("Lumivane-Drag-").size() + 36);
    EXPECT_EQ(QImageReader(file.filePath()).size(), QSize(400, 200));
    EXPECT_EQ(drag.payload(image->cacheKey(), source)->filePath, payload->filePath) << "cached per image object";

    const auto other = *drag.writeTemporaryPNG("x");
    EXPECT_NE(QFileInfo(other).dir(), file.dir());
    EXPECT_FALSE(drag.payload(1, [] { return ImageRef(); }));

    // Prepared ahead: a new image's payload comes from the background encoding.
    const ImageRef next = picture();
    drag.prepareIfNeeded(next->cacheKey(), [next] { return next; });
    EXPECT_FALSE(drag.isPrepared(image->cacheKey())) << "the old image's payload is dropped at once";
    QTRY_VERIFY_WITH_TIMEOUT(drag.isPrepared(next->cacheKey()), 10000);
    const auto ahead = drag.payload(next->cacheKey(), [] { return ImageRef(); }); // no source call needed
    ASSERT_TRUE(ahead && ahead->filePath);
    EXPECT_EQ(ahead->image, next);
}

namespace {

// A drop target of the test's own: what a drop onto it brings.
class DropTarget : public QWidget {
public:
    DropTarget() { setAcceptDrops(true); }
    QList<QUrl> urls;
    bool hasPng = false;
    int drops = 0;

protected:
    void dragEnterEvent(QDragEnterEvent* e) override { e->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* e) override { e->acceptProposedAction(); }
    void dropEvent(QDropEvent* e) override {
        urls = e->mimeData()->urls();
        hasPng = e->mimeData()->hasFormat("image/png");
        ++drops;
        e->acceptProposedAction();
    }
};

// Moves the real pointer through the steps of one gesture, in the background.
void pointer(QProcess& xdotool, const QStringList& steps) {
    xdotool.start("xdotool", steps);
    xdotool.waitForStarted(5000);
}

QString at(int v) {
    return QString::number(v);
}

} // namespace

// The picture itself (not only the handle) drags out as a PNG file; a press and
// release that does not move opens the editor.
TEST(PreviewPanel, TheWholeThumbnailDragsOutAndAStillClickOpensTheEditor) {
    Calls calls;
    PreviewWindowController controller(std::make_shared<OneScreen>(), actionsFor(calls));
    controller.show(picture(), std::nullopt);
    QWidget* w = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls.presented == 1; }, 5000));
    DropTarget target;
    target.setWindowTitle("drop target");
    target.setGeometry(w->x() + 300, w->y() - 100, 200, 200);
    target.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&target));

    const QPoint from = w->mapToGlobal(QPoint(40, 100)); // on the picture, clear of the controls
    const QPoint to = target.mapToGlobal(QPoint(100, 100));
    QProcess xdotool;
    pointer(xdotool,
            {"mousemove",    at(from.x()), at(from.y()), "sleep",          "0.3",        "mousedown", "1",
             "sleep",        "0.2",        "mousemove",  at(from.x() + 8), at(from.y()), "sleep",     "0.3",
             "mousemove",    at(to.x()),   at(to.y()),   "sleep",          "0.3",        "mousemove", at(to.x() + 3),
             at(to.y() + 3), "sleep",      "0.3",        "mouseup",        "1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.drops == 1; }, 10000));
    ASSERT_EQ(target.urls.size(), 1);
    EXPECT_TRUE(target.urls.first().isLocalFile());
    EXPECT_EQ(QImageReader(target.urls.first().toLocalFile()).size(), QSize(400, 200));
    EXPECT_TRUE(target.hasPng);
    EXPECT_EQ(calls.openEditor, 0) << "a drag is no click";
    xdotool.waitForFinished(5000);

    pointer(xdotool, {"mousemove", at(from.x()), at(from.y()), "sleep", "0.2", "click", "1"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls.openEditor == 1; }, 5000));
    xdotool.waitForFinished(5000);
    // The corner of the panel's rounded outer ring opens the editor too.
    pointer(xdotool, {"mousemove", at(w->mapToGlobal(QPoint(6, 105)).x()), at(w->mapToGlobal(QPoint(6, 105)).y()),
                      "sleep", "0.2", "click", "1"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls.openEditor == 2; }, 5000));
    xdotool.waitForFinished(5000);
    EXPECT_EQ(target.drops, 1);
    controller.removeFromScreen();
}

// Thin lines of a large capture stay visible in the thumbnail: each edge of a 4-pixel
// frame in a 1820-pixel picture (0.4 of a thumbnail pixel wide) shows.
TEST(PreviewPanel, TheThumbnailIsScaledSmoothly) {
    QImage framed(1820, 1820, QImage::Format_RGB32);
    framed.fill(Qt::white);
    {
        QPainter p(&framed);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        for (const QRect& r :
             {QRect(100, 100, 1604, 4), QRect(100, 1700, 1604, 4), QRect(100, 100, 4, 1604), QRect(1700, 100, 4, 1604)})
            p.drawRect(r);
    }
    Calls calls;
    PreviewWindowController controller(std::make_shared<OneScreen>(), actionsFor(calls));
    controller.show(makeImage(framed), std::nullopt);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    const QImage shot = controller.window()->grab().toImage();
    // Thumbnail pixel n lies at panel pixel 14 + n; the edges fall into pixels 10 and 170.
    for (const QPoint& edge : {QPoint(24, 105), QPoint(184, 105), QPoint(105, 24), QPoint(105, 184)}) {
        SCOPED_TRACE(edge.x() * 1000 + edge.y());
        EXPECT_LT(qGray(shot.pixel(edge)), 215);
        EXPECT_GT(qGray(shot.pixel(edge)), 60) << "averaged, not a sampled full-black pixel";
    }
    EXPECT_GT(qGray(shot.pixel(105, 105)), 240);
    controller.removeFromScreen();
}
