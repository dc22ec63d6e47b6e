// Commands carried out by the running application: interactive captures and
// opening a project in its editor. Starts the application first when none runs.
#include "app/DelayedCapture.h"
#include "app/SingleInstance.h"
#include "cli/Cli.h"
#include "cli/ImageFiles.h"
#include "core/AtomicFile.h"
#include "core/NativeFileNames.h"
#include "editor_model/EditableImage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>
#include <climits>
#include <csignal>
#include <unistd.h>

namespace lumivane::cli {

namespace {

constexpr int startTimeoutMs = 20000;
constexpr int maximumCaptureDelay = DelayedCapture::maximumDelay;

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Starts `lumivane` in the background and waits until it answers. One command at a
// time starts it (a lock in the runtime folder); the others find it running.
bool startApplication() {
    QDir().mkpath(instanceRuntimeDirectory());
    QLockFile startLock(instanceRuntimeDirectory() + QStringLiteral("/") + applicationId +
                        QStringLiteral(".start.lock"));
    startLock.setStaleLockTime(0);
    if (!startLock.tryLock(startTimeoutMs + 5000)) {
        printError("another command is starting Lumivane and does not finish");
        return false;
    }
    if (isInstanceRunning())
        return true;
    if (!hasDisplay()) {
        printError("Lumivane is not running, and there is no display to start it on (DISPLAY is not set)");
        return false;
    }
    // Start-up errors are kept in a file and shown when the application gives up.
    QTemporaryFile log(QDir::tempPath() + QStringLiteral("/lumivane-start-XXXXXX.log"));
    log.open();
    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setProcessEnvironment(launchEnvironment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(log.fileName());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        printError(QStringLiteral("cannot start %1: %2").arg(process.program(), process.errorString()));
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < startTimeoutMs) {
        if (isInstanceRunning())
            return true;
        if (::kill(pid_t(pid), 0) != 0) {
            QFile errors(log.fileName());
            errors.open(QIODevice::ReadOnly);
            const QString text = QString::fromLocal8Bit(errors.readAll()).trimmed();
            printError(QStringLiteral("Lumivane could not start%1").arg(text.isEmpty() ? QString() : ":\n" + text));
            return false;
        }
        QThread::msleep(100);
    }
    printError("Lumivane was started but does not answer");
    return false;
}

// The path from the working folder, byte for byte (QDir would decode the folder's name).
QString absolutePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/')))
        return path;
    char folder[PATH_MAX];
    if (!::getcwd(folder, sizeof folder))
        return path;
    return fileNameFromNative(QByteArray(folder)) + QLatin1Char('/') + path;
}

InstanceReply request(const QString& method, const QString& argument) {
    InstanceReply reply = sendToRunningInstance(method, argument);
    if (!reply.reached && startApplication())
        reply = sendToRunningInstance(method, argument);
    return reply;
}

int forward(const QString& method, const QString& argument, const QString& what) {
    const InstanceReply reply = request(method, argument);
    if (!reply.reached) {
        printError("the running Lumivane cannot be reached");
        return exitFailure;
    }
    if (const auto error = reply.error()) {
        printError(QStringLiteral("the running Lumivane refused to %1: %2").arg(what, *error));
        return exitFailure;
    }
    return exitOk;
}

// A capture waits for its outcome: shown (0), failed with the application's own
// text (1), or cancelled by the user (exitCancelled).
int forwardCapture(const QString& method, const QString& argument = {}) {
    const InstanceReply reply = request(method, argument);
    if (!reply.reached) {
        printError("the running Lumivane cannot be reached");
        return exitFailure;
    }
    switch (reply.answer.status) {
    case InstanceAnswer::Status::ok:
        // The text of a reading capture, as UTF-8 lines.
        if (method == QLatin1String(instance_method::captureAreaText)) {
            QByteArray text = reply.answer.text.toUtf8();
            if (!text.isEmpty())
                text += '\n';
            if (writeAllToDescriptor(STDOUT_FILENO, text) != 0) {
                printError(QStringLiteral("読み取った文字を標準出力に書き出せませんでした。"));
                return exitFailure;
            }
        }
        return exitOk;
    case InstanceAnswer::Status::cancelled:
        printError("the capture was cancelled");
        return exitCancelled;
    case InstanceAnswer::Status::captureFailed:
        printError(reply.answer.text);
        return exitFailure;
    case InstanceAnswer::Status::refused:
        break;
    }
    printError(QStringLiteral("the running Lumivane refused the capture: %1").arg(reply.answer.text));
    return exitFailure;
}

} // namespace

