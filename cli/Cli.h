#pragma once
#include <QStringList>

#include <QProcessEnvironment>

namespace lumivane::cli {

// Exit codes of the command-line front end.
enum ExitCode : int {
    exitOk = 0,
    exitFailure = 1,   // the command ran and failed (bad input file, capture error, ...)
    exitUsage = 2,     // unknown command or malformed arguments
    exitCancelled = 3, // the user cancelled the capture (Escape on the selection)
    exitPartial = 4,   // the output was written, but part of what was asked for is missing from it
};

// Runs the command named by args[0] with the remaining arguments.
// args excludes the program name. Prints to stdout/stderr.
int run(int argc, char** argv);

// What a command needs of Qt (args include the command's name): QCoreApplication
// only; Qt's GUI on the offscreen platform (fonts for drawing text); Qt's GUI on the
// wayland platform (reading a Wayland desktop).
enum class CommandNeeds { core, offscreenGui, waylandGui };
CommandNeeds commandNeeds(const QStringList& args);

// True when argv names a command-line command (anything after the program name).
bool isCommandLineInvocation(int argc, char** argv);

// Commands, one per file cli/Command*.cpp. Each receives its own arguments
// (without the command name) and returns an ExitCode.
int commandExport(const QStringList& args);
int commandRender(const QStringList& args);
int commandProject(const QStringList& args);
int commandOcr(const QStringList& args);
int commandCapture(const QStringList& args);
// 'capture browser ...' is delegated here by commandCapture.
int commandCaptureBrowser(const QStringList& args);

// Commands for the running application (cli/CommandInstance.cpp): 'capture full',
// 'capture area' and 'capture browser' without an output file, and 'open PROJECT'.
bool isInteractiveCapture(const QStringList& args);
// The environment the command was started with: commands switch Qt to the
// offscreen platform for themselves, which the application they start must not inherit.
QProcessEnvironment launchEnvironment();
int commandCaptureInApplication(const QStringList& args);
int commandOpen(const QStringList& args);
int commandEdit(const QStringList& args);
// Hands an image to the running application, which pins it to the screen.
int commandPin(const QStringList& args);

// Shared helpers for the commands.
void printError(const QString& message); // "lumivane: <message>" on stderr
int usageError(const QString& message);  // printError + hint, returns exitUsage

} // namespace lumivane::cli
