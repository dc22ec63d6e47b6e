#include "app/Application.h"
#include "cli/Cli.h"

#include "BuildConfig.h"
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName("Lumivane");
    QCoreApplication::setOrganizationName("Lumivane");
    QCoreApplication::setApplicationVersion(LUMIVANE_VERSION_STRING);
    if (lumivane::cli::isCommandLineInvocation(argc, argv))
        return lumivane::cli::run(argc, argv);
    return lumivane::runApplication(argc, argv);
}
