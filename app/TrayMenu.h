#pragma once
#include "settings/SettingsWindowController.h"
#include "tray/TrayMenuContent.h"

#include <QMenu>
#include <QObject>
#include <QWidget>
#include <functional>

namespace lumivane {

class AppModel;
class AppSettingsHost;
class AppUpdateController;

// The menu's published state, read from the model.
TrayMenuState trayMenuState(AppModel& model, const AppUpdateController& updates);

// The error box of the menu: the summary on at most two lines, cut at the end,
// with a warning symbol, on a rounded box tinted red.
class MenuErrorBox : public QWidget {
public:
    explicit MenuErrorBox(const QString& summary, QWidget* parent = nullptr);
    // The lines shown (one or two; the second ends in "…" when the summary is longer).
    QStringList shownLines() const { return lines_; }
    static QStringList twoLines(const QString& text, const QFont& font, int width);
    static QColor systemRed() { return QColor(255, 59, 48); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QStringList lines_;
};

// The tray menu, rebuilt from the model whenever it publishes a change. Texts
// are labels in the menu's own text colour; the capture items show their keys.
class TrayMenu : public QObject {
public:
    static constexpr int contentWidth = 320;
    static constexpr size_t recentCaptureCount = 5;
    // Shows the window of all kept captures (set by the application).
    std::function<void()> showHistoryWindow;

    TrayMenu(AppModel& model, AppSettingsHost& settingsHost, AppUpdateController& updates);
    QMenu* menu() { return &menu_; }
    void rebuild();

private:
    void run(TrayMenuCommand command, int argument = 0);

    AppModel& model_;
    AppSettingsHost& settingsHost_;
    AppUpdateController& updates_;
    SettingsWindowController settingsWindow_;
    QMenu menu_;
};

} // namespace lumivane
