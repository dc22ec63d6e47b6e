// The Qt platform a session starts on, and the Wayland plug-in looked for on disk.
#include "platform/QtPlatformChoice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace lumivane;

TEST(QtPlatformChoice, WaylandWithoutItsPluginOpensWindowsThroughXwaylandAndSaysSo) {
    struct Case {
        WindowSystem session;
        bool waylandPlugin, x11Display;
        QByteArray platform;
        bool missing;
    };
    const Case cases[] = {
        {WindowSystem::wayland, true, true, "wayland", false}, {WindowSystem::wayland, false, true, "xcb", true},
        {WindowSystem::wayland, false, false, "", true},       {WindowSystem::x11, false, true, "xcb", false},
        {WindowSystem::none, true, false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.session) * 100 + c.waylandPlugin * 10 + c.x11Display);
        const QtPlatformChoice choice = chooseQtPlatform(c.session, c.waylandPlugin, c.x11Display);
        EXPECT_EQ(choice.platform, c.platform);
        EXPECT_EQ(choice.missingWaylandPlugin, c.missing);
    }
}

TEST(QtPlatformChoice, PluginsAreFoundInThePlatformsFolderOfAPluginPath) {
    QTemporaryDir withPlugin, without;
    ASSERT_TRUE(QDir(withPlugin.path()).mkpath("platforms"));
    ASSERT_TRUE(QDir(without.path()).mkpath("platforms"));
    QFile plugin(withPlugin.filePath("platforms/libqwayland-generic.so"));
    ASSERT_TRUE(plugin.open(QIODevice::WriteOnly));
    plugin.close();
    QFile other(without.filePath("platforms/libqxcb.so"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    EXPECT_TRUE(hasQtPlatformPlugin("wayland", {without.path(), withPlugin.path()}));
    EXPECT_FALSE(hasQtPlatformPlugin("wayland", {without.path()}));
    EXPECT_TRUE(hasQtPlatformPlugin("xcb", {without.path()}));
    EXPECT_FALSE(hasQtPlatformPlugin("wayland", {}));
    EXPECT_TRUE(hasQtPlatformPlugin("xcb")) << "the tests run on Qt's own xcb plug-in";
}

} // namespace
