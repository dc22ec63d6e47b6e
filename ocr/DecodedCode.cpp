#include "ocr/DecodedCode.h"

#include <QRegularExpression>
#include <QUrl>

namespace lumivane::ocr {

QString codeLine(const DecodedCode& code) {
    QString text = code.text;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return QStringLiteral("[%1] %2").arg(code.format, text);
}

bool isOpenableAddress(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.contains(QRegularExpression(QStringLiteral("\\s"))))
        return false;
    const QUrl url(trimmed, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")) &&
           !url.host().isEmpty();
}

} // namespace lumivane::ocr
