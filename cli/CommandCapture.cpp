#include "capture/CaptureService.h"
#include "cli/Cli.h"
#include "cli/ImageFiles.h"

namespace lumivane::cli {

int commandCapture(const QStringList& args) {
    if (args.isEmpty()) return usageError("capture needs 'full', 'rect X Y W H' or 'browser ...'");
    const QString mode = args.first();
    if (mode == "browser") return commandCaptureBrowser(args.mid(1));

    QStringList rest = args.mid(1);
    QString output;
    const int o = rest.indexOf("-o");
    if (o < 0 || o + 1 >= rest.size()) return usageError("capture needs -o FILE");
    output = rest.at(o + 1);
    rest.remove(o, 2);

    QRectF rect;
    if (mode == "rect") {
        if (rest.size() != 4) return usageError("capture rect needs X Y W H");
        double v[4];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            v[i] = rest.at(i).toDouble(&ok);
            if (!ok) return usageError(QStringLiteral("not a number: %1").arg(rest.at(i)));
        }
        if (v[2] <= 0 || v[3] <= 0) return usageError("capture rect needs a positive width and height");
        rect = QRectF(v[0], v[1], v[2], v[3]);
    } else if (mode != "full" || !rest.isEmpty()) {
        return usageError(QStringLiteral("unknown capture mode '%1'").arg(mode));
    }

    const auto desktop = loadDesktopBackend();
    if (desktop->windowSystem == WindowSystem::none) {
        printError(desktop->unavailableReason);
        return exitFailure;
    }
    auto service = std::make_unique<CaptureService>(*desktop);
    try {
        QFuture<ImageRef> future = mode == "full" ? service->captureFullScreen() : service->capture(rect);
        future.waitForFinished();
        const ImageRef image = future.result();
        if (!image) throw CaptureError(CaptureError::Kind::captureFailed);
        return writeImageFile(*image, output, ImageExportProfile::standard, CaptureQualityPreset::medium,
                              "capture");
    } catch (const CaptureError& e) {
        printError(e.description());
        return exitFailure;
    }
}

} // namespace lumivane::cli
