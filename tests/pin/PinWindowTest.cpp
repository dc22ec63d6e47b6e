// Pins on a real X server: their size and pixels at 100 %, 125 % and 200 %
// (Xft.dpi 96, 120, 192, each in a child process with its own server), and what the
// pointer and keys do with them.
#include "pin/PinWindow.h"
#include "SamePixels.h"
#include "XvfbServer.h"
#include "pin/PinBoard.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace lumivane;
using test::samePixels;

namespace {

// Every pixel a colour of its own position, so that a pin one pixel off or scaled shows.
QImage positionPattern(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x & 0xff, y & 0xff, (x >> 8) * 16 + (y >> 8)));
    return image;
}

struct NativeWindow {
    QRect geometry; // X11 root pixels
    QImage pixels;  // the window's contents
};

// The window as the X server has it.
NativeWindow readNativeWindow(QWidget* widget) {
    NativeWindow out;
    xcb_connection_t* conn = xcb_connect(qgetenv("DISPLAY").constData(), nullptr);
    if (!conn || xcb_connection_has_error(conn))
        return out;
    const auto window = xcb_window_t(widget->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
    auto* g = xcb_get_geometry_reply(conn, xcb_get_geometry(conn, window), nullptr);
    auto* t = xcb_translate_coordinates_reply(conn, xcb_translate_coordinates(conn, window, root, 0, 0), nullptr);
    if (g && t) {
        out.geometry = QRect(t->dst_x, t->dst_y, g->width, g->height);
        auto* image = xcb_get_image_reply(
            conn, xcb_get_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, g->width, g->height, ~0u), nullptr);
        if (image) {
            const QImage view(xcb_get_image_data(image), g->width, g->height, g->width * 4, QImage::Format_RGB32);
            out.pixels = view.copy();
            free(image);
        }
    }
    free(g);
    free(t);
    xcb_disconnect(conn);
    return out;
}

void send(QWidget* w, QEvent* e) {
    QApplication::sendEvent(w, e);
}

void mouse(QWidget* w, QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, held, Qt::NoModifier);
    send(w, &e);
}

void wheel(QWidget* w, int notches, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    send(w, &e);
}

} // namespace

namespace lumivane::test {
int xftDpi();
}

// Runs in the children: the desktop's scale is Xft.dpi / 96.
TEST(PinScaleChild, OneImagePixelIsOneDevicePixel) {
    if (test::xftDpi() == 0)
        GTEST_SKIP() << "runs in the child processes of PinScale.AtEveryScale";
    const double ratio = test::xftDpi() / 96.0;
    ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), ratio);
    // At 125 % neither is a whole number of logical pixels.
    const QImage image = positionPattern(QSize(302, 206));
    PinBoard board([](const ImageRef&) {});
    QPointer<PinWindow> pin = board.pin(makeImage(image));
    ASSERT_TRUE(pin);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pin));
    QTest::qWait(200);
    const NativeWindow native = readNativeWindow(pin);
    if (ratio == std::floor(ratio)) {
        EXPECT_EQ(native.geometry.size(), image.size());
    } else {
        // The next size Qt can give the window; the image fills it from the top-left.
        EXPECT_GE(native.geometry.width(), image.width());
        EXPECT_GE(native.geometry.height(), image.height());
        EXPECT_LE(native.geometry.width(), image.width() + 2);
        EXPECT_LE(native.geometry.height(), image.height() + 2);
    }
    ASSERT_GE(native.pixels.width(), image.width());
    EXPECT_TRUE(samePixels(native.pixels.copy(QRect(QPoint(), image.size())), image)) << "Xft.dpi " << test::xftDpi();
    // Centred on the screen (the pointer's), in root pixels.
    EXPECT_NEAR(native.geometry.center().x(), 960, 2);
    EXPECT_NEAR(native.geometry.center().y(), 540, 2);

    // Zoomed to 200 %: twice the pixels, each image pixel a 2 × 2 block.
    pin->setZoom(2.0);
    QTest::qWait(200);
    const NativeWindow zoomed = readNativeWindow(pin);
    EXPECT_GE(zoomed.geometry.width(), 2 * image.width());
    EXPECT_LE(zoomed.geometry.width(), 2 * image.width() + 2);
    EXPECT_EQ(zoomed.pixels.pixel(2 * 100 + 1, 2 * 50 + 1) & 0xffffff, image.pixel(100, 50) & 0xffffff);
}

