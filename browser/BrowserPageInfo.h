#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace lumivane {

// Page measurements in CSS pixels, as the page script reports them.
struct BrowserPageInfo {
    QString title;
    QString url;
    double pageHeight = 0;
    double viewportHeight = 0;
    double viewportWidth = 0;
    double scrollX = 0;
    double scrollY = 0;
    double devicePixelRatio = 1;

    // Decodes the script's JSON; every one of the eight keys is required.
    static std::optional<BrowserPageInfo> decode(const QByteArray& utf8Json);
};

} // namespace lumivane
