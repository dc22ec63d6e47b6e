// Window capture on X11 under a real window manager (openbox on the test's Xvfb): the
// active window of our own with known pixels, with and without the manager's frame, the
// windows the area overlay highlights, and a click on one of them.
#include "PatternWindow.h"
#include "SamePixels.h"
#include "capture/CaptureService.h"
#include "capture/SelectionOverlayController.h"
#include "capture/SelectionOverlayPanel.h"
#include "platform/DesktopBackend.h"
#include "platform/x11/X11Platform.h"

#include <QDeadlineTimer>
#include <QPainter>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

using namespace lumivane;
using lumivane::test::samePixels;

namespace {

QImage windowPattern(QSize size) {
    return test::patternImage(QRect(QPoint(0, 0), size));
}

class PatternWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, windowPattern(size())); }
};

// A root-window property of 32-bit values, read on a connection of the test's own.
std::vector<quint32> property(xcb_window_t window, const char* name, uint32_t count) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    std::vector<quint32> out;
    auto* a = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    if (a) {
        auto* r = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, a->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, count), nullptr);
        if (r && r->format == 32) {
            const auto* v = static_cast<const quint32*>(xcb_get_property_value(r));
            out.assign(v, v + xcb_get_property_value_length(r) / 4);
        }
        free(r);
        free(a);
    }
    xcb_disconnect(c);
    return out;
}

xcb_window_t rootWindow() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_disconnect(c);
    return root;
}

// The user's pointer, through XTest on a connection of its own.
class Pointer {
public:
    Pointer()
        : conn_(xcb_connect(nullptr, nullptr)), root_(xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root) {}
    ~Pointer() { xcb_disconnect(conn_); }
    void moveTo(QPoint p) {
        xcb_test_fake_input(conn_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, int16_t(p.x()), int16_t(p.y()), 0);
        sync();
    }
    void button(bool press) {
        xcb_test_fake_input(conn_, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
        sync();
    }

private:
    void sync() {
        free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
        QTest::qWait(30);
    }
    xcb_connection_t* conn_;
    xcb_window_t root_;
};

template <typename T>
T await(QFuture<T> f) {
    f.waitForFinished();
    return f.result();
}

class X11WindowCapture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wm = new QProcess; // lives as long as the test process
        wm->setStandardOutputFile(QProcess::nullDevice());
        wm->setStandardErrorFile(QProcess::nullDevice());
        wm->start("openbox", {"--sm-disable"});
        wm->waitForStarted(5000);
        (void)QTest::qWaitFor([] { return !property(rootWindow(), "_NET_SUPPORTING_WM_CHECK", 1).empty(); }, 10000);
        // It announces itself before it takes over the root's map requests.
        (void)QTest::qWaitFor([] { return !property(rootWindow(), "_NET_SUPPORTED", 1).empty(); }, 10000);
        QTest::qWait(1000);
    }
    static void TearDownTestSuite() {
        wm->terminate();
        wm->waitForFinished(5000);
        delete wm;
        wm = nullptr;
    }

    void SetUp() override {
        ASSERT_EQ(wm->state(), QProcess::Running) << "openbox did not start";
        window = std::make_unique<PatternWidget>();
        window->setWindowTitle(QStringLiteral("lumivane-window-capture"));
        window->resize(321, 203);
        window->move(400, 300);
        window->show();
        window->activateWindow();
        const xcb_window_t id = xcb_window_t(window->winId());
        // Managed (framed) and active; then one more paint so the pixels are there.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const auto active = property(rootWindow(), "_NET_ACTIVE_WINDOW", 1);
                return property(id, "_NET_FRAME_EXTENTS", 4).size() == 4 && !active.empty() && active[0] == id;
            },
            10000));
        QTest::qWait(300);
        extents = property(id, "_NET_FRAME_EXTENTS", 4);
        desktop = loadDesktopBackend();
        ASSERT_TRUE(desktop->makeActiveWindowCapture);
    }

    QRect clientRect() const { return QRect(window->mapToGlobal(QPoint(0, 0)), window->size()); }
    QRect frameRect() const {
        return clientRect().adjusted(-int(extents[0]), -int(extents[2]), int(extents[1]), int(extents[3]));
    }

    static inline QProcess* wm = nullptr;
    std::unique_ptr<PatternWidget> window;
    std::vector<quint32> extents; // left, right, top, bottom
    std::shared_ptr<DesktopBackend> desktop;
};

} // namespace

TEST_F(X11WindowCapture, ActiveWindowWithAndWithoutTheWindowManagersFrame) {
    const CaptureService service(*desktop);
    std::shared_ptr<ActiveWindowCapture> source = desktop->makeActiveWindowCapture();
    ASSERT_GT(extents[2], 0u) << "openbox draws a title bar";

    const ImageRef client = await(service.captureWindow(source, false));
    ASSERT_TRUE(client);
    EXPECT_TRUE(samePixels(*client, windowPattern(window->size())));

    const ImageRef framed = await(service.captureWindow(source, true));
    ASSERT_TRUE(framed);
    ASSERT_EQ(framed->size(), frameRect().size());
    EXPECT_TRUE(samePixels(framed->copy(QRect(QPoint(int(extents[0]), int(extents[2])), window->size())),
                           windowPattern(window->size())));
    // The rest is the frame as the screen shows it: no shadow, nothing around it.
    EXPECT_TRUE(samePixels(*framed, desktop->readNativePixels(frameRect())));
}

// The overlay lists the windows when it opens, highlights the one under the pointer,
// takes it on a click, and still selects an area on a drag.
TEST_F(X11WindowCapture, OverlayClickTakesTheWindowUnderThePointerAndDragSelects) {
    ASSERT_TRUE(desktop->visibleWindowFrames);
    const auto frames = desktop->visibleWindowFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front(), frameRect());

    for (const bool drag : {false, true}) {
        SelectionOverlayController controller(SelectionOverlayEnvironment::forDesktop(*desktop));
        auto future = controller.beginSelection();
        ASSERT_EQ(controller.windows().size(), 1u);
        SelectionOverlayPanel* panel = controller.windows().front();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
        const QPoint inside = frameRect().center();
        Pointer pointer;
        pointer.moveTo(inside - QPoint(5, 5));
        pointer.moveTo(inside);
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->hoveredWindow().has_value(); }, 2000));
        EXPECT_EQ(*panel->hoveredWindow(), QRectF(frameRect()));
        pointer.button(true);
        if (drag)
            for (int i = 1; i <= 4; ++i)
                pointer.moveTo(inside + QPoint(10 * i, 30 * i / 4));
        pointer.button(false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 2000));
        const std::optional<QRectF> rect = future.result();
        ASSERT_TRUE(rect);
        const ScreenInfo screen = desktop->screens->screens().front();
        const QRectF expected = drag ? QRectF(QPointF(inside), QSizeF(40, 30)) : QRectF(frameRect());
        EXPECT_EQ(*rect, expected.translated(screen.frame.topLeft()));
    }
}
