#include "updates/AppUpdateController.h"

#include "BuildConfig.h"

namespace lumivane {

namespace {
std::optional<QString> nonEmpty(const char* value) {
    const QString s = QString::fromUtf8(value);
    if (s.isEmpty())
        return std::nullopt;
    return s;
}
} // namespace

AppUpdateController::BundleInfo AppUpdateController::BundleInfo::fromBuild() {
    return {nonEmpty(LUMIVANE_UPDATE_FEED_URL_STRING), nonEmpty(LUMIVANE_UPDATE_PUBLIC_KEY_STRING),
            nonEmpty(LUMIVANE_VERSION_STRING), nonEmpty(LUMIVANE_BUILD_DESCRIPTION_STRING)};
}

AppUpdateController::AppUpdateController(BundleInfo bundle, const QStringList& arguments, QObject* parent)
    : QObject(parent), bundle_(std::move(bundle)) {
    testToolsEnabled_ = arguments.contains(QLatin1String(showDebugToolsFlag)) ||
                        arguments.contains(QLatin1String(testUpdateAvailableFlag));
    autoShowTestAlertOnLaunch_ = arguments.contains(QLatin1String(testUpdateAvailableFlag));
    availability_ = resolveAvailability(bundle_.feedURLString, bundle_.publicKey);
    // No updater: the commands stay enabled so that they can show the configuration alert.
    canCheckForUpdates_ = true;
}

AppUpdateController::Availability AppUpdateController::resolveAvailability(const std::optional<QString>& feedURLString,
                                                                           const std::optional<QString>& publicKey) {
    const QString feed = feedURLString.value_or(QString()).trimmed();
    const QString key = publicKey.value_or(QString()).trimmed();
    if (feed.isEmpty() || key.isEmpty())
        return Availability::missingConfiguration;
    if (feed.contains(QLatin1String("example.com")) || key.contains(QLatin1String("__")))
        return Availability::placeholderConfiguration;
    return Availability::configured;
}

QString AppUpdateController::statusTitle(Availability a) {
    switch (a) {
    case Availability::configured:
        return QStringLiteral("更新機能は利用できます");
    case Availability::placeholderConfiguration:
    case Availability::missingConfiguration:
        return QStringLiteral("更新はパッケージで届きます");
    }
    return {};
}

QString AppUpdateController::statusDetail(Availability a) {
    switch (a) {
    case Availability::configured:
        return QStringLiteral("新しい版が公開されると、Lumivane から確認できます。");
    case Availability::placeholderConfiguration:
    case Availability::missingConfiguration:
        return QStringLiteral("Lumivane の新しい版は、お使いのディストリビューションのパッケージとして配布されます。"
                              "システムのソフトウェア更新で最新にできます。");
    }
    return {};
}

QString AppUpdateController::versionLabel() const {
    return bundle_.shortVersion.value_or(QStringLiteral("-")) + QStringLiteral(" (") +
           bundle_.buildVersion.value_or(QStringLiteral("-")) + QStringLiteral(")");
}

QString AppUpdateController::configurationAlertTitle() const {
    return QStringLiteral("更新はパッケージで行います");
}

QString AppUpdateController::configurationAlertText() const {
    return QStringLiteral("Lumivane はアプリ内では更新しません。新しい版は、システムのソフトウェア更新、または端末で"
                          "「sudo apt update && sudo apt upgrade」を実行すると入手できます。\n\n現在のバージョン: ") +
           versionLabel();
}

QStringList AppUpdateController::configurationAlertButtons() const {
    QStringList buttons{QStringLiteral("OK")};
    if (testToolsEnabled_)
        buttons << QStringLiteral("更新案内をテスト表示");
    return buttons;
}

QString AppUpdateController::testUpdateAlertTitle() const {
    return QStringLiteral("更新案内のテスト表示");
}

QString AppUpdateController::testUpdateAlertText() const {
    return QStringLiteral("ここは更新案内が出る位置の確認用です。\n\nテスト用の想定:\n・現在のバージョン: ") +
           versionLabel() + QStringLiteral("\n・新しいバージョン: 0.1.1\n・ユーザーにはここで更新案内が見えます");
}

} // namespace lumivane
