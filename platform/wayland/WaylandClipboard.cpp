#include "platform/wayland/WaylandClipboard.h"

#include <QProcess>
#include <QStandardPaths>

namespace lumivane {

std::optional<QString> offerThroughWlCopy(const QByteArray& data, const QString& mimeType) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("wl-copy"));
    if (program.isEmpty())
        return QStringLiteral("wl-copy (wl-clipboard) is not installed");
    QProcess process;
    // wl-copy stays in the background serving the data: it must not hold our pipes.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {QStringLiteral("--type"), mimeType});
    if (!process.waitForStarted(3000))
        return QStringLiteral("wl-copy did not start: %1").arg(process.errorString());
    process.write(data);
    process.closeWriteChannel();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return QStringLiteral("wl-copy did not hand the data over within 5 s");
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("wl-copy failed (exit code %1)").arg(process.exitCode());
    return std::nullopt;
}

} // namespace lumivane
