#pragma once

namespace lumivane {

// Starts the tray application; returns the process exit code.
int runApplication(int argc, char** argv);

} // namespace lumivane
