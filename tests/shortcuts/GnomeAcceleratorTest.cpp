#include "shortcuts/GnomeAccelerator.h"

#include <gtest/gtest.h>

using namespace lumivane;

TEST(GnomeAccelerator, StoredKeysInGnomeSyntax) {
    const struct {
        Shortcut shortcut;
        const char* accelerator;
    } cases[] = {
        {{19, kSuperModifier | kShiftModifier}, "<Shift><Super>2"},
        {{0, kControlModifier | kAltModifier}, "<Control><Alt>a"},
        {{kPrintScreenKeyCode, 0}, "Print"},
        {{kPrintScreenKeyCode, kShiftModifier}, "<Shift>Print"},
        {{96, kSuperModifier}, "<Super>F5"},
        {{49, kControlModifier}, "<Control>space"},
        {{27, kControlModifier | kShiftModifier}, "<Shift><Control>minus"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.accelerator);
        EXPECT_EQ(gnomeAccelerator(c.shortcut), QString::fromLatin1(c.accelerator));
    }
    EXPECT_EQ(gnomeAccelerator({0xffff, 0}), std::nullopt);
    EXPECT_EQ(gnomeAccelerator(Shortcut{}), std::nullopt) << "no key is not the A key";
}
