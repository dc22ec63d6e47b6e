#pragma once
#include "core/ImageFormats.h"
#include "settings/SettingsHost.h"
#include "shortcuts/Shortcut.h"

#include <QColor>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QStackedWidget;

namespace lumivane {

class AdvancedSettingsPage;
class ScreenshotsSettingsPage;
class SettingsPage;
class ShortcutRow;

// The content of the settings window: a header of tab buttons with the
// restore button, a divider and a scrolling page per tab. Every control
// writes straight into the settings.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(SettingsHost& host, QWidget* parent = nullptr);

    // Replaceable choosers (tests answer without a dialog). Nothing = cancelled.
    std::function<std::optional<QString>()> chooseFolder;
    std::function<std::optional<QColor>(const QColor& current)> chooseColor;
    std::function<void(const QUrl&)> openURL;

    SettingsTab shownTab() const;
    QAbstractButton* tabButton(SettingsTab tab) const;
    ShortcutRow* shortcutRow(ShortcutAction action) const;
    // The page of the advanced tab hosts the setup checklist; it starts empty.
    QWidget* setupChecklistContainer() const;
    QLabel* folderPathLabel() const;

    void chooseSaveFolder();
    void clearSaveFolder();
    void restoreDefaults();
    void refresh();

private:
    SettingsHost& host_;
    AppSettings& settings_;
    QStackedWidget* pages_ = nullptr;
    QButtonGroup* tabButtons_ = nullptr;
    std::vector<SettingsPage*> pageList_;
    ScreenshotsSettingsPage* screenshotsPage_ = nullptr;
    AdvancedSettingsPage* advancedPage_ = nullptr;
};

} // namespace lumivane
