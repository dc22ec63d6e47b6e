#include "updates/AppUpdateController.h"

#include <gtest/gtest.h>

using namespace lumivane;
using A = AppUpdateController::Availability;

TEST(UpdateAvailability, Classification) {
    const QString feed = "https://updates.lumivane.app/feed.xml";
    const QString key = "q2Hh7bXq0cX3Lw0aQeYt5nFQwS2bJc9h0x1Y2z3A4B0=";
    const struct {
        std::optional<QString> feed, key;
        A expected;
    } cases[] = {
        {std::nullopt, std::nullopt, A::missingConfiguration},
        {feed, std::nullopt, A::missingConfiguration},
        {QString(" \n\t"), key, A::missingConfiguration},
        {QString("https://example.com/appcast.xml"), key, A::placeholderConfiguration},
        {feed, QString("REPLACE__ME"), A::placeholderConfiguration},
        {QString("https://EXAMPLE.COM/feed"), key, A::configured}, // case-sensitive plain-text comparison
        {"  " + feed + "\n", "  " + key + "\n", A::configured},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feed.value_or("(none)").toStdString() + " " + c.key.value_or("(none)").toStdString());
        EXPECT_EQ(AppUpdateController::resolveAvailability(c.feed, c.key), c.expected);
    }
}

TEST(UpdateAvailability, DefaultBuildIsMissingConfigurationWithCommandsEnabled) {
    AppUpdateController c(AppUpdateController::BundleInfo::fromBuild(), {"lumivane"});
    EXPECT_EQ(c.availability(), A::missingConfiguration);
    // Updates come from the distribution's packages; no developer note reaches the user.
    EXPECT_TRUE(c.statusTitle().contains("パッケージ")) << c.statusTitle().toStdString();
    EXPECT_TRUE(c.statusDetail().contains("ディストリビューションのパッケージ")) << c.statusDetail().toStdString();
    for (const QString& text : {c.statusTitle(), c.statusDetail(), c.configurationAlertTitle(),
                                c.configurationAlertText(), c.testUpdateAlertText()})
        for (const char* foreign : {"Sparkle", "配布URL", "署名鍵", "本番"})
            EXPECT_FALSE(text.contains(foreign)) << text.toStdString();
    EXPECT_TRUE(c.configurationAlertText().contains(c.versionLabel()));
    EXPECT_TRUE(c.testUpdateAlertText().contains(c.versionLabel()));
    EXPECT_TRUE(c.canCheckForUpdates());
    EXPECT_FALSE(c.testToolsEnabled());
    EXPECT_EQ(c.configurationAlertButtons(), QStringList{"OK"});
}

TEST(UpdateAvailability, StatusTextsAndLaunchFlags) {
    EXPECT_EQ(AppUpdateController::statusTitle(A::placeholderConfiguration),
              AppUpdateController::statusTitle(A::missingConfiguration));
    EXPECT_NE(AppUpdateController::statusDetail(A::configured),
              AppUpdateController::statusDetail(A::missingConfiguration));

    AppUpdateController debug({}, {"lumivane", "--lumivane-show-update-debug-tools"});
    EXPECT_TRUE(debug.testToolsEnabled());
    EXPECT_FALSE(debug.autoShowTestAlertOnLaunch());
    EXPECT_EQ(debug.configurationAlertButtons(), (QStringList{"OK", "更新案内をテスト表示"}));

    AppUpdateController test({}, {"lumivane", "--lumivane-test-update-available"});
    EXPECT_TRUE(test.testToolsEnabled());
    EXPECT_TRUE(test.autoShowTestAlertOnLaunch());
    // Exact element match only.
    AppUpdateController near({}, {"lumivane", "--lumivane-test-update-available=1"});
    EXPECT_FALSE(near.testToolsEnabled());
}

// A configured build has no updater on Linux: its status is that of a missing configuration.
TEST(UpdateAvailability, VersionLabelsAndAConfiguredBuildWithoutUpdater) {
    EXPECT_EQ(AppUpdateController({}, {}).versionLabel(), "- (-)");
    const AppUpdateController c(
        {"https://updates.lumivane.app/feed.xml", "q2Hh7bXq0cX3Lw0aQeYt5nFQwS2bJc9h0x1Y2z3A4B0=", "1.2.0", "42"}, {});
    EXPECT_EQ(c.versionLabel(), "1.2.0 (42)");
    EXPECT_EQ(c.availability(), A::configured);
    EXPECT_EQ(c.statusTitle(), AppUpdateController::statusTitle(A::missingConfiguration));
}
