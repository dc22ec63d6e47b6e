#include "app/Autostart.h"
#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace lumivane::autostart {

namespace {

// An Exec argument: quoted when it holds a reserved character, with ", `, $ and
// backslash escaped inside the quotes, then every backslash doubled for the string value itself.
QString execArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (QChar c : argument)
        if (reserved.contains(c))
            needsQuotes = true;
    QString out = argument;
    out.replace(QStringLiteral("%"), QStringLiteral("%%"));
    if (!needsQuotes)
        return out;
    QString quoted;
    for (QChar c : out) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    return quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
}

} // namespace

QString entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/") +
           applicationId + QStringLiteral(".desktop");
}

bool isEnabled() {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Hidden=true in the entry's group means the entry is deleted.
    bool inEntry = false;
    while (!file.atEnd()) {
        QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        line.replace(' ', "");
        if (inEntry && line == "Hidden=true")
            return false;
    }
    return true;
}

// A value of the entry's string type: backslash, newline, tab and return escaped.
static QString escapedString(const QString& value) {
    QString out;
    for (const QChar c : value) {
        if (c == '\\')
            out += QStringLiteral("\\\\");
        else if (c == '\n')
            out += QStringLiteral("\\n");
        else if (c == '\t')
            out += QStringLiteral("\\t");
        else if (c == '\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QByteArray entryText(const QString& executable) {
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Lumivane\n");
    text += QStringLiteral("Comment=Starts Lumivane in the system tray at login\n");
    text += QStringLiteral("Comment[ja]=ログイン時に Lumivane をシステムトレイで起動します\n");
    text += QStringLiteral("Icon=") + applicationId + QStringLiteral("\n");
    // TryExec: the entry is skipped once the executable is gone (package removed).
    text += QStringLiteral("TryExec=") + escapedString(executable) + QStringLiteral("\n");
    text += QStringLiteral("Exec=") + execArgument(executable) + QStringLiteral("\n");
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

bool setEnabled(bool enabled, const QString& executable, QString* error) {
    const QString path = entryPath();
    if (!enabled) {
        if (!QFile::exists(path) || QFile::remove(path))
            return true;
        if (error)
            *error = QStringLiteral("%1 を削除できませんでした。").arg(path);
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QStringLiteral("%1 を作成できませんでした。").arg(QFileInfo(path).absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(entryText(executable)) < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("%1 を書き込めませんでした。%2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace lumivane::autostart
