#include "cli/Cli.h"
#include "core/AtomicFile.h"
#include "platform/DesktopBackend.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace lumivane::cli {

namespace {

struct Command {
    const char* name;
    const char* synopsis;
    int (*run)(const QStringList&);
};

const Command kCommands[] = {
    {"capture",
     "capture full|area|window|last|browser   capture in the running application (started when needed)"
     "\n  lumivane capture full|area|window|last --delay N   the same after a countdown of N seconds (1 to 60)"
     "\n  lumivane capture area --text      choose an area in the running application and print the text read in it"
     "\n  lumivane capture full -o FILE | capture window -o FILE | capture last -o FILE | capture rect X Y W H -o FILE"
     "\n  lumivane capture browser -o FILE [--preset "
     "low|medium|high] [--split]"
     "\n      [--devtools-port PORT] [--profile-folder DIR]... (exit 3: written, but part of the page is missing)",
     commandCapture},
    {"export",
     "export INPUT -o OUTPUT [--format png|jpeg] [--preset low|medium|high] "
     "[--profile standard|browserFullPage] [--drag]",
     commandExport},
    {"render", "render PROJECT.lumivane -o OUT.png|OUT.jpg", commandRender},
    {"project", "project new IMAGE -o PROJECT.lumivane", commandProject},
    {"open", "open PROJECT.lumivane      open a project in the running application's editor", commandOpen},
    {"edit", "edit IMAGE                 open an image (PNG, JPEG, WebP, ...) in the running application's editor",
     commandEdit},
    {"pin", "pin IMAGE                  pin an image to the screen in the running application", commandPin},
    {"ocr",
     "ocr IMAGE [-o FILE]        print the text read in the image (Japanese and English), then its QR codes"
     "\n      and barcodes one a line (\"[QR] ...\")",
     commandOcr},
};

void printHelp(FILE* out) {
    QTextStream s(out);
    s << "Lumivane - screenshot and annotation tool\n\n"
      << "Usage:\n"
      << "  lumivane                 start the tray application (needs a Wayland or X11 session)\n";
    for (const Command& c : kCommands)
        s << "  lumivane " << c.synopsis << "\n";
    s << "  (FILE '-' writes to standard output; a device or pipe is written as it is)\n"
      << "  'capture full|area|window|last|browser' waits until the capture has ended. Exit status:\n"
      << "    0 the capture is shown in the preview, 1 it failed (the reason on standard error),\n"
      << "    2 wrong usage, 3 the user cancelled it, 4 'capture browser -o' wrote the page\n"
      << "    with part of it missing (named on standard error)\n"
      << "  lumivane --help          show this help\n"
      << "  lumivane --version       show the version\n";
}

} // namespace

CommandNeeds commandNeeds(const QStringList& args) {
    if (args.isEmpty())
        return CommandNeeds::core;
    const QString& name = args.first();
    // Annotations are drawn with the desktop's fonts.
    if (name == QLatin1String("render"))
        return CommandNeeds::offscreenGui;
    if (name == QLatin1String("capture")) {
        if (sessionWindowSystem() == WindowSystem::wayland && !isInteractiveCapture(args.mid(1)))
            return CommandNeeds::waylandGui;
        // The browser capture finds the browser's window through the desktop's services.
        if (args.size() > 1 && args.at(1) == QLatin1String("browser") && !isInteractiveCapture(args.mid(1)))
            return CommandNeeds::offscreenGui;
    }
    return CommandNeeds::core;
}

void printError(const QString& message) {
    QTextStream(stderr) << "lumivane: " << message << "\n";
}

int usageError(const QString& message) {
    printError(message);
    QTextStream(stderr) << "Run 'lumivane --help' for usage.\n";
    return exitUsage;
}

bool isCommandLineInvocation(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        // Launch flags of the application itself are not commands.
        if (a.startsWith("--lumivane-"))
            continue;
        return true;
    }
    return false;
}

QProcessEnvironment& launchEnvironmentStore() {
    static QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    return environment;
}

QProcessEnvironment launchEnvironment() {
    return launchEnvironmentStore();
}

namespace {
int runCommand(QStringList args);
}

int run(int argc, char** argv) {
    // File names are byte strings: kept without loss, whatever their encoding.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << fileNameFromNative(QByteArray(argv[i]));
    // A closed pipe on the output is reported as a write error, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    if (args.isEmpty()) {
        printHelp(stderr);
        return exitUsage;
    }
    // Commands run event loops but never show a window. Only those that draw text
    // (fonts) or read a Wayland desktop (Qt's wayland platform) need Qt's GUI machinery;
    // the others start without a platform plugin, fonts or a D-Bus connection.
    launchEnvironmentStore() = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<QCoreApplication> application;
    if (!QCoreApplication::instance()) {
        static int appArgc = 1;
        static char appName[] = "lumivane";
        static char* appArgv[] = {appName, nullptr};
        const CommandNeeds needs = commandNeeds(args);
        if (needs == CommandNeeds::core) {
            application = std::make_unique<QCoreApplication>(appArgc, appArgv);
        } else {
            // Captures in a Wayland session read the outputs through Qt's wayland platform;
            // an explicit QT_QPA_PLATFORM wins there.
            if (needs == CommandNeeds::offscreenGui)
                qputenv("QT_QPA_PLATFORM", "offscreen");
            else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "wayland");
            application = std::make_unique<QGuiApplication>(appArgc, appArgv);
        }
    }
    const int code = runCommand(std::move(args));
    // Qt 6.4's wayland platform, torn down, loads fontconfig's whole configuration only
    // to release a font database the command never used: hundreds of milliseconds after
    // the work is done. A process of its own leaves without that teardown.
    if (application && QGuiApplication::platformName() == QLatin1String("wayland")) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(code);
    }
    return code;
}

namespace {

int runCommand(QStringList args) {
    const QString name = args.takeFirst();
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(stdout);
        return exitOk;
    }
    if (name == "--version") {
        QTextStream(stdout) << "lumivane " << QCoreApplication::applicationVersion() << "\n";
        return exitOk;
    }
    if (name == "capture" && isInteractiveCapture(args))
        return commandCaptureInApplication(args);
    // A project handed over by the file manager (the desktop entry's %f).
    if (name.endsWith(".lumivane") && args.isEmpty())
        return commandOpen({name});
    // An image handed over the same way ("open with").
    if (args.isEmpty() && !name.startsWith(QLatin1Char('-')) && name.contains(QLatin1Char('.')) &&
        std::none_of(std::begin(kCommands), std::end(kCommands),
                     [&](const Command& c) { return name == QLatin1String(c.name); }))
        return commandEdit({name});
    for (const Command& c : kCommands)
        if (name == QLatin1String(c.name))
            return c.run(args);
    return usageError(QString("unknown command or option '%1'").arg(name));
}

} // namespace

} // namespace lumivane::cli
