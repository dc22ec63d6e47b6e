#include "browser/BrowserScripts.h"

#include <QJsonDocument>
#include <QVariantList>
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
        if (escaped[i] == QLatin1Char('\\') && i + 1 < escaped.size())
            ++i;
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

namespace {

QString quoted(const QString& s) {
    // JSON string literals are valid JavaScript string literals.
    return QString::fromUtf8(QJsonDocument::fromVariant(QVariantList{s}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

QString markerConstants(const Markers& m) {
    return QStringLiteral("const hiddenMarker = %1;\nconst styleMarker = %2;\nconst scrollerMarker = %3;\n"
                          "const pinnedMarker = %4;\n")
        .arg(quoted(m.hidden), quoted(m.style), quoted(m.scroller), quoted(m.pinned));
}

QString number(double v) {
    if (!std::isfinite(v))
        v = 0;
    return QString::number(v, 'g', 17);
}

// layout(): what is scrolled and where its visible content lies in the viewport.
const char* layoutFunction = R"JS(
const layout = () => {
  const el = document.querySelector("[" + scrollerMarker + "]");
  const se = document.scrollingElement || document.documentElement;
  const iw = window.innerWidth || 0;
  const ih = window.innerHeight || 0;
  let o;
  if (el) {
    const r = el.getBoundingClientRect();
    const left = Math.max(r.left + el.clientLeft, 0);
    const top = Math.max(r.top + el.clientTop, 0);
    const right = Math.min(r.left + el.clientLeft + el.clientWidth, iw);
    const bottom = Math.min(r.top + el.clientTop + el.clientHeight, ih);
    o = {element: true, x: el.scrollLeft, y: el.scrollTop,
         maxX: Math.max(el.scrollWidth - el.clientWidth, 0), maxY: Math.max(el.scrollHeight - el.clientHeight, 0),
         contentWidth: el.scrollWidth, contentHeight: el.scrollHeight,
         clipLeft: left, clipTop: top, clipWidth: Math.max(right - left, 0), clipHeight: Math.max(bottom - top, 0)};
  } else {
    const vw = Math.min(se.clientWidth || iw, iw);
    const vh = Math.min(se.clientHeight || ih, ih);
    o = {element: false, x: window.scrollX || 0, y: window.scrollY || 0,
         maxX: Math.max(se.scrollWidth - vw, 0), maxY: Math.max(se.scrollHeight - vh, 0),
         contentWidth: Math.max(se.scrollWidth, vw), contentHeight: Math.max(se.scrollHeight, vh),
         clipLeft: 0, clipTop: 0, clipWidth: vw, clipHeight: vh};
  }
  o.innerWidth = iw;
  o.innerHeight = ih;
  o.devicePixelRatio = window.devicePixelRatio || 1;
  return JSON.stringify(o);
};
)JS";

} // namespace

QString prepareScript(const Markers& markers) {
    return QStringLiteral("(() => {\n") + markerConstants(markers) + QStringLiteral(R"JS(
const vh = window.innerHeight || 0;
const vw = window.innerWidth || 0;
const candidates = Array.from(document.querySelectorAll("*"));
const keepStyle = (el, marker) => {
  if (!el.hasAttribute(hiddenMarker) && !el.hasAttribute(styleMarker)) {
    el.setAttribute(marker, JSON.stringify(el.getAttribute("style")));
  }
};
let hidden = 0;
const hide = (el) => {
  keepStyle(el, hiddenMarker);
  el.style.setProperty("visibility", "hidden", "important");
  el.style.setProperty("opacity", "0", "important");
  el.style.setProperty("pointer-events", "none", "important");
  hidden += 1;
};
const sticks = (cs) => cs.top !== "auto" || cs.bottom !== "auto" || cs.left !== "auto" || cs.right !== "auto";
let unstuck = 0;
const unstick = (el) => {
  keepStyle(el, styleMarker);
  el.style.setProperty("position", "relative", "important");
  for (const side of ["top", "bottom", "left", "right"]) { el.style.setProperty(side, "auto", "important"); }
  unstuck += 1;
};
let pinned = 0;
const pin = (el) => {
  keepStyle(el, hiddenMarker);
  el.setAttribute(pinnedMarker, "");
  pinned += 1;
};
for (const el of candidates) {
  if (!(el instanceof HTMLElement) || el.hasAttribute(hiddenMarker) || el.hasAttribute(styleMarker)) { continue; }
  const cs = window.getComputedStyle(el);
  const position = cs.position;
  if (position !== "fixed" && position !== "sticky") { continue; }
  const r = el.getBoundingClientRect();
  if (r.width <= 0 || r.height <= 0) { continue; }
  if (r.width >= vw * 0.92 && r.height >= vh * 0.92) { continue; }
  const inView = r.top < vh && r.left < vw && r.bottom > 0 && r.right > 0;
  const bottomBarLike = r.bottom >= vh - 80 && r.width >= vw * 0.55 && r.height <= vh * 0.30;
  if (position === "sticky") {
    if (!sticks(cs)) { continue; }
    if (inView && bottomBarLike && cs.bottom !== "auto" && cs.top === "auto") { hide(el); } else { unstick(el); }
    continue;
  }
  if (!inView) { continue; }
  if (el.tagName.toLowerCase() === "iframe") { hide(el); continue; }
  const edgePinned = r.left <= 100 || vw - r.right <= 100;
  const topBarLike = r.top <= 80 && r.width >= vw * 0.55 && r.height <= vh * 0.25;
  const smallFloating = r.width <= Math.min(vw * 0.42, 360) && r.height <= Math.min(vh * 0.70, 600);
  const bottomFloating = r.bottom >= vh - 80 && r.height <= vh * 0.35;
  if (topBarLike) { pin(el); continue; }
  if (bottomBarLike) { hide(el); continue; }
  if (smallFloating && (edgePinned || bottomFloating)) { hide(el); }
}
for (const el of candidates) {
  if (!(el instanceof HTMLElement) || el.hasAttribute(hiddenMarker)) { continue; }
  if (el.tagName.toLowerCase() !== "iframe") { continue; }
  const r = el.getBoundingClientRect();
  if (r.width <= 0 || r.height <= 0) { continue; }
  const edgePinned = r.left <= 100 || vw - r.right <= 100;
  const smallFloating = r.width <= Math.min(vw * 0.42, 360) && r.height <= Math.min(vh * 0.70, 600);
  const bottomFloating = r.bottom >= vh - 80 && r.height <= vh * 0.35;
  if (smallFloating && (edgePinned || bottomFloating)) { hide(el); }
}
const calm = (el) => {
  keepStyle(el, styleMarker);
  el.style.setProperty("scroll-behavior", "auto", "important");
  el.style.setProperty("scroll-snap-type", "none", "important");
};
const root = document.documentElement;
calm(root);
if (document.body) { calm(document.body); }
const se = document.scrollingElement || root;
let scroller = null;
let otherScrollers = 0;
if (se.scrollHeight <= se.clientHeight + 1) {
  let best = 0;
  for (const el of candidates) {
    if (!(el instanceof HTMLElement) || el === root || el === document.body) { continue; }
    if (el.scrollHeight <= el.clientHeight + 1 || el.clientHeight < 100) { continue; }
    const oy = window.getComputedStyle(el).overflowY;
    if (oy !== "auto" && oy !== "scroll" && oy !== "overlay") { continue; }
    const r = el.getBoundingClientRect();
    const w = Math.max(Math.min(r.right, vw) - Math.max(r.left, 0), 0);
    const h = Math.max(Math.min(r.bottom, vh) - Math.max(r.top, 0), 0);
    const area = w * h;
    if (area < vw * vh * 0.2 || el.closest("[" + hiddenMarker + "]")) { continue; }
    if (scroller && !scroller.contains(el) && !el.contains(scroller)) { otherScrollers += 1; }
    if (area > best) { best = area; scroller = el; }
  }
}
if (scroller) {
  scroller.setAttribute(scrollerMarker, JSON.stringify([scroller.scrollLeft, scroller.scrollTop]));
  calm(scroller);
}
return JSON.stringify({hidden: hidden, unstuck: unstuck, pinned: pinned, scroller: scroller !== null, otherScrollers: otherScrollers});
})();)JS");
}

