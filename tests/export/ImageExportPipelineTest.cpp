#include "core/ImageExportPipeline.h"
#include "ExportTestSupport.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <functional>
#include <gtest/gtest.h>

namespace lumivane {
namespace {

using namespace ImageExportPipeline;
using test::decodeWithLibpng;

QImage decodeWithQt(const QByteArray& data) {
    QImage img;
    img.loadFromData(data);
    return img;
}

TEST(ImageExportSizes, TargetPixelSizeScalesLongerSideAndKeepsOnePixel) {
    EXPECT_EQ(targetPixelSize(10, 5000, 100.0), (PixelSize{1, 100}));
    // 5000 × 10 capped at 100: ratio 0.02, height floor(0.2) → 1.
    EXPECT_EQ(targetPixelSize(5000, 10, 100.0), (PixelSize{100, 1}));
    EXPECT_EQ(targetPixelSize(1920, 1080, std::nullopt), (PixelSize{1920, 1080}));
    EXPECT_EQ(targetPixelSize(1920, 1080, 1920.0), (PixelSize{1920, 1080}));
    EXPECT_EQ(targetPixelSize(1920, 1080, 1000.0), (PixelSize{1000, 562}));
    EXPECT_EQ(targetPixelSize(3, 2, 2.5), (PixelSize{2, 1}));
}

TEST(ImageExportSizes, DimensionSequencesOfTheWorkedExamples) {
    EXPECT_EQ(dragExportDimensionSequence(3000, 3000, 1600),
              (std::vector<double>{3000, 2760, 2484, 2235, 2012, 1810, 1629, 1600}));
    EXPECT_EQ(dragExportDimensionSequence(2880, 2880, 2200), (std::vector<double>{2880, 2649, 2384, 2200}));
    // Start capped below the source; the first value is not rounded.
    EXPECT_EQ(dragExportDimensionSequence(2400.5, 3000, 2300), (std::vector<double>{2400.5, 2300}));
    // Source below the minimum: the only candidate is its own size.
    EXPECT_EQ(dragExportDimensionSequence(1000, 1000, 2200), (std::vector<double>{1000}));
    // Values within 8 pixels of the last are skipped.
    EXPECT_EQ(dragExportDimensionSequence(1608, 1608, 1600), (std::vector<double>{1608, 1600}));
    // A degenerate minimum ends too.
    EXPECT_FALSE(dragExportDimensionSequence(100, 100, 0).empty());
}

QImage withTransparentCorner(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(qRgba(200, 100, 50, 255));
    for (int y = 0; y < h / 2; ++y)
        for (int x = 0; x < w / 2; ++x)
            img.setPixel(x, y, qRgba(255, 0, 255, 0)); // colour under zero alpha
    img.setPixel(w - 1, h - 1, qRgba(10, 20, 30, 128));
    return img;
}

TEST(ImageExportNormalisation, TransparentPixelsBecomeTransparentBlackInPng) {
    const auto normalized = normalizedImage(withTransparentCorner(40, 30), std::nullopt);
    ASSERT_TRUE(normalized);
    EXPECT_TRUE(normalized->hasAlphaChannel());
    EXPECT_EQ(normalized->colorSpace(), QColorSpace(QColorSpace::SRgb));
    const auto png = encode(*normalized, ScreenshotFileFormat::png);
    ASSERT_TRUE(png);
    const auto decoded = decodeWithLibpng(*png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->colorType, 6); // RGBA
    EXPECT_EQ(decoded->width, 40);
    EXPECT_EQ(decoded->height, 30);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x) {
            const uint8_t* px = &decoded->rgba[(y * 40 + x) * 4];
            ASSERT_EQ(px[0] | px[1] | px[2] | px[3], 0) << x << "," << y;
        }
    const uint8_t* opaque = &decoded->rgba[(29 * 40 + 0) * 4];
    EXPECT_EQ(opaque[0], 200);
    EXPECT_EQ(opaque[1], 100);
    EXPECT_EQ(opaque[2], 50);
    EXPECT_EQ(opaque[3], 255);
    const uint8_t* half = &decoded->rgba[(29 * 40 + 39) * 4];
    EXPECT_EQ(half[3], 128);
    EXPECT_NEAR(half[0], 10, 2);
    EXPECT_NEAR(half[2], 30, 2);
    const QImage viaQt = decodeWithQt(*png);
    EXPECT_EQ(viaQt.pixel(0, 0), 0u);
}

TEST(ImageExportNormalisation, OpaqueImageLosesAlphaChannel) {
    QImage src(64, 48, QImage::Format_ARGB32);
    src.fill(qRgba(1, 2, 3, 255));
    const auto normalized = normalizedImage(src, std::nullopt);
    ASSERT_TRUE(normalized);
    EXPECT_FALSE(normalized->hasAlphaChannel());
    const auto png = encode(*normalized, ScreenshotFileFormat::png);
    ASSERT_TRUE(png);
    const auto decoded = decodeWithLibpng(*png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->colorType, 2); // RGB, no alpha
    EXPECT_EQ(decoded->rgba[0], 1);
    EXPECT_EQ(decoded->rgba[1], 2);
    EXPECT_EQ(decoded->rgba[2], 3);
    EXPECT_FALSE(decodeWithQt(*png).hasAlphaChannel());
}

TEST(ImageExportNormalisation, OtherColourSpacesAreConvertedToSrgb) {
    QImage src(8, 8, QImage::Format_RGB32);
    src.fill(qRgb(0, 200, 0));
    src.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const auto normalized = normalizedImage(src, std::nullopt);
    ASSERT_TRUE(normalized);
    EXPECT_EQ(normalized->colorSpace(), QColorSpace(QColorSpace::SRgb));
    // P3 green is outside sRGB: red goes to 0 and green saturates.
    const QRgb px = normalized->pixel(3, 3);
    EXPECT_LT(qRed(px), 10);
    EXPECT_GT(qGreen(px), 200);
}

TEST(ImageExportNormalisation, DownscaleAveragesFineDetail) {
    // A one-pixel checkerboard reduced 8× must turn grey, not alias to black or white.
    QImage src(800, 400, QImage::Format_RGB32);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 800; ++x)
            src.setPixel(x, y, ((x + y) & 1) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const auto normalized = normalizedImage(src, 100.0);
    ASSERT_TRUE(normalized);
    EXPECT_EQ(normalized->size(), QSize(100, 50));
    for (int y = 2; y < 48; y += 7)
        for (int x = 2; x < 98; x += 9)
            EXPECT_NEAR(qGray(normalized->pixel(x, y)), 128, 6) << x << "," << y;
}

TEST(ImageExportNormalisation, NullImageGivesNothing) {
    EXPECT_FALSE(normalizedImage(QImage(), std::nullopt));
    EXPECT_FALSE(encode(QImage(), ScreenshotFileFormat::png));
    EXPECT_FALSE(dragExportPNGData(
        QImage(), ImageExportOptions::output(ImageExportProfile::standard, CaptureQualityPreset::medium)));
}

TEST(ImageExportEncoding, PngIsPlainNonInterlacedAndMatchesPixelsOfBothDecoders) {
    const QImage src = test::photoLikeImage(123, 77);
    const auto png = encode(src, ScreenshotFileFormat::png);
    ASSERT_TRUE(png);
    const auto decoded = decodeWithLibpng(*png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->interlace, 0);
    EXPECT_EQ(decoded->bitDepth, 8);
    EXPECT_EQ(decoded->chunkNames, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    const QImage viaQt = decodeWithQt(*png).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(viaQt.size(), src.size());
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            const QRgb s = src.pixel(x, y);
            ASSERT_EQ(viaQt.pixel(x, y), s);
            const uint8_t* px = &decoded->rgba[(y * src.width() + x) * 4];
            ASSERT_EQ(px[0], qRed(s));
            ASSERT_EQ(px[1], qGreen(s));
            ASSERT_EQ(px[2], qBlue(s));
        }
}

QByteArray qtPng(const QImage& image) {
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buf, "PNG"));
    return out;
}

