#include "app/FileNaming.h"
#include "core/AtomicFile.h"
#include "settings/AppSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace lumivane {

QString FileNaming::timestamp() {
    return fileNameTimestamp(QDateTime::currentDateTime());
}

QString FileNaming::baseName() const {
    QString prefix = settings_.fileNamePrefix().trimmed();
    if (prefix.isEmpty())
        prefix = QStringLiteral("Screenshot");
    return prefix + "-" + timestamp();
}

QString FileNaming::extension() const {
    return settings_.screenshotFileFormat() == ScreenshotFileFormat::jpeg ? QStringLiteral("jpg")
                                                                          : QStringLiteral("png");
}

QString FileNaming::fileName() const {
    return baseName() + "." + extension();
}

QString FileNaming::uniqueImagePath(const QString& folder) const {
    const QString base = baseName();
    const QString ext = extension();
    const QDir dir(folder);
    QString candidate = dir.filePath(base + "." + ext);
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = dir.filePath(QString("%1-%2.%3").arg(base).arg(n).arg(ext));
    return candidate;
}

QString FileNaming::clipboardFileName(const QString& base) {
    QString name = base;
    name.replace('/', '-').replace(':', '-');
    return name + ".png";
}

} // namespace lumivane
