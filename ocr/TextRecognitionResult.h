#pragma once
#include "ocr/DecodedCode.h"

#include <QMetaType>
#include <QString>
#include <vector>

namespace lumivane::ocr {

// What was read in one image: its text and its codes.
struct TextRecognitionResult {
    QString text;
    std::vector<DecodedCode> codes;
};

// The text, then each code on a line of its own ("[QR] ..."), ending with a line
// break; empty when nothing was read.
QString resultText(const TextRecognitionResult& result);

} // namespace lumivane::ocr

Q_DECLARE_METATYPE(lumivane::ocr::TextRecognitionResult)
