#pragma once
#include "browser/SupportedBrowser.h"

#include <QString>

namespace lumivane {

// Runs one JavaScript text in the active tab of the browser and returns its result as
// text. Failures are thrown as BrowserCaptureError.
class BrowserScriptRunner {
public:
    virtual ~BrowserScriptRunner() = default;
    virtual QString runJavaScript(const QString& javaScript, SupportedBrowser browser) = 0;
};

} // namespace lumivane
