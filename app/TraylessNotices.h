#pragma once
#include "app/DesktopNotifications.h"

#include <QObject>
#include <QString>
#include <functional>

namespace lumivane {

class AppModel;

// Whether the desktop shows the application's tray icon: a StatusNotifier host on
// the session bus, or on X11 a system tray manager. UI thread; asks the bus.
bool desktopShowsTrayIcons();

// Where no tray shows the icon, the tray menu cannot carry the application's news:
// a failed capture and, on the first start, the notice that Lumivane is running and
// how to reach it go to the desktop's notifications instead. UI thread.
class TraylessNotices : public QObject {
public:
    TraylessNotices(AppModel& model, DesktopNotifications notifications,
                    std::function<bool()> trayShown = desktopShowsTrayIcons, QObject* parent = nullptr);

    // Once per installation, when no tray shows the icon: Lumivane is running, the
    // launcher opens its settings, and how to capture.
    void maybePresentRunningNotice();

    // The texts (Japanese, as the rest of the interface).
    static QString captureFailedSummary();
    static QString runningSummary();
    // With the application's own hot keys, their keys; else the commands to bind.
    static QString runningBody(const QString& fullScreenKeys, const QString& areaKeys, bool keysBoundByDesktop);

private:
    AppModel& model_;
    DesktopNotifications notifications_;
    std::function<bool()> trayShown_;
};

} // namespace lumivane
