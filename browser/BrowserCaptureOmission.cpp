#include "browser/BrowserCaptureOmission.h"

#include <algorithm>
#include <cmath>

namespace lumivane {

namespace {

bool horizontal(const BrowserCaptureOmission& o) {
    return o.missingWidth > 0 && o.missingHeight <= 0;
}

struct Range {
    long from, to;
};
Range rangeOf(const BrowserCaptureOmission& o) {
    const double length = horizontal(o) ? o.missingWidth : o.missingHeight;
    return {std::lround(o.missingFrom), std::lround(o.missingFrom + length)};
}

} // namespace

QString japaneseDescription(const BrowserCaptureOmission& o) {
    const Range r = rangeOf(o);
    const QString where = horizontal(o) ? QStringLiteral("左から %1〜%2 px の部分").arg(r.from).arg(r.to)
                                        : QStringLiteral("上から %1〜%2 px の部分").arg(r.from).arg(r.to);
    switch (o.kind) {
    case BrowserCaptureOmission::Kind::sliceLimit:
        if (horizontal(o))
            return QStringLiteral("ページの幅が撮影できる上限を超えたため、%1は撮影されていません。").arg(where);
        return QStringLiteral("ページが撮影できる長さの上限を超えたため、%1は撮影されていません。").arg(where);
    case BrowserCaptureOmission::Kind::stoppedScrolling:
        return QStringLiteral("ページが途中でスクロールしなくなったため、%1は撮影されていません。").arg(where);
    case BrowserCaptureOmission::Kind::unsettled:
        return QStringLiteral("撮影中にページの位置が落ち着かなかったため、%1は撮影されていません。").arg(where);
    case BrowserCaptureOmission::Kind::otherScrollAreas:
        return QStringLiteral("ページ内のほかのスクロール領域 (%1 個) は、見えている部分だけが撮影されています。")
            .arg(o.count);
    }
    return {};
}

QString englishDescription(const BrowserCaptureOmission& o) {
    const Range r = rangeOf(o);
    const QString where = horizontal(o) ? QStringLiteral("columns %1-%2 px from the left").arg(r.from).arg(r.to)
                                        : QStringLiteral("rows %1-%2 px from the top").arg(r.from).arg(r.to);
    switch (o.kind) {
    case BrowserCaptureOmission::Kind::sliceLimit:
        return QStringLiteral("the page is %1 than the capture limit; %2 are missing")
            .arg(horizontal(o) ? QStringLiteral("wider") : QStringLiteral("longer"), where);
    case BrowserCaptureOmission::Kind::stoppedScrolling:
        return QStringLiteral("the page stopped scrolling before its end; %1 are missing").arg(where);
    case BrowserCaptureOmission::Kind::unsettled:
        return QStringLiteral("the page kept moving while it was captured; %1 are missing").arg(where);
    case BrowserCaptureOmission::Kind::otherScrollAreas:
        return QStringLiteral("%1 other scrolling area(s) inside the page show only their visible part").arg(o.count);
    }
    return {};
}

} // namespace lumivane
