#pragma once
#include "ocr/DecodedCode.h"

#include <QImage>
#include <vector>

namespace lumivane::ocr {

// Every readable QR code and barcode in the image, top to bottom. Empty for a null
// image or one without codes.
std::vector<DecodedCode> readCodes(const QImage& image);

} // namespace lumivane::ocr