TEST(PinScale, AtEveryScale) {
    for (int dpi : {96, 120, 192}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--xft-dpi=%1").arg(dpi), "--gtest_filter=PinScaleChild.*"});
        ASSERT_TRUE(child.waitForFinished(120000)) << dpi;
        const QByteArray out = child.readAll();
        EXPECT_EQ(child.exitCode(), 0) << "Xft.dpi " << dpi << ":\n" << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
    }
}

TEST(PinWindow, WheelZoomsCtrlWheelFadesCtrlCCopies) {
    std::vector<ImageRef> copied;
    PinBoard board([&](const ImageRef& image) { copied.push_back(image); });
    const ImageRef image = makeImage(positionPattern(QSize(200, 100)));
    QPointer<PinWindow> pin = board.pin(image);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pin));
    EXPECT_EQ(pin->size(), QSize(200, 100));
    EXPECT_TRUE(pin->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(pin->windowFlags() & Qt::FramelessWindowHint);

    wheel(pin, 1);
    EXPECT_DOUBLE_EQ(pin->zoom(), 1.1);
    EXPECT_EQ(pin->size(), QSize(220, 110));
    wheel(pin, -3);
    EXPECT_EQ(pin->size(), QSize(160, 80));

    wheel(pin, -2, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(pin->pinOpacity(), 0.8);
    EXPECT_EQ(pin->size(), QSize(160, 80)); // the opacity leaves the size alone

    QKeyEvent actual(QEvent::KeyPress, Qt::Key_0, Qt::ControlModifier);
    send(pin, &actual);
    EXPECT_EQ(pin->size(), QSize(200, 100));

    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, QStringLiteral("c"));
    send(pin, &copy);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0], image); // the pinned image itself, not a rendering of the window
}

TEST(PinWindow, DraggedByHandWithoutAWindowManager) {
    PinBoard board([](const ImageRef&) {});
    QPointer<PinWindow> pin = board.pin(makeImage(positionPattern(QSize(120, 90))));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pin));
    const QPoint start = pin->pos();
    mouse(pin, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
    QMouseEvent moveEvent(QEvent::MouseMove, QPointF(10, 10), QPointF(start + QPoint(10 + 150, 10 + 70)), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
    send(pin, &moveEvent);
    mouse(pin, QEvent::MouseButtonRelease, QPoint(10, 10), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(pin->pos(), start + QPoint(150, 70));
}

TEST(PinWindow, SeveralPinsAtOnceEachClosedByEscOrDoubleClick) {
    PinBoard board([](const ImageRef&) {});
    QPointer<PinWindow> first = board.pin(makeImage(positionPattern(QSize(80, 60))));
    QPointer<PinWindow> second = board.pin(makeImage(positionPattern(QSize(90, 70))));
    QPointer<PinWindow> third = board.pin(makeImage(positionPattern(QSize(100, 80))));
    EXPECT_EQ(board.pin(nullptr), nullptr);
    for (PinWindow* p : {first.data(), second.data(), third.data()})
        ASSERT_TRUE(QTest::qWaitForWindowExposed(p));
    EXPECT_EQ(board.pins().size(), 3u);
    // Each new one a step lower and to the right, so none hides the last.
    const QPoint step = second->geometry().center() - first->geometry().center();
    EXPECT_NEAR(step.x(), 24, 1);
    EXPECT_NEAR(step.y(), 24, 1);

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    send(second, &escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !second; }, 2000)); // deleted on close
    mouse(third, QEvent::MouseButtonDblClick, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !third; }, 2000));
    ASSERT_EQ(board.pins().size(), 1u);
    EXPECT_EQ(board.pins()[0], first.data());
    board.closeAll();
    EXPECT_FALSE(first);
}
