#include "TextImages.h"

#include "cli/Cli.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <gtest/gtest.h>

namespace {

using lumivane::cli::commandOcr;
using lumivane::cli::exitFailure;
using lumivane::cli::exitOk;
using lumivane::cli::exitUsage;

class OcrCommand : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    static QString read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QTemporaryDir dir;
};

TEST_F(OcrCommand, PrintsTheTextThenTheCodesOfAPngFile) {
    const QStringList lines{QStringLiteral("範囲を選択してテキストを読み取る"), QStringLiteral("Saved to Pictures")};
    QImage page = lumivane::test::drawText({lines, 18});
    const ZXing::BitMatrix qr = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                    .setMargin(0)
                                    .encode(std::string("https://lumivane.app/"), 120, 120);
    QImage withCode(page.width() + 200, page.height() + 200, QImage::Format_RGB32);
    withCode.fill(Qt::white);
    {
        QPainter painter(&withCode);
        painter.drawImage(0, 0, page);
        for (int y = 0; y < qr.height(); ++y)
            for (int x = 0; x < qr.width(); ++x)
                if (qr.get(x, y))
                    painter.fillRect(40 + x, page.height() + 40 + y, 1, 1, Qt::black);
    }
    ASSERT_TRUE(withCode.save(path("page.png")));

    ASSERT_EQ(commandOcr({path("page.png"), "-o", path("out.txt")}), exitOk);
    const QString written = read(path("out.txt"));
    EXPECT_TRUE(written.endsWith('\n'));
    const QStringList out = written.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(out.size(), 3) << written.toStdString();
    EXPECT_LE(lumivane::test::characterErrorRate(out[0] + out[1], lines.join("")), 0.1) << written.toStdString();
    EXPECT_EQ(out[2], "[QR] https://lumivane.app/");
}

TEST_F(OcrCommand, BadImagesFailWithAMessageAndUsageErrorsAreUsageErrors) {
    QFile text(path("notes.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not an image\n");
    text.close();
    // A real PNG too wide for the engine.
    QImage wide(40000, 1, QImage::Format_Mono);
    wide.fill(0);
    ASSERT_TRUE(wide.save(path("wide.png")));
    for (const QString& input : {path("missing.png"), path("notes.png"), dir.path(), path("wide.png")})
        EXPECT_EQ(commandOcr({input, "-o", path("out.txt")}), exitFailure) << input.toStdString();
    EXPECT_FALSE(QFile::exists(path("out.txt")));

    EXPECT_EQ(commandOcr({}), exitUsage);
    EXPECT_EQ(commandOcr({path("notes.png"), "--lang"}), exitUsage);
    EXPECT_EQ(commandOcr({path("notes.png"), "-o"}), exitUsage);
}

} // namespace
