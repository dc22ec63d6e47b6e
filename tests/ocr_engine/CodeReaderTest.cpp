#include "ocr_engine/CodeReader.h"
#include "ocr/TextRecognitionResult.h"

#include <QPainter>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <gtest/gtest.h>

namespace {

using lumivane::ocr::DecodedCode;
using lumivane::ocr::readCodes;

// A code drawn by the writer, placed on a page of the given colours.
QImage codePicture(ZXing::BarcodeFormat format, const std::string& text, QColor ink, QColor page, QSize size) {
    const ZXing::BitMatrix matrix =
        ZXing::MultiFormatWriter(format)
            .setMargin(0)
            .setEncoding(ZXing::CharacterSet::UTF8)
            .encode(QString::fromStdString(text).toStdWString(), size.width(), size.height());
    QImage image(matrix.width() + 80, matrix.height() + 80, QImage::Format_RGB32);
    image.fill(page);
    for (int y = 0; y < matrix.height(); ++y)
        for (int x = 0; x < matrix.width(); ++x)
            if (matrix.get(x, y))
                image.setPixel(x + 40, y + 40, ink.rgb());
    return image;
}

TEST(CodeReader, ReadsCodesMadeByTheWriter) {
    struct Case {
        ZXing::BarcodeFormat format;
        std::string text;
        QColor ink, page;
        QSize size;
        QString expectedFormat;
    };
    const Case cases[] = {
        {ZXing::BarcodeFormat::QRCode, "https://lumivane.app/ocr?q=1", Qt::black, Qt::white, {200, 200}, "QR"},
        {ZXing::BarcodeFormat::QRCode, "設定を開く", Qt::black, Qt::white, {200, 200}, "QR"},
        // A dark UI's code: light on dark.
        {ZXing::BarcodeFormat::QRCode,
         "WIFI:S:lumivane;T:WPA;P:secret;;",
         QColor(230, 230, 230),
         QColor(20, 20, 20),
         {200, 200},
         "QR"},
        {ZXing::BarcodeFormat::EAN13, "4901234567894", Qt::black, Qt::white, {300, 80}, "EAN-13"},
        {ZXing::BarcodeFormat::Code128, "LV-2026-12-08", Qt::black, Qt::white, {400, 80}, "Code 128"},
    };
    for (const Case& c : cases) {
        const auto codes = readCodes(codePicture(c.format, c.text, c.ink, c.page, c.size));
        ASSERT_EQ(codes.size(), 1u) << c.text;
        EXPECT_EQ(codes[0].format, c.expectedFormat);
        EXPECT_EQ(codes[0].text.toStdString(), c.text);
    }
}

TEST(CodeReader, FindsSeveralCodesTopToBottomAndNoneInAPlainPicture) {
    const QImage first = codePicture(ZXing::BarcodeFormat::QRCode, "second", Qt::black, Qt::white, {150, 150});
    const QImage second = codePicture(ZXing::BarcodeFormat::QRCode, "first", Qt::black, Qt::white, {150, 150});
    QImage page(600, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        painter.drawImage(350, 350, first);
        painter.drawImage(20, 20, second);
    }
    const auto codes = readCodes(page);
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ(codes[0].text, "first");
    EXPECT_EQ(codes[1].text, "second");

    QImage plain(300, 200, QImage::Format_RGB32);
    plain.fill(Qt::gray);
    EXPECT_TRUE(readCodes(plain).empty());
    EXPECT_TRUE(readCodes(QImage()).empty());
}

TEST(CodeReader, ACodeKeepsToOneMarkedLineAfterTheText) {
    lumivane::ocr::TextRecognitionResult result;
    result.text = QStringLiteral("本文");
    result.codes = {DecodedCode{"QR", "line one\nline two"}, DecodedCode{"EAN-13", "4901234567894"}};
    EXPECT_EQ(lumivane::ocr::resultText(result),
              QStringLiteral("本文\n[QR] line one line two\n[EAN-13] 4901234567894\n"));
    EXPECT_EQ(lumivane::ocr::resultText({}), QString());
}

} // namespace
