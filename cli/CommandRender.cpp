#include "cli/Cli.h"

namespace lumivane::cli {

int commandRender(const QStringList& args) {
    printError("'render' is not available in this build yet");
    return exitFailure;
}

} // namespace lumivane::cli
