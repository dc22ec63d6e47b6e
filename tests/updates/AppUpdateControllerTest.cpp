#include "updates/AppUpdateController.h"

#include <gtest/gtest.h>

using namespace lumivane;
using A = AppUpdateController::Availability;

TEST(UpdateAvailability, Classification) {
    const QString key = "q2Hh7bXq0cX3Lw0aQeYt5nFQwS2bJc9h0x1Y2z3A4B0=";
    EXPECT_EQ(AppUpdateController::resolveAvailability(std::nullopt, std::nullopt), A::missingConfiguration);
    EXPECT_EQ(AppUpdateController::resolveAvailability(QString("https://updates.lumivane.app/feed.xml"), std::nullopt),
              A::missingConfiguration);
    EXPECT_EQ(AppUpdateController::resolveAvailability(QString(" \n\t"), key), A::missingConfiguration);
    EXPECT_EQ(AppUpdateController::resolveAvailability(QString("https://example.com/appcast.xml"), key),
              A::placeholderConfiguration);
    EXPECT_EQ(AppUpdateController::resolveAvailability(QString("https://updates.lumivane.app/feed.xml"),
                                                       QString("REPLACE__ME")),
              A::placeholderConfiguration);
    // Case-sensitive plain-text comparison.
    EXPECT_EQ(AppUpdateController::resolveAvailability(QString("https://EXAMPLE.COM/feed"), key), A::configured);
    EXPECT_EQ(AppUpdateController::resolveAvailability(QString("  https://updates.lumivane.app/feed.xml\n"),
                                                       "  " + key + "\n"),
              A::configured);
}

TEST(UpdateAvailability, DefaultBuildIsMissingConfigurationWithCommandsEnabled) {
    AppUpdateController c(AppUpdateController::BundleInfo::fromBuild(), {"lumivane"});
    EXPECT_EQ(c.availability(), A::missingConfiguration);
    EXPECT_EQ(c.statusTitle(), "更新機能は準備中です");
    EXPECT_EQ(c.statusDetail(), "配布URL と署名鍵を設定すると、アプリ内更新を有効化できます。");
    EXPECT_TRUE(c.canCheckForUpdates());
    EXPECT_FALSE(c.testToolsEnabled());
    EXPECT_EQ(c.configurationAlertButtons(), QStringList{"OK"});
}

TEST(UpdateAvailability, StatusTextsAndLaunchFlags) {
    EXPECT_EQ(AppUpdateController::statusTitle(A::placeholderConfiguration), "更新配布先はまだ仮設定です");
    EXPECT_EQ(AppUpdateController::statusDetail(A::configured), "新しい版が公開されると、Lumivane から確認できます。");

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

TEST(UpdateAvailability, VersionLabelUsesHyphensForMissingValues) {
    AppUpdateController none({}, {});
    EXPECT_EQ(none.versionLabel(), "- (-)");
    EXPECT_TRUE(none.testUpdateAlertText().contains("・現在のバージョン: - (-)\n・新しいバージョン: 0.1.1"));
    AppUpdateController::BundleInfo info;
    info.shortVersion = "1.2.0";
    info.buildVersion = "42";
    EXPECT_EQ(AppUpdateController(info, {}).versionLabel(), "1.2.0 (42)");
}

TEST(UpdateAvailability, ConfiguredBuildWithoutUpdaterDoesNotClaimUpdatesWork) {
    AppUpdateController::BundleInfo info;
    info.feedURLString = "https://updates.lumivane.app/feed.xml";
    info.publicKey = "q2Hh7bXq0cX3Lw0aQeYt5nFQwS2bJc9h0x1Y2z3A4B0=";
    AppUpdateController c(info, {});
    EXPECT_EQ(c.availability(), A::configured);
    EXPECT_FALSE(c.hasUpdater());
    EXPECT_NE(c.statusTitle(), "更新機能は利用できます");
    EXPECT_TRUE(c.canCheckForUpdates());
}
