#include "cli/Cli.h"

namespace lumivane::cli {

int commandProject(const QStringList& args) {
    printError("'project' is not available in this build yet");
    return exitFailure;
}

} // namespace lumivane::cli
