#pragma once
#include "settings/SettingsPage.h"

#include <QColor>
#include <QUrl>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace lumivane {

class AppSettings;
class SettingsHost;
class ShortcutRow;

// The pages of the settings window, one per tab, each in a file of its own.

// What happens after a capture, and starting at login.
class GeneralSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit GeneralSettingsPage(SettingsHost& host);
};

// The capture shortcuts, with the desktop's own bindings where it holds them.
class ShortcutsSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit ShortcutsSettingsPage(SettingsHost& host);
};

// Save folder, image format, quality, long pages and the file name prefix.
class ScreenshotsSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    // `chooseFolder` is asked on every click (nothing = cancelled).
    ScreenshotsSettingsPage(AppSettings& settings, const std::function<std::optional<QString>()>& chooseFolder);
    QLabel* folderPathLabel() const { return folderPath_; }
    void chooseSaveFolder();
    void clearSaveFolder();

private:
    AppSettings& settings_;
    const std::function<std::optional<QString>()>& chooseFolder_;
    QLabel* folderPath_ = nullptr;
    QLineEdit* prefix_ = nullptr;
};

// The default look of new annotations.
class AnnotateSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    AnnotateSettingsPage(AppSettings& settings, const std::function<std::optional<QColor>(const QColor&)>& chooseColor);
};

// Hosts the setup checklist.
class AdvancedSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit AdvancedSettingsPage(SettingsHost& host);
    QWidget* setupChecklistContainer() const { return setupChecklistContainer_; }

private:
    QWidget* setupChecklistContainer_ = nullptr;
};

// Application facts, permissions and privacy, support links and updates.
class AboutSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    AboutSettingsPage(SettingsHost& host, const std::function<void(const QUrl&)>& openURL);

    static QUrl contactPageURL() { return QUrl(QStringLiteral("https://lumivane.app/contact")); }
    static QUrl privacyPolicyURL() { return QUrl(QStringLiteral("https://lumivane.app/privacy")); }
    static QUrl supportSiteURL() { return QUrl(QStringLiteral("https://lumivane.app/support")); }
    static QString supportAddress() { return QStringLiteral("support@lumivane.app"); }
    // "-" when the application declares no version.
    static QString appVersion();
    static QString appBuild();

    void refresh() override;
    void refreshUpdates();

private:
    SettingsHost& host_;
    const std::function<void(const QUrl&)>& openURL_;
    QLabel* updateTitle_ = nullptr;
    QLabel* updateDetail_ = nullptr;
    QPushButton* checkUpdates_ = nullptr;
    QWidget* updateTestTools_ = nullptr;
};

} // namespace lumivane