int commandPin(const QStringList& args) {
    if (args.size() != 1 || args[0].startsWith('-'))
        return usageError("pin needs exactly one IMAGE");
    if (!checkInputFile(args[0], QStringLiteral("pin")))
        return exitFailure;
    return forward(QString::fromLatin1(instance_method::pinImage), pathRequestArgument(absolutePath(args[0])),
                   QStringLiteral("pin '%1'").arg(args[0]));
}

namespace {
// "--delay N" after "full", "area", "window" or "last": N, or nothing when absent or malformed.
std::optional<int> delayOption(const QStringList& args) {
    if (args.size() != 3 || args[1] != "--delay" || !isDelayedCaptureMode(args[0]))
        return std::nullopt;
    bool ok = false;
    const int seconds = args[2].toInt(&ok);
    return ok ? std::optional<int>(seconds) : std::nullopt;
}
} // namespace

bool isInteractiveCapture(const QStringList& args) {
    if (args.size() == 2 && args[0] == "area" && args[1] == "--text")
        return true;
    if (args.size() == 3 && args[1] == "--delay")
        return isDelayedCaptureMode(args[0]);
    return args.size() == 1 &&
           (args[0] == "full" || args[0] == "area" || args[0] == "browser" || args[0] == "window" || args[0] == "last");
}

int commandCaptureInApplication(const QStringList& args) {
    const QString mode = args.value(0);
    if (args.value(1) == QLatin1String("--text"))
        return forwardCapture(QString::fromLatin1(instance_method::captureAreaText));
    if (args.size() == 3) {
        const std::optional<int> seconds = delayOption(args);
        if (!seconds || *seconds < 1 || *seconds > maximumCaptureDelay)
            return usageError(
                QStringLiteral("--delay needs a number of seconds from 1 to %1").arg(maximumCaptureDelay));
        return forwardCapture(QString::fromLatin1(instance_method::captureAfterDelay),
                              QStringLiteral("%1 %2").arg(mode).arg(*seconds));
    }
    if (mode == "full")
        return forwardCapture(QString::fromLatin1(instance_method::captureFullScreen));
    if (mode == "area")
        return forwardCapture(QString::fromLatin1(instance_method::captureArea));
    if (mode == "window")
        return forwardCapture(QString::fromLatin1(instance_method::captureWindow));
    if (mode == "last")
        return forwardCapture(QString::fromLatin1(instance_method::captureLastArea));
    return forwardCapture(QString::fromLatin1(instance_method::captureBrowserPage));
}

int commandOpen(const QStringList& args) {
    if (args.size() != 1 || args[0].startsWith('-'))
        return usageError("open needs exactly one PROJECT.lumivane");
    if (!checkInputFile(args[0], QStringLiteral("open")))
        return exitFailure;
    return forward(QString::fromLatin1(instance_method::openProject), pathRequestArgument(absolutePath(args[0])),
                   QStringLiteral("open '%1'").arg(args[0]));
}

int commandEdit(const QStringList& args) {
    if (args.size() != 1 || args[0].startsWith('-'))
        return usageError("edit needs exactly one IMAGE");
    // A file that is no image the editor can hold is refused here, before anything starts.
    if (const QString problem = EditableImage::checkFile(args[0]); !problem.isEmpty()) {
        printError(QStringLiteral("edit: %1: %2").arg(args[0], problem));
        return exitFailure;
    }
    return forward(QString::fromLatin1(instance_method::editImage), pathRequestArgument(absolutePath(args[0])),
                   QStringLiteral("edit '%1'").arg(args[0]));
}

} // namespace lumivane::cli
