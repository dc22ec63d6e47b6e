#include "cli/Cli.h"

namespace lumivane::cli {

int commandCaptureBrowser(const QStringList& args) {
    printError("'capture browser' is not available in this build yet");
    return exitFailure;
}

} // namespace lumivane::cli
