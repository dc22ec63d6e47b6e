// The hover controls fade in and out, and a pill held down shrinks and comes back.
// The animations are stepped through their own clocks, not waited for.
#include "preview/PreviewTestSupport.h"
#include "preview/PreviewWindowController.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QVariantAnimation>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::OneScreen;
using lumivane::test::picture;

namespace {

PreviewActions actions(int& saves) {
    PreviewActions a = test::dragOnlyActions();
    a.save = [&saves](std::function<void(bool)> done) {
        ++saves;
        done(false); // nothing to save: straight back to idle
    };
    return a;
}

// Steps a running animation to `ms` (to its end when ms is its duration).
void stepTo(QVariantAnimation* a, int ms) {
    ASSERT_TRUE(a);
    a->pause();
    a->setCurrentTime(ms);
    if (ms >= a->duration()) {
        EXPECT_EQ(a->state(), QAbstractAnimation::Stopped);
    }
}

// A point on the thumbnail clear of every control.
int blueAt(QWidget* w) {
    return qBlue(w->grab().toImage().pixel(40, 100));
}

// Pixels of the white pill fill inside the save pill's box.
int pillFill(QWidget* w) {
    const QImage shot = w->grab().toImage();
    int n = 0;
    for (int y = 110; y < 140; ++y)
        for (int x = 68; x < 142; ++x)
            n += qGray(shot.pixel(x, y)) > 200;
    return n;
}

void enter(QWidget* w) {
    QEnterEvent e(QPointF(105, 105), QPointF(105, 105), w->mapToGlobal(QPointF(105, 105)));
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

TEST(PreviewHoverAnimation, ControlsFadeInAndOutAndResetOnShow) {
    int saves = 0;
    PreviewWindowController controller(std::make_shared<OneScreen>(), actions(saves));
    controller.show(picture(), std::nullopt);
    QWidget* w = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    auto* fade = w->findChild<QVariantAnimation*>("hoverFade");
    ASSERT_TRUE(fade);
    EXPECT_EQ(fade->duration(), 160);
    const int plain = blueAt(w);

    enter(w);
    EXPECT_TRUE(controller.isHovering()) << "the controls take clicks at once";
    stepTo(fade, 80);
    const int partway = blueAt(w);
    if (const char* path = std::getenv("LUMIVANE_PREVIEW_FADE_SHOT")) {
        w->repaint();
        QTest::qWait(200);
        QProcess::execute("import", {"-window", "root", path});
    }
    stepTo(fade, 160);
    const int full = blueAt(w);
    EXPECT_LT(full, plain) << "the controls darken the thumbnail";
    EXPECT_LT(partway, plain);
    EXPECT_GT(partway, full) << "partway through the fade";

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(w, &leave);
    EXPECT_FALSE(controller.isHovering());
    stepTo(fade, 80);
    const int leaving = blueAt(w);
    EXPECT_GT(leaving, full);
    EXPECT_LT(leaving, plain) << "fades out rather than vanishing";
    stepTo(fade, 160);
    EXPECT_EQ(blueAt(w), plain);

    // Shown again while the controls were up: they are gone at once.
    enter(w);
    stepTo(fade, 160);
    controller.show(picture(), std::nullopt);
    EXPECT_FALSE(controller.isHovering());
    EXPECT_EQ(blueAt(w), plain);
    controller.removeFromScreen();
    EXPECT_DOUBLE_EQ(w->windowOpacity(), 1.0);
}

TEST(PreviewHoverAnimation, AHeldPillShrinksAndComesBackAfterRelease) {
    int saves = 0;
    PreviewWindowController controller(std::make_shared<OneScreen>(), actions(saves));
    controller.show(picture(), std::nullopt);
    QWidget* w = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    enter(w);
    stepTo(w->findChild<QVariantAnimation*>("hoverFade"), 160);
    auto* scale = w->findChild<QVariantAnimation*>("savePillScale");
    ASSERT_TRUE(scale);
    EXPECT_EQ(scale->duration(), 120);
    const int idle = pillFill(w);
    ASSERT_GT(idle, 1000);

    const QPoint savePill(105, 125);
    QTest::mousePress(w, Qt::LeftButton, {}, savePill);
    EXPECT_EQ(scale->state(), QAbstractAnimation::Running) << "animated, not switched";
    stepTo(scale, 60);
    const int shrinking = pillFill(w);
    stepTo(scale, 120);
    const int pressed = pillFill(w);
    EXPECT_LT(shrinking, idle);
    EXPECT_LT(pressed, shrinking) << "scaled down about its centre";
    EXPECT_EQ(saves, 0) << "the press alone does not save";

    QTest::mouseRelease(w, Qt::LeftButton, {}, savePill);
    EXPECT_EQ(saves, 1);
    stepTo(scale, 120);
    EXPECT_EQ(pillFill(w), idle) << "back to its full size once the save has finished";
    controller.removeFromScreen();
}
