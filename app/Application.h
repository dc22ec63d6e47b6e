#pragma once

#include "app/AppServices.h"
#include "platform/Screens.h"

#include <QCoreApplication>
#include <functional>
#include <memory>

namespace lumivane {

class AppModel;

// The desktop's services for the application model: X11 screens and capture, hot
// keys, browser capture, the preview panel and the clipboard. `model` answers the
// model the preview panel calls back into once it exists.
AppServices makeDesktopServices(std::shared_ptr<X11Screens> screens, std::function<AppModel*()> model);

// Loads the Japanese translations of Qt's own dialogs (Debian's Qt translations
// package); false when they are not installed.
bool installQtTranslations(QCoreApplication& app);

// Starts the tray application; returns the process exit code.
int runApplication(int argc, char** argv);

} // namespace lumivane
