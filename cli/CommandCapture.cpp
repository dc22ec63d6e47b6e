#include "app/LastCaptureAreas.h"
#include "capture/CaptureService.h"
#include "cli/Cli.h"
#include "cli/ImageFiles.h"
#include "settings/AppSettings.h"

#include <cmath>

namespace lumivane::cli {

namespace {

// X11 coordinates and sizes are 16-bit: no desktop reaches beyond this.
constexpr double maxDesktopCoordinate = 32767;

} // namespace

int commandCapture(const QStringList& args) {
    if (args.isEmpty())
        return usageError("capture needs 'full', 'rect X Y W H', 'window', 'last' or 'browser ...'");
    const QString& mode = args.first();
    if (mode == "browser")
        return commandCaptureBrowser(args.mid(1));
    if (mode != "full" && mode != "rect" && mode != "window" && mode != "last")
        return usageError(QStringLiteral("unknown capture mode '%1' (full, rect, window, last or browser)").arg(mode));
    const QString command = "capture " + mode;

    QString output;
    CaptureQualityPreset preset = CaptureQualityPreset::medium;
    QStringList positional;
    const QStringList rest = args.mid(1);
    for (int i = 0; i < rest.size(); ++i) {
        const QString& arg = rest[i];
        if (arg == "-o" || arg == "--output" || arg == "--preset") {
            if (i + 1 >= rest.size())
                return usageError(QString("%1: %2 needs a value").arg(command, arg));
            const QString& value = rest[++i];
            if (arg == "--preset") {
                const auto p = captureQualityPresetFromRaw(value);
                if (!p)
                    return usageError(QString("%1: unknown preset '%2' (low, medium or high)").arg(command, value));
                preset = *p;
            } else {
                output = value;
            }
            continue;
        }
        bool isNumber = false;
        arg.toDouble(&isNumber);
        if (arg.startsWith('-') && !isNumber)
            return usageError(QString("%1: unknown option '%2'").arg(command, arg));
        positional << arg;
    }
    if (mode != "rect" && !positional.isEmpty())
        return usageError(QString("%1: unexpected argument '%2'").arg(command, positional.first()));
    if (mode == "rect" && positional.size() != 4)
        return usageError(QString("%1 needs X Y W H (got %2 numbers)").arg(command).arg(positional.size()));
    if (output.isEmpty())
        return usageError(QString("%1 needs -o FILE").arg(command));
    if (!imageFormatForOutput(output))
        return unsupportedOutputError(output, command);

    QRectF rect;
    if (mode == "rect") {
        double v[4];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            v[i] = positional.at(i).toDouble(&ok);
            if (!ok)
                return usageError(QStringLiteral("%1: not a number: %2").arg(command, positional.at(i)));
            if (!std::isfinite(v[i]) || std::fabs(v[i]) > maxDesktopCoordinate)
                return usageError(QStringLiteral("%1: %2 is outside any desktop (at most %3 in magnitude)")
                                      .arg(command, positional.at(i))
                                      .arg(maxDesktopCoordinate));
        }
        if (v[2] <= 0 || v[3] <= 0)
            return usageError(QString("%1 needs a positive width and height").arg(command));
        rect = QRectF(v[0], v[1], v[2], v[3]);
    }

    const auto desktop = loadDesktopBackend();
    if (desktop->windowSystem == WindowSystem::none) {
        printError(desktop->unavailableReason);
        return exitFailure;
    }
    auto service = std::make_unique<CaptureService>(*desktop);
    if (mode == "rect") {
        QRectF desktop;
        for (const ScreenInfo& s : service->screens())
            desktop |= s.frame;
        if (!desktop.contains(rect)) {
            printError(QString("%1: the rectangle %2,%3 %4×%5 is not within the desktop (%6,%7 %8×%9)")
                           .arg(command)
                           .arg(rect.x())
                           .arg(rect.y())
                           .arg(rect.width())
                           .arg(rect.height())
                           .arg(desktop.x())
                           .arg(desktop.y())
                           .arg(desktop.width())
                           .arg(desktop.height()));
            return exitFailure;
        }
    }
    try {
        const AppSettings settings;
        if (mode == "last") {
            // The area the application remembered, on its screen as it is now.
            if (!settings.lastCaptureArea())
                throw CaptureError(CaptureError::Kind::noLastArea);
            rect = rectForLastCaptureArea(*settings.lastCaptureArea(), service->screens());
        }
        QFuture<ImageRef> future;
        if (mode == "full")
            future = service->captureFullScreen();
        else if (mode == "window")
            future =
                service->captureWindow(desktop->makeActiveWindowCapture
                                           ? std::shared_ptr<ActiveWindowCapture>(desktop->makeActiveWindowCapture())
                                           : nullptr,
                                       settings.includeWindowFrame());
        else
            future = service->capture(rect);
        future.waitForFinished();
        if (future.isCanceled()) {
            printError(QString("%1: the capture was cancelled").arg(command));
            return exitCancelled;
        }
        const ImageRef image = future.result();
        if (!image)
            throw CaptureError(CaptureError::Kind::captureFailed);
        return writeImageFile(*image, output, ImageExportProfile::standard, preset, command);
    } catch (const CaptureError& e) {
        printError(QString("%1: %2").arg(command, e.description()));
        return exitFailure;
    }
}

} // namespace lumivane::cli
