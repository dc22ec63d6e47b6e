#include "browser/BrowserCaptureError.h"
#include "browser/BrowserFullPageCaptureService.h"
#include "browser/DesktopBrowserCaptureEnvironment.h"
#include "browser/DevToolsBridge.h"
#include "capture/CaptureError.h"
#include "cli/Cli.h"
#include "cli/ImageFiles.h"
#include "settings/SettingsTypes.h"

#include <QFileInfo>

namespace lumivane::cli {

namespace {

const char* const command = "capture browser";
const char* const endpointHint =
    "Start the browser with --remote-debugging-port=9222 (e.g. 'chromium --remote-debugging-port=9222').";

QString browserErrorText(const BrowserCaptureError& e) {
    using K = BrowserCaptureError::Kind;
    switch (e.kind()) {
    case K::unsupportedBrowser:
        return "the front window is not Google Chrome, Chromium or Brave";
    case K::browserNotFrontmost:
        return "bring Google Chrome, Chromium or Brave with a normal web page to the front and try again";
    case K::pageInfoUnavailable:
        return QString("cannot read the page information of the active tab (it must be an http, https or file "
                       "page). %1").arg(endpointHint);
    case K::browserWindowUnavailable:
        return "cannot locate the page area inside the browser window";
    case K::accessibilityPermissionMissing:
        return "the browser window cannot be inspected";
    case K::captureFailed:
        return "building the full-page image failed (a very long page may need to be captured in parts)";
    case K::automationFailed:
        return QString("driving the browser failed: %1 %2").arg(e.message(), endpointHint);
    }
    return e.description();
}

} // namespace

int commandCaptureBrowser(const QStringList& args) {
    QString output;
    CaptureQualityPreset preset = CaptureQualityPreset::medium;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if ((arg == "-o" || arg == "--output" || arg == "--preset") && i + 1 >= args.size())
            return usageError(QString("%1: %2 needs a value").arg(command, arg));
        if (arg == "-o" || arg == "--output") {
            output = args[++i];
        } else if (arg == "--preset") {
            const QString v = args[++i];
            const auto p = captureQualityPresetFromRaw(v);
            if (!p) return usageError(QString("%1: unknown preset '%2' (low, medium or high)").arg(command, v));
            preset = *p;
        } else {
            return usageError(QString("%1: unexpected argument '%2'").arg(command, arg));
        }
    }
    if (output.isEmpty()) return usageError(QString("%1 needs -o FILE").arg(command));
    // Refuse an unknown extension before the page is touched.
    if (!imageFormatForOutput(output)) return unsupportedOutputError(output, command);

    const auto desktop = loadDesktopBackend();
    auto environment = DesktopBrowserCaptureEnvironment::create(*desktop);
    if (!environment) {
        printError(desktop->windowSystem == WindowSystem::none
                       ? QString("%1: %2").arg(command, desktop->unavailableReason)
                       : QString("%1: this desktop does not show other applications' windows").arg(command));
        return exitFailure;
    }
    // The endpoint comes from the browser profile's DevToolsActivePort, else port 9222.
    DevToolsBridge bridge;
    BrowserFullPageCaptureService service(*environment, bridge);
    try {
        const auto window = environment->frontmostWindow();
        const auto browser = window ? supportedBrowserFromWmClass(window->wmClass) : std::nullopt;
        if (!browser) throw BrowserCaptureError(BrowserCaptureError::Kind::unsupportedBrowser);
        const BrowserCaptureResult result = service.captureFrontmostBrowserPageByScrolling(*browser);
        if (!result.image) throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
        return writeImageFile(*result.image, output, ImageExportProfile::browserFullPage, preset, command);
    } catch (const BrowserCaptureError& e) {
        printError(QString("%1: %2").arg(command, browserErrorText(e)));
        return exitFailure;
    } catch (const CaptureError& e) {
        printError(QString("%1: screen capture failed: %2").arg(command, e.description()));
        return exitFailure;
    }
}

} // namespace lumivane::cli