TEST(ImageExportEncoding, PngIsNoLargerThanQtsWriter) {
    // Screenshots go unfiltered, which deflates their repeated glyphs far better than
    // libpng's adaptive filters.
    const QImage ui = *normalizedImage(test::uiLikeImage(1280, 720), std::nullopt);
    EXPECT_LE(double(encode(ui, ScreenshotFileFormat::png)->size()), qtPng(ui).size() * 0.85);
    // Sensor noise barely compresses; the adaptive filters may differ from libpng's by a hair.
    const QImage photo = *normalizedImage(test::photoLikeImage(640, 360), std::nullopt);
    EXPECT_LE(double(encode(photo, ScreenshotFileFormat::png)->size()), qtPng(photo).size() * 1.001);
}

TEST(ImageExportEncoding, JpegUsesQualityAndFullResolution) {
    const QImage src = test::photoLikeImage(300, 200);
    const auto normalized = normalizedImage(src, std::nullopt);
    ASSERT_TRUE(normalized);
    const auto low = encode(*normalized, ScreenshotFileFormat::jpeg, jpegCompressionFactor(CaptureQualityPreset::low));
    const auto byDefault = encode(*normalized, ScreenshotFileFormat::jpeg);
    const auto q92 = encode(*normalized, ScreenshotFileFormat::jpeg, 0.92);
    const auto high = encode(*normalized, ScreenshotFileFormat::jpeg, 0.94);
    ASSERT_TRUE(low && byDefault && q92 && high);
    EXPECT_EQ(*byDefault, *q92);
    EXPECT_LT(low->size(), q92->size());
    EXPECT_LT(q92->size(), high->size());
    QImageReader reader;
    QBuffer b(const_cast<QByteArray*>(&*low));
    reader.setDevice(&b);
    EXPECT_EQ(reader.format(), "jpeg");
    const QImage decoded = reader.read();
    EXPECT_EQ(decoded.size(), QSize(300, 200));
    // Quality 78 keeps the picture close to the source.
    double err = 0;
    for (int y = 0; y < 200; y += 5)
        for (int x = 0; x < 300; x += 5)
            err += std::abs(qGray(decoded.pixel(x, y)) - qGray(src.pixel(x, y)));
    EXPECT_LT(err / (40 * 60), 12);
}

