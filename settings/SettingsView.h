#pragma once
#include "core/ImageFormats.h"
#include "core/RgbaColor.h"
#include "settings/SettingsHost.h"
#include "shortcuts/Shortcut.h"

#include <QColor>
#include <QFrame>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class QVBoxLayout;

namespace lumivane {

class ShortcutRecorder;

// One capture shortcut: title, description, the desktop screenshot key it may
// collide with, the recorder and, when it applies, the conflict warning.
class ShortcutRow : public QFrame {
    Q_OBJECT
public:
    ShortcutRow(SettingsHost& host, ShortcutAction action, QString title, QString description,
                std::optional<Shortcut> desktopStandardShortcut, QWidget* parent = nullptr);
    void refresh();

    ShortcutAction action() const { return action_; }
    ShortcutRecorder* recorder() const { return recorder_; }
    bool isWarningShown() const;
    QString warningTitle() const;
    // The note under the row while a key of the other action is refused.
    bool isRefusalShown() const;
    QString refusalText() const;
    // The warning applies to a registration failure or to the desktop's screenshot keys exactly.
    static std::optional<QString> conflictWarningTitle(const Shortcut& shortcut, bool hasRegistrationFailure);

private:
    SettingsHost& host_;
    ShortcutAction action_;
    std::optional<Shortcut> desktopStandardShortcut_;
    ShortcutRecorder* recorder_ = nullptr;
    QFrame* warning_ = nullptr;
    QLabel* warningTitle_ = nullptr;
    QLabel* refusal_ = nullptr;

    bool acceptsShortcut(const Shortcut& shortcut);
};

// The content of the settings window: a header of tab buttons with the
// restore button, a divider and a scrolling page per tab. Every control
// writes straight into the settings.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(SettingsHost& host, QWidget* parent = nullptr);

    static QUrl contactPageURL() { return QUrl(QStringLiteral("https://lumivane.app/contact")); }
    static QUrl privacyPolicyURL() { return QUrl(QStringLiteral("https://lumivane.app/privacy")); }
    static QUrl supportSiteURL() { return QUrl(QStringLiteral("https://lumivane.app/support")); }
    static QString supportAddress() { return QStringLiteral("support@lumivane.app"); }
    // "-" when the application declares no version.
    static QString appVersion();
    static QString appBuild();

    // Replaceable choosers (tests answer without a dialog). Nothing = cancelled.
    std::function<std::optional<QString>()> chooseFolder;
    std::function<std::optional<QColor>(const QColor& current)> chooseColor;
    std::function<void(const QUrl&)> openURL;

    SettingsTab shownTab() const;
    QAbstractButton* tabButton(SettingsTab tab) const;
    ShortcutRow* shortcutRow(ShortcutAction action) const;
    // The page of the advanced tab hosts the setup checklist; it starts empty.
    QWidget* setupChecklistContainer() const { return setupChecklistContainer_; }
    QLabel* folderPathLabel() const { return folderPath_; }

    void chooseSaveFolder();
    void clearSaveFolder();
    void restoreDefaults();
    void refresh();

private:
    QWidget* makeGeneralPage();
    QWidget* makeShortcutsPage();
    QWidget* makeScreenshotsPage();
    QWidget* makeAnnotatePage();
    QWidget* makeAdvancedPage();
    QWidget* makeAboutPage();
    QWidget* colorRow(const QString& name, const QString& title, const QString& description,
                      std::function<RgbaColor()> get, std::function<void(const RgbaColor&)> set);
    QWidget* sliderRow(const QString& name, const QString& title, const QString& description, int minimum, int maximum,
                       int width, std::function<double()> get, std::function<void(double)> set);
    void refreshUpdates();

    SettingsHost& host_;
    AppSettings& settings_;
    QStackedWidget* pages_ = nullptr;
    QButtonGroup* tabButtons_ = nullptr;
    QLabel* folderPath_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLabel* updateTitle_ = nullptr;
    QLabel* updateDetail_ = nullptr;
    QPushButton* checkUpdates_ = nullptr;
    QWidget* updateTestTools_ = nullptr;
    QWidget* setupChecklistContainer_ = nullptr;
    std::vector<std::function<void()>> refreshers_;
};

} // namespace lumivane
