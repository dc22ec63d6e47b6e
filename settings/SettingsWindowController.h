#pragma once
#include "settings/SettingsHost.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace lumivane {

class SettingsView;

// Holds the settings window: 760×540, titled "設定", centred on first show;
// once created it is kept and re-shown.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    explicit SettingsWindowController(SettingsHost& host, QObject* parent = nullptr);
    ~SettingsWindowController() override;

    // Creates the window on first use, then raises and activates it.
    void showWindow();
    QWidget* window();
    SettingsView* view();

private:
    SettingsHost& host_;
    QPointer<QWidget> window_;
    SettingsView* view_ = nullptr;
    bool centred_ = false;
};

} // namespace lumivane
