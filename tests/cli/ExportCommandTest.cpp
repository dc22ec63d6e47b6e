#include "cli/Cli.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using lumivane::cli::commandExport;
using lumivane::cli::exitFailure;
using lumivane::cli::exitOk;
using lumivane::cli::exitUsage;

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
    static QByteArray formatOf(const QString& file) { return QImageReader(file).format(); }

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

    ASSERT_EQ(commandExport({opaqueInput, "-o", path("out.jpg"), "--preset", "low"}), exitOk);
    EXPECT_EQ(formatOf(path("out.jpg")), "jpeg");
    EXPECT_EQ(QImage(path("out.jpg")).size(), QSize(400, 300));

    // The extension chooses the format; an explicit format must agree with it.
    ASSERT_EQ(commandExport({opaqueInput, "-o", path("forced.jpeg"), "--format", "jpeg"}), exitOk);
    EXPECT_EQ(formatOf(path("forced.jpeg")), "jpeg");
    EXPECT_EQ(commandExport({opaqueInput, "-o", path("forced.png"), "--format", "jpeg"}), exitUsage);
    EXPECT_EQ(commandExport({opaqueInput, "-o", path("noext"), "--profile", "browserFullPage"}), exitUsage);
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

TEST_F(ExportCommand, BadInputFailsWithoutLeavingOutput) {
    EXPECT_EQ(commandExport({path("missing.png"), "-o", path("a.png")}), exitFailure);
    EXPECT_FALSE(QFile::exists(path("a.png")));

    QFile junk(path("junk.png"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not an image");
    junk.close();
    EXPECT_EQ(commandExport({path("junk.png"), "-o", path("b.png")}), exitFailure);
    EXPECT_FALSE(QFile::exists(path("b.png")));

    EXPECT_EQ(commandExport({input, "-o", path("no/such/dir/c.png")}), exitFailure);
    EXPECT_FALSE(QFile::exists(path("no/such/dir/c.png")));
    // No temporary files are left behind either.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

TEST_F(ExportCommand, MalformedArgumentsAreUsageErrors) {
    EXPECT_EQ(commandExport({}), exitUsage);
    EXPECT_EQ(commandExport({input}), exitUsage);
    EXPECT_EQ(commandExport({input, "-o"}), exitUsage);
    EXPECT_EQ(commandExport({input, "-o", path("x.png"), "--format", "gif"}), exitUsage);
    EXPECT_EQ(commandExport({input, "-o", path("x.png"), "--preset", "ultra"}), exitUsage);
    EXPECT_EQ(commandExport({input, "-o", path("x.png"), "--profile", "web"}), exitUsage);
    EXPECT_EQ(commandExport({input, "-o", path("x.png"), "--bogus"}), exitUsage);
    EXPECT_EQ(commandExport({input, input, "-o", path("x.png")}), exitUsage);
    EXPECT_EQ(commandExport({input, "-o", path("x.jpg"), "--drag", "--format", "jpeg"}), exitUsage);
    EXPECT_FALSE(QFile::exists(path("x.png")));
}

} // namespace
