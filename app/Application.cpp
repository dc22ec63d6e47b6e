#include "app/Application.h"

#include <QTextStream>
#include <cstdlib>

namespace lumivane {

int runApplication(int argc, char** argv) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        QTextStream(stderr)
            << "lumivane: no X11 display (DISPLAY is not set).\n"
            << "Start Lumivane inside an X11 desktop session, or use the command line, e.g.\n"
            << "  lumivane capture full -o screenshot.png\n"
            << "See 'lumivane --help'.\n";
        return 1;
    }
    QTextStream(stderr) << "lumivane: the tray application is not available in this build yet.\n";
    return 1;
}

} // namespace lumivane
