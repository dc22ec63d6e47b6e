#pragma once

#include "app/AppServices.h"
#include "platform/DesktopBackend.h"

#include <QCoreApplication>
#include <functional>
#include <memory>
#include <optional>

namespace lumivane {

class AppModel;

// The desktop's services for the application model from the session's backend:
// screens and capture, hot keys, browser capture, the preview panel and the
// clipboard. `model` answers the model the preview panel calls back into once it exists.
AppServices makeDesktopServices(std::shared_ptr<DesktopBackend> desktop, const std::function<AppModel*()>& model);

// Asks a running Lumivane to show its settings and prints one line saying so; the
// exit code, or nothing when no instance answers. `waitForInstance` retries for a
// few seconds (for an instance that holds the name but is still starting).
std::optional<int> handOverToRunningInstance(bool waitForInstance);

// Loads the Japanese translations of Qt's own dialogs (Debian's Qt translations
// package); false when they are not installed.
bool installQtTranslations(QCoreApplication& app);

// Starts the tray application; returns the process exit code.
int runApplication(int argc, char** argv);

} // namespace lumivane
