#include "cli/Cli.h"

namespace lumivane::cli {

int commandExport(const QStringList& args) {
    printError("'export' is not available in this build yet");
    return exitFailure;
}

} // namespace lumivane::cli
