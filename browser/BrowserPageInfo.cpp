#include "browser/BrowserPageInfo.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace lumivane {

std::optional<BrowserPageInfo> BrowserPageInfo::decode(const QByteArray& utf8Json) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(utf8Json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const auto text = [&](const char* key, QString& out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isString())
            return false;
        out = v.toString();
        return true;
    };
    const auto number = [&](const char* key, double& out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble())
            return false;
        out = v.toDouble();
        return true;
    };
    BrowserPageInfo info;
    if (!text("title", info.title) || !text("url", info.url) || !number("pageHeight", info.pageHeight) ||
        !number("viewportHeight", info.viewportHeight) || !number("viewportWidth", info.viewportWidth) ||
        !number("scrollX", info.scrollX) || !number("scrollY", info.scrollY) ||
        !number("devicePixelRatio", info.devicePixelRatio))
        return std::nullopt;
    return info;
}

} // namespace lumivane
