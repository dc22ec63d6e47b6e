#include "browser/BrowserPageParts.h"

#include "browser/BrowserSliceStitcher.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace lumivane::browser_parts {

bool needsSplit(QSize full) {
    if (full.isEmpty())
        return false;
    const double w = full.width();
    const double capped = w * browser_output::scaleFor(w, full.height());
    return capped < std::min(w, readableWidth) - 0.5;
}

double partScale(QSize full) {
    if (full.isEmpty())
        return 1;
    const double w = full.width();
    return std::min(1.0, std::max(readableWidth / w, browser_output::scaleFor(w, full.height())));
}

std::vector<std::pair<qint64, qint64>> partRows(QSize full) {
    std::vector<std::pair<qint64, qint64>> rows;
    if (full.isEmpty())
        return rows;
    const double s = partScale(full);
    const double outWidth = std::max(std::floor(full.width() * s), 1.0);
    const double outHeight = std::min(browser_output::maxDimension, std::floor(browser_output::maxPixels / outWidth));
    const qint64 step = std::max<qint64>(qint64(std::floor(outHeight / s)), 1);
    for (qint64 top = 0; top < full.height(); top += step)
        rows.emplace_back(top, std::min<qint64>(top + step, full.height()));
    return rows;
}

namespace {

std::optional<QByteArray> encodeFullSize(const QImage& image, ScreenshotFileFormat format,
                                         CaptureQualityPreset preset) {
    if (format == ScreenshotFileFormat::jpeg)
        return ImageExportPipeline::encodedImageFileData(image, format, ImageExportProfile::browserFullPage, preset);
    const auto normalized = ImageExportPipeline::normalizedImage(image, std::nullopt);
    if (!normalized)
        return std::nullopt;
    return ImageExportPipeline::encode(*normalized, format);
}

bool encodeWithin(const QImage& image, ScreenshotFileFormat format, CaptureQualityPreset preset, int budget,
                  std::vector<QByteArray>& out) {
    auto bytes = encodeFullSize(image, format, preset);
    if (!bytes)
        return false;
    if (bytes->size() <= budget || image.height() < 2 * minimumPartHeight) {
        out.push_back(std::move(*bytes));
        return true;
    }
    const int half = image.height() / 2;
    return encodeWithin(image.copy(0, 0, image.width(), half), format, preset, budget, out) &&
           encodeWithin(image.copy(0, half, image.width(), image.height() - half), format, preset, budget, out);
}

} // namespace

std::vector<QByteArray> encodedParts(const std::vector<ImageRef>& parts, ScreenshotFileFormat format,
                                     ImageExportProfile profile, CaptureQualityPreset preset) {
    const int budget = ImageExportOptions::output(profile, preset).byteBudget;
    std::vector<QByteArray> out;
    for (const ImageRef& part : parts)
        if (!part || !encodeWithin(*part, format, preset, budget, out))
            return {};
    return out;
}

QString numberedPartPath(const QString& path, int index) {
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? info.fileName() : info.completeBaseName();
    const QString name = stem + QStringLiteral("-part%1").arg(index) + (suffix.isEmpty() ? QString() : "." + suffix);
    const QString dir = path.left(path.size() - info.fileName().size());
    return dir + name;
}

} // namespace lumivane::browser_parts
