#include "browser/BrowserCaptureError.h"
#include "browser/BrowserFullPageCaptureService.h"
#include "browser/BrowserPageParts.h"
#include "browser/DesktopBrowserCaptureEnvironment.h"
#include "browser/DevToolsBridge.h"
#include "cli/Cli.h"
#include "cli/ImageFiles.h"
#include "core/ImageFormats.h"

#include <QFileInfo>
#include <QTextStream>

namespace lumivane::cli {

namespace {

const char* const command = "capture browser";
const char* const endpointHint =
    "Switch remote debugging on at chrome://inspect/#remote-debugging (Chrome 144 and later), or quit the browser "
    "and start it again with --remote-debugging-port=9222 and a separate --user-data-dir. While the port is open, "
    "any local program can read that profile's pages.";

QString browserErrorText(const BrowserCaptureError& e) {
    using K = BrowserCaptureError::Kind;
    const QString name = e.browserName().isEmpty() ? QStringLiteral("the browser") : e.browserName();
    switch (e.kind()) {
    case K::unsupportedBrowser:
        return e.message().isEmpty()
                   ? QStringLiteral("the front window is not Google Chrome, Chromium or Brave")
                   : QStringLiteral("the front window ('%1') is not Google Chrome, Chromium or Brave").arg(e.message());
    case K::browserNotFrontmost:
        return QStringLiteral("%1 shows no visible tab; bring a window with a normal web page to the front").arg(name);
    case K::notAWebPage:
        return QStringLiteral("the front tab of %1 is not a web page (%2); open an http, https or file page")
            .arg(name, e.message());
    case K::pageInfoUnavailable:
        return QStringLiteral("cannot read the page information of the front tab of %1").arg(name);
    case K::browserWindowUnavailable:
        return "cannot locate the page area inside the browser window";
    case K::accessibilityPermissionMissing:
        return "the browser window cannot be inspected";
    case K::captureFailed:
        return "building the full-page image failed (a very long page may need to be captured in parts)";
    case K::debuggingUnavailable:
        return QStringLiteral("no remote-debugging endpoint of %1 answered. %2").arg(name, endpointHint);
    case K::otherBrowserAnswered:
        return QStringLiteral("the remote-debugging endpoint that answered belongs to another browser than the %1 "
                              "in front; switch on remote debugging in %1 itself")
            .arg(name);
    case K::captureInProgress:
        return "another whole-page capture is running";
    case K::automationFailed:
        return QStringLiteral("driving %1 failed: %2").arg(name, e.message());
    }
    return e.description();
}

} // namespace

int commandCaptureBrowser(const QStringList& args) {
    QString output;
    CaptureQualityPreset preset = CaptureQualityPreset::medium;
    BrowserCaptureOptions options;
    DevToolsBridge::Options endpoint;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool takesValue = arg == "-o" || arg == "--output" || arg == "--preset" || arg == "--devtools-port" ||
                                arg == "--profile-folder";
        if (takesValue && i + 1 >= args.size())
            return usageError(QString("%1: %2 needs a value").arg(command, arg));
        if (arg == "-o" || arg == "--output") {
            output = args[++i];
        } else if (arg == "--preset") {
            const QString& v = args[++i];
            const auto p = captureQualityPresetFromRaw(v);
            if (!p)
                return usageError(QString("%1: unknown preset '%2' (low, medium or high)").arg(command, v));
            preset = *p;
        } else if (arg == "--split") {
            options.splitLongPages = true;
        } else if (arg == "--devtools-port") {
            bool ok = false;
            const uint port = args[++i].toUInt(&ok);
            if (!ok || port > 65535)
                return usageError(QString("%1: '%2' is not a port number").arg(command, args[i]));
            endpoint.fallbackPort = quint16(port);
        } else if (arg == "--profile-folder") {
            endpoint.profileFolders << args[++i];
        } else {
            return usageError(QString("%1: unexpected argument '%2'").arg(command, arg));
        }
    }
    if (output.isEmpty())
        return usageError(QString("%1 needs -o FILE").arg(command));
    // Refuse an unknown extension before the page is touched.
    const auto format = imageFormatForOutput(output);
    if (!format)
        return unsupportedOutputError(output, command);
    if (options.splitLongPages && output == "-")
        return usageError(QString("%1: --split writes numbered files and needs a file name, not '-'").arg(command));

    const auto desktop = loadDesktopBackend();
    auto environment = DesktopBrowserCaptureEnvironment::create(*desktop);
    // The endpoint comes from DevToolsActivePort in the profile folders, else the fallback port.
    DevToolsBridge bridge(endpoint);
    BrowserFullPageCaptureService service(*environment, bridge);
    try {
        const BrowserCaptureResult result = service.captureFrontmostBrowserPage(options);
        if (!result.image)
            throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
        // Never silently partial: every omission is named, and one that leaves out part
        // of the page changes the exit code.
        bool partial = false;
        for (const BrowserCaptureOmission& o : result.omissions) {
            printError(QString("%1: warning: %2").arg(command, englishDescription(o)));
            partial = partial || o.missesPageContent();
        }
        int rc = exitOk;
        if (result.parts.empty()) {
            rc = writeImageFile(*result.image, output, ImageExportProfile::browserFullPage, preset, command);
        } else {
            const std::vector<QByteArray> files =
                browser_parts::encodedParts(result.parts, *format, ImageExportProfile::browserFullPage, preset);
            if (files.empty())
                throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
            for (size_t i = 0; i < files.size() && rc == exitOk; ++i) {
                const QString path = browser_parts::numberedPartPath(output, int(i) + 1);
                if (!writeOutputFile(path, files[i], command))
                    rc = exitFailure;
                else
                    QTextStream(stdout) << path << "\n";
            }
        }
        return rc == exitOk && partial ? exitPartial : rc;
    } catch (const BrowserCaptureError& e) {
        printError(QString("%1: %2").arg(command, browserErrorText(e)));
        return exitFailure;
    }
}

} // namespace lumivane::cli
