#include "app/TraylessNotices.h"

#include <gtest/gtest.h>

using namespace lumivane;

// The running notice names what reaches Lumivane on this desktop: its own hot keys,
// or the commands the user binds in the desktop's keyboard settings.
TEST(TraylessNoticeTexts, NameTheKeysOrTheCommandsToBind) {
    struct Case {
        bool boundByDesktop;
        QStringList mentions, absent;
    };
    for (const Case& c : {Case{false, {"⌃⇧1", "⌃⇧2"}, {"lumivane capture"}},
                          Case{true, {"lumivane capture full", "lumivane capture area"}, {"⌃⇧1"}}}) {
        const QString body = TraylessNotices::runningBody("⌃⇧1", "⌃⇧2", c.boundByDesktop);
        for (const QString& m : c.mentions)
            EXPECT_TRUE(body.contains(m)) << m.toStdString();
        for (const QString& m : c.absent)
            EXPECT_FALSE(body.contains(m)) << m.toStdString();
        EXPECT_TRUE(body.contains("設定画面")) << "the launcher opens the settings";
    }
}
