#include "capture/SelectionOverlayGeometry.h"

#include <gtest/gtest.h>

using namespace lumivane;
namespace G = SelectionOverlayGeometry;

TEST(SelectionOverlayGeometry, BadgeSitsBelowRightAndFlipsAtTheEdges) {
    const QSizeF view(1920, 1080);
    EXPECT_EQ(G::badgeCenter(QPointF(100, 100), view), QPointF(100 + 14 + 36, 100 + 14 + 10));
    // Right margin at 1912: p.x + 86 reaching it stays, passing it flips.
    EXPECT_EQ(G::badgeCenter(QPointF(1826, 100), view).x(), 1826 + 14 + 36);
    EXPECT_EQ(G::badgeCenter(QPointF(1827, 100), view).x(), 1827 - 14 - 36);
    EXPECT_EQ(G::badgeCenter(QPointF(100, 1039), view).y(), 1039 - 14 - 10);
    EXPECT_EQ(G::badgeCenter(QPointF(1919, 1079), view), QPointF(1919 - 50, 1079 - 24));
}

TEST(SelectionOverlayGeometry, HintCapsuleAndBadgeText) {
    EXPECT_EQ(G::hintRect(QSizeF(1000, 800), 200), QRectF(1000 - 18 - 228, 18, 228, 32));
    EXPECT_EQ(G::badgeText(QRectF(0, 0, 640.9, 480.2)), QStringLiteral("640 × 480"));
}

TEST(SelectionOverlayGeometry, DragIsClampedAndSmallSelectionsCancel) {
    const QSizeF view(800, 600);
    EXPECT_EQ(G::clamped(QPointF(-5, 700), view), QPointF(0, 600));
    const auto r = G::selectionRect(QPointF(700, 500), G::clamped(QPointF(900, 650), view));
    EXPECT_EQ(r, QRectF(700, 500, 100, 100));
    EXPECT_FALSE(G::selectionRect(std::nullopt, QPointF(1, 1)));
    EXPECT_FALSE(G::isAccepted(G::selectionRect(QPointF(10, 10), QPointF(12, 40))));
    EXPECT_FALSE(G::isAccepted(std::nullopt));
    EXPECT_TRUE(G::isAccepted(G::selectionRect(QPointF(10, 10), QPointF(13, 13))));
    EXPECT_EQ(G::captureRect(QRectF(1920, -300, 1280, 1024), QRectF(10, 20, 30, 40)), QRectF(1930, -280, 30, 40));
}
