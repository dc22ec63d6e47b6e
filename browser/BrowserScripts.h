#pragma once
#include <QString>

namespace lumivane::browser_scripts {

// Escaping of a script embedded as a double-quoted literal: backslashes doubled,
// double quotes preceded by a backslash, line feeds turned into spaces (in this order).
// Scripts must therefore stay valid JavaScript on one line.
QString escapeJavaScriptLiteral(const QString& js);
// The text that arrives in the page once the literal is read back: quotes and
// backslashes intact, every line feed a space.
QString singleLineJavaScript(const QString& js);

QString pageInfoScript();
QString prepareScript(const QString& hiddenMarker, const QString& styleMarker);
QString restoreScript(const QString& hiddenMarker, const QString& styleMarker);
// y rounded half away from zero, negatives become 0; horizontal offset always 0.
qint64 scrollTargetFor(double y);
QString scrollScript(double y);
// Window and viewport geometry the locator needs (outer/inner sizes, screen position, ratio).
QString viewportGeometryScript();

} // namespace lumivane::browser_scripts
