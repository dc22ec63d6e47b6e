#include "export/ShareLaunch.h"
#include "export/ShareExporter.h"

#include <QFileInfo>

namespace lumivane {

QString shareMimeType(ScreenshotFileFormat format) {
    return format == ScreenshotFileFormat::jpeg ? QStringLiteral("image/jpeg") : QStringLiteral("image/png");
}

namespace {

void runAction(const std::optional<QString>& path, const ShareAction& action,
               const std::function<void(const std::optional<QString>&, const QString&)>& finished) {
    if (!path) {
        finished(std::nullopt, QStringLiteral("共有用の画像ファイルを作成できませんでした。"));
        return;
    }
    QString error;
    if (!action(*path, &error)) {
        finished(std::nullopt, error);
        return;
    }
    finished(path, {});
}

} // namespace

void handOutShare(const ShareHandOut& handOut, QObject* context, ShareAction action,
                  const std::function<void(const std::optional<QString>& path, const QString& error)>& finished) {
    std::optional<QString> path = handOut.file;
    if (path && !QFileInfo::exists(*path))
        path.reset();
    if (!path && handOut.image) {
        ShareExporter::prepareShareItem(handOut.image, handOut.source, handOut.format, handOut.preset,
                                        handOut.fileNamePrefix, context,
                                        [action = std::move(action), finished](const std::optional<QString>& created) {
                                            runAction(created, action, finished);
                                        });
        return;
    }
    runAction(path, action, finished);
}

} // namespace lumivane
