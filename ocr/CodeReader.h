#pragma once
#include <QImage>
#include <QString>
#include <vector>

namespace lumivane::ocr {

// A QR code or barcode found in an image.
struct DecodedCode {
    QString format; // "QR", "EAN-13", "Code 128", ... (the short names printed in lines)
    QString text;
};

// Every readable QR code and barcode in the image, top to bottom. Empty for a null
// image or one without codes.
std::vector<DecodedCode> readCodes(const QImage& image);

// "[QR] https://example.com": a code on a line of its own, marked as a code. Line
// breaks inside the decoded text become spaces so the code keeps to one line.
QString codeLine(const DecodedCode& code);

} // namespace lumivane::ocr
