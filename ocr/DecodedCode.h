#pragma once
#include <QString>

namespace lumivane::ocr {

// A QR code or barcode found in an image.
struct DecodedCode {
    QString format; // "QR", "EAN-13", "Code 128", ... (the short names printed in lines)
    QString text;
};

// "[QR] https://example.com": a code on a line of its own, marked as a code. Line
// breaks inside the decoded text become spaces so the code keeps to one line.
QString codeLine(const DecodedCode& code);

// Whether the decoded text is a web address that may be opened (http or https only).
bool isOpenableAddress(const QString& text);

} // namespace lumivane::ocr
