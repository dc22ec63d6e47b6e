#include "cli/Cli.h"

namespace lumivane::cli {

int commandCapture(const QStringList& args) {
    printError("'capture' is not available in this build yet");
    return exitFailure;
}

} // namespace lumivane::cli
