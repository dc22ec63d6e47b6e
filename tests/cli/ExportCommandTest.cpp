#include "cli/Cli.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using lumivane::cli::commandExport;
using lumivane::cli::exitOk;

class ExportCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QImage img(400, 300, QImage::Format_ARGB32);
        img.fill(qRgba(30, 60, 90, 255));
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 50; ++x)
                img.setPixel(x, y, qRgba(255, 255, 255, 0));
        input = path("in.png");
        ASSERT_TRUE(img.save(input));
        QImage opaque(400, 300, QImage::Format_RGB32);
        opaque.fill(qRgb(200, 10, 10));
        opaqueInput = path("opaque.png");
        ASSERT_TRUE(opaque.save(opaqueInput));
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString input;
    QString opaqueInput;
};

TEST_F(ExportCommand, WritesPngWithTransparentBlackAndJpegByExtension) {
    ASSERT_EQ(commandExport({input, "-o", path("out.png")}), exitOk);
    const QImage png(path("out.png"));
    ASSERT_EQ(png.size(), QSize(400, 300));
    EXPECT_TRUE(png.hasAlphaChannel());
    EXPECT_EQ(png.pixel(10, 10), 0u);

    // The extension chooses the format; an explicit one agrees with it, whatever its case.
    ASSERT_EQ(commandExport({opaqueInput, "-o", path("out.jpg"), "--preset", "low"}), exitOk);
    ASSERT_EQ(commandExport({opaqueInput, "-o", path("forced.JPEG"), "--format", "jpeg"}), exitOk);
    for (const char* jpeg : {"out.jpg", "forced.JPEG"}) {
        QFile f(path(jpeg));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.read(2) == "\xff\xd8") << jpeg;
        f.close();
        EXPECT_EQ(QImage(path(jpeg), "jpeg").size(), QSize(400, 300)) << jpeg;
    }
    ASSERT_EQ(commandExport({opaqueInput, "-o", path("full.png"), "--profile", "browserFullPage"}), exitOk);
    EXPECT_FALSE(QImage(path("full.png")).hasAlphaChannel());
}

TEST_F(ExportCommand, DragExportShrinksToTheDragRow) {
    // The standard/low drag row caps the longer side at 1800.
    QImage big(3000, 1000, QImage::Format_RGB32);
    big.fill(qRgb(1, 2, 3));
    ASSERT_TRUE(big.save(path("big.png")));
    ASSERT_EQ(commandExport({path("big.png"), "-o", path("drag.png"), "--drag", "--preset", "low"}), exitOk);
    EXPECT_EQ(QImage(path("drag.png")).size(), QSize(1800, 600));
    ASSERT_EQ(commandExport({path("big.png"), "-o", path("out.png")}), exitOk);
    EXPECT_EQ(QImage(path("out.png")).size(), QSize(3000, 1000));
}

} // namespace
