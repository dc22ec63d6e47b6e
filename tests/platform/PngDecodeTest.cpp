// The portal screenshot decoder against PNGs written by libpng with each row filter,
// in RGB and RGBA, in one or many IDAT chunks, and the formats it hands to the general
// decoder.
#include "platform/wayland/PngDecode.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <png.h>

#include <vector>

using namespace lumivane;

namespace {

void append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

// Photo-like and flat parts, so that every filter meets real predictions; opaque
// without alpha.
QImage sample(int w, int h, bool alpha) {
    QImage image(w, h, QImage::Format_RGBA8888);
    QRandomGenerator rng(7);
    for (int y = 0; y < h; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const bool noisy = (x / 16 + y / 16) % 2 == 0;
            line[4 * x] = uchar(noisy ? rng.bounded(256) : x * 3);
            line[4 * x + 1] = uchar(noisy ? rng.bounded(256) : y * 5);
            line[4 * x + 2] = uchar((x * y) & 0xff);
            line[4 * x + 3] = alpha ? uchar(noisy ? rng.bounded(256) : 255 - x) : 255;
        }
    }
    return image;
}

// image is RGBA8888; colourType PNG_COLOR_TYPE_RGB drops the alpha; chunkBytes
// bounds the IDAT chunks.
QByteArray encode(const QImage& image, int colourType, int filters, size_t chunkBytes, bool withTrns = false) {
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, append, nullptr);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
    png_set_compression_buffer_size(png, chunkBytes);
    if (withTrns) {
        png_color_16 key{};
        key.red = key.green = key.blue = 0;
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(image.width()) * 4);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* src = image.constScanLine(y);
        if (colourType == PNG_COLOR_TYPE_RGB) {
            for (int x = 0; x < image.width(); ++x)
                std::memcpy(&row[size_t(3 * x)], src + 4 * x, 3);
        } else {
            std::memcpy(row.data(), src, row.size());
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct FilterCase {
    const char* name;
    int filters;
};
const FilterCase filterCases[] = {{"none", PNG_FILTER_NONE}, {"sub", PNG_FILTER_SUB},     {"up", PNG_FILTER_UP},
                                  {"avg", PNG_FILTER_AVG},   {"paeth", PNG_FILTER_PAETH}, {"all", PNG_ALL_FILTERS}};

} // namespace

TEST(PngDecode, EveryFilterInRgbAndRgbaDecodesToTheWrittenPixels) {
    for (const bool alpha : {true, false})
        for (const FilterCase& f : filterCases)
            for (const size_t chunk : {size_t(1) << 20, size_t(777)}) {
                SCOPED_TRACE(testing::Message() << f.name << (alpha ? " rgba" : " rgb") << " chunks " << chunk);
                const QImage source = sample(173, 61, alpha);
                const QByteArray png =
                    encode(source, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, f.filters, chunk);
                ASSERT_FALSE(png.isEmpty());
                const QImage decoded = decodePng(png);
                ASSERT_EQ(decoded.format(), QImage::Format_RGBA8888);
                EXPECT_EQ(decoded, source);
            }
}

TEST(PngDecode, FormatsBeyondEightBitRgbStillDecode) {
    // A colour key (tRNS) and a palette image go to the general decoder.
    QImage source = sample(40, 30, false);
    source.setPixelColor(1, 1, QColor(0, 0, 0));
    source.setPixelColor(2, 1, QColor(0, 0, 1));
    const QImage keyed = decodePng(encode(source, PNG_COLOR_TYPE_RGB, PNG_ALL_FILTERS, 8192, true));
    ASSERT_FALSE(keyed.isNull());
    EXPECT_EQ(keyed.pixelColor(1, 1).alpha(), 0);
    EXPECT_EQ(keyed.pixelColor(2, 1), QColor(0, 0, 1));
    QImage palette(20, 10, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    palette.fill(1);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        palette.save(&buffer, "PNG");
    }
    const QImage decoded = decodePng(bytes);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded.pixelColor(3, 3), QColor(0, 0, 255));
}

TEST(PngDecode, DamagedDataGivesNoImage) {
    const QByteArray png = encode(sample(64, 64, true), PNG_COLOR_TYPE_RGBA, PNG_ALL_FILTERS, 1 << 20);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"not a png", QByteArray("GIF89a and more bytes")},
        {"cut in the image data", png.left(png.size() / 2)},
        {"data overwritten", QByteArray(png).replace(100, 200, QByteArray(200, '\x5a'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(decodePng(c.bytes).isNull());
    }
}
