#include "browser/BrowserScripts.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <cmath>

namespace lumivane::browser_scripts {

QString escapeJavaScriptLiteral(const QString& js) {
    QString s = js;
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('"'), QLatin1String("\\\""));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

QString singleLineJavaScript(const QString& js) {
    // Reading the escaped literal back undoes the first two replacements exactly.
    const QString escaped = escapeJavaScriptLiteral(js);
    QString out;
    out.reserve(escaped.size());
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == QLatin1Char('\\') && i + 1 < escaped.size()) ++i;
        out += escaped[i];
    }
    return out;
}

QString pageInfoScript() {
    return QStringLiteral(R"JS((() => JSON.stringify({
title: document.title || "",
url: location.href || "",
pageHeight: Math.max(document.documentElement.scrollHeight || 0, document.body ? document.body.scrollHeight : 0, document.documentElement.offsetHeight || 0, document.body ? document.body.offsetHeight : 0),
viewportHeight: window.innerHeight || 0,
viewportWidth: window.innerWidth || 0,
scrollX: window.scrollX || 0,
scrollY: window.scrollY || 0,
devicePixelRatio: window.devicePixelRatio || 1
}))();)JS");
}

static QString markerConstants(const QString& hiddenMarker, const QString& styleMarker) {
    // JSON string literals are valid JavaScript string literals.
    const auto quoted = [](const QString& s) {
        return QString::fromUtf8(QJsonDocument::fromVariant(QVariantList{s}).toJson(QJsonDocument::Compact))
            .mid(1).chopped(1);
    };
    return QStringLiteral("const hiddenMarker = %1;\nconst styleMarker = %2;\n")
        .arg(quoted(hiddenMarker), quoted(styleMarker));
}

QString prepareScript(const QString& hiddenMarker, const QString& styleMarker) {
    return QStringLiteral("(() => {\n") + markerConstants(hiddenMarker, styleMarker) + QStringLiteral(R"JS(
const vh = window.innerHeight || 0;
const vw = window.innerWidth || 0;
const candidates = Array.from(document.querySelectorAll("*"));
const hide = (el) => {
  el.setAttribute(hiddenMarker, el.getAttribute("style") || "");
  el.style.setProperty("display", "none", "important");
};
const hideSticky = (el) => {
  el.setAttribute(hiddenMarker, el.getAttribute("style") || "");
  el.style.setProperty("visibility", "hidden", "important");
  el.style.setProperty("opacity", "0", "important");
  el.style.setProperty("pointer-events", "none", "important");
};
for (const el of candidates) {
  if (!(el instanceof HTMLElement) || el.hasAttribute(hiddenMarker)) { continue; }
  const position = window.getComputedStyle(el).position;
  if (position !== "fixed" && position !== "sticky") { continue; }
  const r = el.getBoundingClientRect();
  if (r.width <= 0 || r.height <= 0) { continue; }
  if (r.top >= vh || r.left >= vw) { continue; }
  if (r.bottom <= 0 || r.right <= 0) { continue; }
  if (r.width >= vw * 0.92 && r.height >= vh * 0.92) { continue; }
  if (el.tagName.toLowerCase() === "iframe") { hide(el); continue; }
  const edgePinned = r.left <= 100 || vw - r.right <= 100;
  const topBarLike = r.top <= 80 && r.width >= vw * 0.55 && r.height <= vh * 0.25;
  const bottomBarLike = r.bottom >= vh - 80 && r.width >= vw * 0.55 && r.height <= vh * 0.30;
  const smallFloating = r.width <= Math.min(vw * 0.42, 360) && r.height <= Math.min(vh * 0.70, 600);
  const bottomFloating = r.bottom >= vh - 80 && r.height <= vh * 0.35;
  if (topBarLike || bottomBarLike) {
    if (position === "sticky") { hideSticky(el); } else { hide(el); }
    continue;
  }
  if (smallFloating && (edgePinned || bottomFloating)) { hide(el); }
}
for (const el of candidates) {
  if (!(el instanceof HTMLElement) || el.hasAttribute(hiddenMarker)) { continue; }
  const r = el.getBoundingClientRect();
  if (r.width <= 0 || r.height <= 0) { continue; }
  const edgePinned = r.left <= 100 || vw - r.right <= 100;
  const smallFloating = r.width <= Math.min(vw * 0.42, 360) && r.height <= Math.min(vh * 0.70, 600);
  const bottomFloating = r.bottom >= vh - 80 && r.height <= vh * 0.35;
  if (el.tagName.toLowerCase() === "iframe" && smallFloating && (edgePinned || bottomFloating)) { hide(el); }
}
const root = document.documentElement;
root.setAttribute(styleMarker, root.getAttribute("style") || "");
root.style.setProperty("scroll-behavior", "auto", "important");
return "ok";
})();)JS");
}

// putBack reads "style" first: that flushes Chromium's lazily synchronised inline style, without
// which a removed attribute can come back as style="" after recent CSSOM changes.
QString restoreScript(const QString& hiddenMarker, const QString& styleMarker) {
    return QStringLiteral("(() => {\n") + markerConstants(hiddenMarker, styleMarker) + QStringLiteral(R"JS(
const putBack = (el, marker) => {
  const stored = el.getAttribute(marker) || "";
  el.getAttribute("style");
  if (stored.length > 0) { el.setAttribute("style", stored); } else { el.removeAttribute("style"); }
  el.removeAttribute(marker);
};
for (const el of Array.from(document.querySelectorAll("[" + hiddenMarker + "]"))) {
  if (!(el instanceof HTMLElement)) { continue; }
  putBack(el, hiddenMarker);
}
putBack(document.documentElement, styleMarker);
return "ok";
})();)JS");
}

qint64 scrollTargetFor(double y) {
    if (!std::isfinite(y)) return 0;
    const double r = std::round(y); // halves away from zero
    return r < 0 ? 0 : static_cast<qint64>(r);
}

QString scrollScript(double y) {
    return QStringLiteral("window.scrollTo(0, %1); \"ok\";").arg(scrollTargetFor(y));
}

QString viewportGeometryScript() {
    return QStringLiteral(
        "JSON.stringify({screenX: window.screenX || 0, screenY: window.screenY || 0, "
        "outerWidth: window.outerWidth || 0, outerHeight: window.outerHeight || 0, "
        "innerWidth: window.innerWidth || 0, innerHeight: window.innerHeight || 0, "
        "devicePixelRatio: window.devicePixelRatio || 1});");
}

} // namespace lumivane::browser_scripts
