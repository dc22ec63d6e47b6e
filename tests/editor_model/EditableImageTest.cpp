// Images opened as new documents: every readable format, and each kind of bad input
// refused with its own message before any pixels are decoded.
#include "editor_model/EditableImage.h"
#include "PngBytes.h"
#include "editor_model/DocumentLimits.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::pngClaiming;

namespace {

QByteArray encodedAs(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

struct EditableImageFiles : ::testing::Test {
    QTemporaryDir dir;
    QImage picture = [] {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(qRgb(30, 120, 200));
        image.setPixel(63, 47, qRgb(250, 10, 10));
        return image;
    }();

    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
};

TEST_F(EditableImageFiles, ReadableFormatsOpenAtTheirSize) {
    std::vector<const char*> formats{"png", "jpg", "bmp"};
    if (QImageWriter::supportedImageFormats().contains("webp"))
        formats.push_back("webp");
    for (const char* format : formats) {
        const QString path = write(QStringLiteral("picture.") + format, encodedAs(picture, format));
        EXPECT_TRUE(EditableImage::checkFile(path).isEmpty()) << format;
        const EditableImage::Result r = EditableImage::readFile(path);
        ASSERT_TRUE(r.ok()) << format << ": " << r.error.toStdString();
        EXPECT_EQ(r.image.size(), picture.size()) << format;
        EXPECT_NEAR(qRed(r.image.pixel(10, 10)), 30, 8) << format;
    }
}

TEST_F(EditableImageFiles, BadInputIsRefusedWithItsReason) {
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    const QByteArray png = encodedAs(picture, "png");
    struct Case {
        const char* what;
        QString path;
        const char* says;
    };
    const Case cases[] = {
        {"a missing file", dir.filePath(QStringLiteral("missing.png")), "見つかりません"},
        {"a folder", dir.filePath(QStringLiteral("folder")), "フォルダ"},
        {"a text file", write(QStringLiteral("notes.png"), "plain text, not an image"), "画像として読めない"},
        {"an empty file", write(QStringLiteral("empty.jpg"), {}), "画像として読めない"},
        {"a device", QStringLiteral("/dev/null"), "画像として読めない"},
        {"an image too large for a document", write(QStringLiteral("huge.png"), pngClaiming(100000, 100000)),
         "大きすぎる"},
        {"a truncated image", write(QStringLiteral("cut.png"), png.left(png.size() / 2)), "壊れている"},
    };
    for (const Case& c : cases) {
        const EditableImage::Result r = EditableImage::readFile(c.path);
        EXPECT_FALSE(r.ok()) << c.what;
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.says))) << c.what << ": " << r.error.toStdString();
    }
    // The header check alone already refuses all but the broken pixel data.
    for (const Case& c : cases)
        EXPECT_EQ(EditableImage::checkFile(c.path).isEmpty(), std::string(c.what) == "a truncated image") << c.what;
}

TEST(EditableImageFromClipboard, NoneOrTooLargeIsRefused) {
    EXPECT_TRUE(EditableImage::fromImage(QImage()).error.contains(QStringLiteral("クリップボード")));
    const QImage wide(DocumentLimits::maxImageSide + 1, 2, QImage::Format_RGB32);
    EXPECT_TRUE(EditableImage::fromImage(wide).error.contains(QStringLiteral("大きすぎる")));
    QImage ok(8, 6, QImage::Format_Indexed8);
    ok.setColorCount(1);
    ok.setColor(0, qRgb(1, 2, 3));
    ok.fill(0);
    const EditableImage::Result r = EditableImage::fromImage(ok);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.image.format(), QImage::Format_RGB32);
    EXPECT_EQ(r.image.pixel(7, 5), qRgb(1, 2, 3));
}

} // namespace