TEST(ImageExportSearch, SmallImageIsReturnedAtFullSizeWhateverItsSize) {
    // 1000 × 600 under the standard high row (minimum 2200): one candidate, 1000.
    const QImage src = test::photoLikeImage(1000, 600);
    ImageExportOptions options = ImageExportOptions::output(ImageExportProfile::standard, CaptureQualityPreset::high);
    options.byteBudget = 1000; // far too small, yet the image keeps its size
    const auto png = dragExportPNGData(src, options);
    ASSERT_TRUE(png);
    const auto decoded = decodeWithLibpng(*png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 1000);
    EXPECT_EQ(decoded->height, 600);
}

// Pixel-exact transform checks on a 3 × 2 image with distinct pixels:
//   a b c
//   d e f
QImage sample() {
    QImage img(3, 2, QImage::Format_ARGB32);
    const QRgb px[6] = {0xff110000, 0xff220000, 0xff330000, 0xff000011, 0xff000022, 0xff000033};
    for (int i = 0; i < 6; ++i)
        img.setPixel(i % 3, i / 3, px[i]);
    return img;
}

void expectPixels(const ImageRef& img, int w, int h, std::vector<QRgb> expected) {
    ASSERT_TRUE(img);
    ASSERT_EQ(img->size(), QSize(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(img->pixel(x, y), expected[y * w + x]) << x << "," << y;
}

constexpr QRgb a = 0xff110000, b = 0xff220000, c = 0xff330000, d = 0xff000011, e = 0xff000022, f = 0xff000033;

// Each quarter turn and flip moves every pixel where expected, into a new image.
TEST(ImageTransforms, TurnsAndFlipsMoveEveryPixel) {
    struct Case {
        const char* name;
        std::function<ImageRef(const ImageRef&)> apply;
        int w, h;
        std::vector<QRgb> pixels;
    };
    using R = ImageRotationDirection;
    const Case cases[] = {
        // Turned left, the right column (c f) becomes the top row: c f / b e / a d.
        {"left", [](const ImageRef& i) { return rotated(i, R::counterClockwise); }, 2, 3, {c, f, b, e, a, d}},
        {"right", [](const ImageRef& i) { return rotated(i, R::clockwise); }, 2, 3, {d, a, e, b, f, c}},
        {"horizontal", [](const ImageRef& i) { return flipped(i, true); }, 3, 2, {c, b, a, f, e, d}},
        {"vertical", [](const ImageRef& i) { return flipped(i, false); }, 3, 2, {d, e, f, a, b, c}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        const ImageRef src = makeImage(sample());
        const ImageRef out = t.apply(src);
        expectPixels(out, t.w, t.h, t.pixels);
        EXPECT_NE(out, src) << "a new object";
        EXPECT_EQ(src->pixel(0, 0), a) << "the source is untouched";
    }
}

TEST(ImageTransforms, CropTakesBottomLeftOriginRectangle) {
    // (0, 0, 2, 1) from the bottom left is the lower row's first two pixels.
    expectPixels(cropped(makeImage(sample()), QRectF(0, 0, 2, 1)), 2, 1, {d, e});
    expectPixels(cropped(makeImage(sample()), QRectF(1, 1, 2, 1)), 2, 1, {b, c});
    // Negative size is standardised.
    expectPixels(cropped(makeImage(sample()), QRectF(3, 2, -1, -2)), 1, 2, {c, f});
    // Partly outside: only the inside part.
    expectPixels(cropped(makeImage(sample()), QRectF(2, -5, 10, 6)), 1, 1, {f});
    // Wholly outside: nothing.
    EXPECT_FALSE(cropped(makeImage(sample()), QRectF(5, 5, 2, 2)));
    EXPECT_FALSE(cropped(makeImage(sample()), QRectF(0, 0, 0, 2)));
}

TEST(ImageTransforms, ResizeUsesTheTargetSizeAndRejectsEmptySizes) {
    QImage src(4, 4, QImage::Format_RGB32);
    src.fill(qRgb(10, 200, 30));
    const ImageRef up = resized(makeImage(src), QSize(9, 5));
    ASSERT_TRUE(up);
    EXPECT_EQ(up->size(), QSize(9, 5));
    EXPECT_EQ(up->pixel(4, 2), qRgb(10, 200, 30));
    EXPECT_FALSE(resized(makeImage(src), QSize(0, 5)));
    EXPECT_FALSE(resized(makeImage(src), QSize(5, -1)));
    EXPECT_FALSE(resized(nullptr, QSize(5, 5)));
    // Two halves average at the seam when shrinking.
    QImage halves(4, 1, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x)
        halves.setPixel(x, 0, x < 2 ? qRgb(0, 0, 0) : qRgb(200, 200, 200));
    const ImageRef small = resized(makeImage(halves), QSize(2, 1));
    ASSERT_TRUE(small);
    EXPECT_LT(qRed(small->pixel(0, 0)), 60);
    EXPECT_GT(qRed(small->pixel(1, 0)), 140);
}

} // namespace
} // namespace lumivane
