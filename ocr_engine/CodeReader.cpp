#include "ocr_engine/CodeReader.h"

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>
#include <algorithm>

namespace lumivane::ocr {

namespace {

QString formatName(ZXing::BarcodeFormat format) {
    switch (format) {
    case ZXing::BarcodeFormat::QRCode:
        return QStringLiteral("QR");
    case ZXing::BarcodeFormat::MicroQRCode:
        return QStringLiteral("Micro QR");
    case ZXing::BarcodeFormat::DataMatrix:
        return QStringLiteral("Data Matrix");
    case ZXing::BarcodeFormat::Aztec:
        return QStringLiteral("Aztec");
    case ZXing::BarcodeFormat::PDF417:
        return QStringLiteral("PDF417");
    case ZXing::BarcodeFormat::EAN13:
        return QStringLiteral("EAN-13");
    case ZXing::BarcodeFormat::EAN8:
        return QStringLiteral("EAN-8");
    case ZXing::BarcodeFormat::UPCA:
        return QStringLiteral("UPC-A");
    case ZXing::BarcodeFormat::UPCE:
        return QStringLiteral("UPC-E");
    case ZXing::BarcodeFormat::Code128:
        return QStringLiteral("Code 128");
    case ZXing::BarcodeFormat::Code39:
        return QStringLiteral("Code 39");
    case ZXing::BarcodeFormat::Code93:
        return QStringLiteral("Code 93");
    case ZXing::BarcodeFormat::ITF:
        return QStringLiteral("ITF");
    case ZXing::BarcodeFormat::Codabar:
        return QStringLiteral("Codabar");
    default:
        return QString::fromLatin1(ZXing::ToString(format));
    }
}

} // namespace

std::vector<DecodedCode> readCodes(const QImage& image) {
    if (image.isNull())
        return {};
    QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    auto read = [&] {
        const ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                                    int(gray.bytesPerLine()));
        return ZXing::ReadBarcodes(view, hints);
    };
    ZXing::Results results = read();
    if (results.empty()) {
        // Codes of dark UIs are light on dark.
        gray.invertPixels();
        results = read();
    }
    struct Found {
        DecodedCode code;
        int top;
        int left;
    };
    std::vector<Found> found;
    for (const ZXing::Result& result : results) {
        if (!result.isValid())
            continue;
        const auto& position = result.position();
        const int top = std::min({position.topLeft().y, position.topRight().y});
        const int left = std::min({position.topLeft().x, position.bottomLeft().x});
        found.push_back({{formatName(result.format()), QString::fromStdString(result.text())}, top, left});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; });
    std::vector<DecodedCode> codes;
    for (Found& f : found)
        codes.push_back(std::move(f.code));
    return codes;
}

} // namespace lumivane::ocr
