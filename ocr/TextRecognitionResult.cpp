#include "ocr/TextRecognitionResult.h"

namespace lumivane::ocr {

QString resultText(const TextRecognitionResult& result) {
    QString out = result.text;
    if (!out.isEmpty())
        out += QLatin1Char('\n');
    for (const DecodedCode& code : result.codes)
        out += codeLine(code) + QLatin1Char('\n');
    return out;
}

} // namespace lumivane::ocr
