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
    // Updates come from the distribution's packages; no developer note reaches the user.
    EXPECT_TRUE(c.statusTitle().contains("パッケージ")) << c.statusTitle().toStdString();
    EXPECT_TRUE(c.statusDetail().contains("ディストリビューションのパッケージ")) << c.statusDetail().toStdString();
    for (const QString& text : {c.statusTitle(), c.statusDetail(), c.configurationAlertTitle(),
                                c.configurationAlertText(), c.testUpdateAlertText()})
        for (const char* foreign : {"Sparkle", "配布URL", "署名鍵", "本番"})
            EXPECT_FALSE(text.contains(foreign)) << text.toStdString();
    EXPECT_TRUE(c.configurationAlertText().contains(c.versionLabel()));
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
