#include "cli/Cli.h"
#include "platform/DesktopBackend.h"
#include "export/AtomicFile.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>
#include <QTextStream>
#include <csignal>
#include <cstdio>

namespace lumivane::cli {

namespace {

struct Command {
    const char* name;
    const char* synopsis;
    int (*run)(const QStringList&);
};

const Command kCommands[] = {
    {"capture", "capture full|area|browser   capture in the running application (started when needed)"
     "\n  lumivane capture full -o FILE | capture rect X Y W H -o FILE | capture browser -o FILE [--preset low|medium|high]",
     commandCapture},
    {"export",
     "export INPUT -o OUTPUT [--format png|jpeg] [--preset low|medium|high] "
     "[--profile standard|browserFullPage] [--drag]",
     commandExport},
    {"render", "render PROJECT.lumivane -o OUT.png|OUT.jpg", commandRender},
    {"project", "project new IMAGE -o PROJECT.lumivane", commandProject},
    {"open", "open PROJECT.lumivane      open a project in the running application's editor", commandOpen},
};

void printHelp(FILE* out) {
    QTextStream s(out);
    s << "Lumivane - screenshot and annotation tool\n\n"
      << "Usage:\n"
      << "  lumivane                 start the tray application (needs a Wayland or X11 session)\n";
    for (const Command& c : kCommands) s << "  lumivane " << c.synopsis << "\n";
    s << "  (FILE '-' writes to standard output; a device or pipe is written as it is)\n"
      << "  lumivane --help          show this help\n"
      << "  lumivane --version       show the version\n";
}

} // namespace

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
        if (a.startsWith("--lumivane-")) continue;
        return true;
    }
    return false;
}

QProcessEnvironment& launchEnvironmentStore() {
    static QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    return environment;
}

QProcessEnvironment launchEnvironment() { return launchEnvironmentStore(); }

int run(int argc, char** argv) {
    // File names are byte strings: kept without loss, whatever their encoding.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << fileNameFromNative(QByteArray(argv[i]));
    // A closed pipe on the output is reported as a write error, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    if (args.isEmpty()) {
        printHelp(stderr);
        return exitUsage;
    }
    // Commands draw text and run event loops but never show a window.
    launchEnvironmentStore() = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<QGuiApplication> application;
    if (!QCoreApplication::instance()) {
        static int appArgc = 1;
        static char appName[] = "lumivane";
        static char* appArgv[] = {appName, nullptr};
        // Captures in a Wayland session read the outputs through Qt's wayland platform;
        // an explicit QT_QPA_PLATFORM wins there.
        const bool waylandCapture = args.first() == QLatin1String("capture") &&
                                    sessionWindowSystem() == WindowSystem::wayland;
        if (!waylandCapture) qputenv("QT_QPA_PLATFORM", "offscreen");
        else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "wayland");
        application = std::make_unique<QGuiApplication>(appArgc, appArgv);
    }
    const QString name = args.takeFirst();
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(stdout);
        return exitOk;
    }
    if (name == "--version") {
        QTextStream(stdout) << "lumivane " << QCoreApplication::applicationVersion() << "\n";
        return exitOk;
    }
    if (name == "capture" && isInteractiveCapture(args)) return commandCaptureInApplication(args);
    // A project handed over by the file manager (the desktop entry's %f).
    if (name.endsWith(".lumivane") && args.isEmpty()) return commandOpen({name});
    for (const Command& c : kCommands)
        if (name == QLatin1String(c.name)) return c.run(args);
    return usageError(QString("unknown command or option '%1'").arg(name));
}

} // namespace lumivane::cli
