#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace lumivane {

// Update configuration of this build and the update commands.
//
// The update framework the commands were designed around does not exist on
// Linux; without an UpdaterBackend, "check for updates" always shows the
// configuration alert, and a configured build reports its status as not
// available rather than claiming updates work.
class AppUpdateController : public QObject {
    Q_OBJECT
public:
    enum class Availability { configured, placeholderConfiguration, missingConfiguration };

    struct BundleInfo {
        std::optional<QString> feedURLString;
        std::optional<QString> publicKey;
        std::optional<QString> shortVersion;
        std::optional<QString> buildVersion;
        // Values compiled in from the CMake cache (empty by default).
        static BundleInfo fromBuild();
    };

    static constexpr const char* showDebugToolsFlag = "--lumivane-show-update-debug-tools";
    static constexpr const char* testUpdateAvailableFlag = "--lumivane-test-update-available";

    AppUpdateController(BundleInfo bundle, const QStringList& arguments, QObject* parent = nullptr);

    static Availability resolveAvailability(const std::optional<QString>& feedURLString,
                                            const std::optional<QString>& publicKey);
    static QString statusTitle(Availability availability);
    static QString statusDetail(Availability availability);

    Availability availability() const { return availability_; }
    bool canCheckForUpdates() const { return canCheckForUpdates_; }
    QString statusTitle() const { return statusTitle(statusAvailability()); }
    QString statusDetail() const { return statusDetail(statusAvailability()); }
    bool testToolsEnabled() const { return testToolsEnabled_; }
    bool autoShowTestAlertOnLaunch() const { return autoShowTestAlertOnLaunch_; }
    const std::optional<QString>& feedURLString() const { return bundle_.feedURLString; }
    const std::optional<QString>& publicKey() const { return bundle_.publicKey; }
    // "<short version or -> (<build or ->)"
    QString versionLabel() const;
    // True when an updater exists to run real checks (never on Linux today).
    bool hasUpdater() const { return false; }

    // Alert contents (the windows show them).
    QString configurationAlertTitle() const;
    QString configurationAlertText() const;
    QStringList configurationAlertButtons() const;
    QString testUpdateAlertTitle() const;
    QString testUpdateAlertText() const;

private:
    // The classification as shown: a configured build without an updater is
    // reported as not yet available.
    Availability statusAvailability() const {
        return availability_ == Availability::configured && !hasUpdater() ? Availability::missingConfiguration
                                                                          : availability_;
    }

    BundleInfo bundle_;
    Availability availability_;
    bool canCheckForUpdates_ = false;
    bool testToolsEnabled_ = false;
    bool autoShowTestAlertOnLaunch_ = false;
};

} // namespace lumivane