// putBack reads "style" first: that flushes Chromium's lazily synchronised inline style, without
// which a removed attribute can come back as style="" after recent CSSOM changes.
QString restoreScript(const Markers& markers, double scrollX, double scrollY) {
    return QStringLiteral("(() => {\n") + markerConstants(markers) +
           QStringLiteral("const initialX = %1;\nconst initialY = %2;\n").arg(number(scrollX), number(scrollY)) +
           QStringLiteral(R"JS(
const el = document.querySelector("[" + scrollerMarker + "]");
if (el) {
  let stored = [0, 0];
  try { stored = JSON.parse(el.getAttribute(scrollerMarker)); } catch (e) { stored = [0, 0]; }
  el.scrollTo({left: stored[0], top: stored[1], behavior: "instant"});
  el.removeAttribute(scrollerMarker);
}
window.scrollTo({left: initialX, top: initialY, behavior: "instant"});
const putBack = (el, marker) => {
  let stored = null;
  try { stored = JSON.parse(el.getAttribute(marker)); } catch (e) { stored = null; }
  el.getAttribute("style");
  if (typeof stored === "string") { el.setAttribute("style", stored); } else { el.removeAttribute("style"); }
  el.removeAttribute(marker);
};
for (const marker of [hiddenMarker, styleMarker]) {
  for (const el of Array.from(document.querySelectorAll("[" + marker + "]"))) { putBack(el, marker); }
}
for (const el of Array.from(document.querySelectorAll("[" + pinnedMarker + "]"))) { el.removeAttribute(pinnedMarker); }
return JSON.stringify([window.scrollX, window.scrollY]);
})();)JS");
}

QString layoutScript(const Markers& markers) {
    return QStringLiteral("(() => {\n") + markerConstants(markers) + QString::fromUtf8(layoutFunction) +
           QStringLiteral("return layout();\n})();");
}

QString scrollAndMeasureScript(const Markers& markers, double x, double y) {
    return QStringLiteral("(() => {\n") + markerConstants(markers) + QString::fromUtf8(layoutFunction) +
           QStringLiteral("const targetX = %1;\nconst targetY = %2;\n")
               .arg(scrollTargetFor(x))
               .arg(scrollTargetFor(y)) +
           QStringLiteral(R"JS(
const el = document.querySelector("[" + scrollerMarker + "]");
if (targetY > 0) {
  for (const p of Array.from(document.querySelectorAll("[" + pinnedMarker + "]"))) {
    p.style.setProperty("visibility", "hidden", "important");
    p.style.setProperty("opacity", "0", "important");
  }
}
(el || window).scrollTo({left: targetX, top: targetY, behavior: "instant"});
return new Promise((resolve) => {
  let done = false;
  const finish = () => { if (!done) { done = true; resolve(layout()); } };
  requestAnimationFrame(finish);
  setTimeout(finish, 500);
});
})();)JS");
}

qint64 scrollTargetFor(double y) {
    if (!std::isfinite(y))
        return 0;
    const double r = std::round(y); // halves away from zero
    return r < 0 ? 0 : static_cast<qint64>(r);
}

} // namespace lumivane::browser_scripts
