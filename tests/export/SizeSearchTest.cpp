// The size search must choose exactly what encoding every candidate in order would:
// the first that fits the budget, else the smallest file (the first of equals).
#include "ExportTestSupport.h"
#include "core/Encoders.h"
#include "core/ImageExportPipeline.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace lumivane {
namespace {

using namespace ImageExportPipeline;

struct Candidate {
    double dimension;
    QByteArray png;
};

// The candidates of the sequence in order, normalised and encoded in full through the
// public operations; all of them, or up to the first that fits `stopWhenFitting`.
std::vector<Candidate> encodeEveryCandidate(const QImage& image, const ImageExportOptions& options,
                                            std::optional<qint64> stopWhenFitting = std::nullopt) {
    const int largest = std::max(image.width(), image.height());
    std::vector<Candidate> out;
    for (double c : dragExportDimensionSequence(std::min<double>(largest, options.maxDimension), largest,
                                                options.minimumDimension)) {
        if (c < 1)
            continue;
        const auto normalized = normalizedImage(image, c);
        if (!normalized)
            continue;
        if (auto png = encode(*normalized, ScreenshotFileFormat::png))
            out.push_back({c, *png});
        if (stopWhenFitting && !out.empty() && out.back().png.size() <= *stopWhenFitting)
            break;
    }
    return out;
}

// The candidate order and rule as written: diff = |size - budget|, strictly smaller
// diff replaces the best, the first that fits returns at once.
QByteArray chooseInOrder(const std::vector<Candidate>& candidates, qint64 budget) {
    std::optional<QByteArray> best;
    qint64 bestDiff = 0;
    for (const Candidate& c : candidates) {
        const qint64 diff = std::abs(c.png.size() - budget);
        if (!best || diff < bestDiff) {
            bestDiff = diff;
            best = c.png;
        }
        if (c.png.size() <= budget)
            return c.png;
    }
    return best.value_or(QByteArray());
}

// Decodes the PNG through Qt and libpng and checks its pixels against the normalised candidate.
void expectDecodesToCandidate(const QImage& image, const std::vector<Candidate>& candidates, const QByteArray& png) {
    const QImage viaQt = QImage::fromData(png, "PNG");
    ASSERT_FALSE(viaQt.isNull());
    const auto viaLibpng = test::decodeWithLibpng(png);
    ASSERT_TRUE(viaLibpng);
    for (const Candidate& c : candidates) {
        if (c.png != png)
            continue;
        const QImage expected = normalizedImage(image, c.dimension)->convertToFormat(QImage::Format_RGBA8888);
        ASSERT_EQ(viaQt.size(), expected.size());
        const QImage qtRgba = viaQt.convertToFormat(QImage::Format_RGBA8888);
        for (int y = 0; y < expected.height(); ++y)
            ASSERT_EQ(0, std::memcmp(qtRgba.constScanLine(y), expected.constScanLine(y), size_t(expected.width()) * 4))
                << "row " << y;
        ASSERT_EQ(viaLibpng->rgba.size(), size_t(expected.width()) * expected.height() * 4);
        for (int y = 0; y < expected.height(); ++y)
            ASSERT_EQ(0, std::memcmp(viaLibpng->rgba.data() + size_t(y) * expected.width() * 4,
                                     expected.constScanLine(y), size_t(expected.width()) * 4))
                << "row " << y;
        return;
    }
    ADD_FAILURE() << "the search returned bytes of no candidate";
}

// A 7 × 7 tile of noise repeated: tiny at full size, noise once scaled (the period is
// no longer whole pixels), so the sizes do not fall with the dimension.
QImage tiledNoise(int w, int h) {
    const QImage tile = test::photoLikeImage(7, 7, 21);
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, tile.pixel(x % 7, y % 7));
    return img;
}

// A screenshot with a transparent margin: PNGs with alpha.
QImage translucentScreenshot(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.drawImage(QRect(w / 10, h / 10, w * 8 / 10, h * 8 / 10), test::uiLikeImage(w * 8 / 10, h * 8 / 10, 3));
    p.fillRect(QRect(0, 0, w / 5, h / 20), QColor(30, 120, 200, 128));
    p.end();
    return img;
}

struct Corpus {
    const char* name;
    QImage image;
};

const std::vector<Corpus>& corpus() {
    static const std::vector<Corpus> images = {
        {"ui", test::uiLikeImage(1100, 700)},           {"photo", test::photoLikeImage(1000, 640)},
        {"long page", test::uiLikeImage(320, 6000, 5)}, {"photo page", test::photoLikeImage(300, 4000, 9)},
        {"tiled noise", tiledNoise(997, 503)},          {"translucent", translucentScreenshot(1000, 600)},
    };
    return images;
}

TEST(ImageExportSearchEquality, EveryBudgetBranchChoosesWhatTheInOrderSearchChooses) {
    for (const Corpus& item : corpus()) {
        SCOPED_TRACE(item.name);
        const int largest = std::max(item.image.width(), item.image.height());
        ImageExportOptions options{0, double(largest), largest / 2.5};
        const std::vector<Candidate> all = encodeEveryCandidate(item.image, options);
        ASSERT_GE(all.size(), 6u);
        std::vector<qint64> sizes;
        for (const Candidate& c : all)
            sizes.push_back(c.png.size());
        const qint64 smallest = *std::min_element(sizes.begin(), sizes.end());
        const size_t middle = all.size() / 2;
        // The largest fits (exactly, or with room); it just misses; a middle one is the
        // first to fit; only the smallest fits; nothing fits; a zero budget.
        const std::vector<qint64> budgets = {sizes[0] + 1000,   sizes[0],     sizes[0] - 1, sizes[1],     sizes[middle],
                                             sizes[middle] - 1, sizes.back(), smallest,     smallest - 1, 0};
        for (qint64 budget : budgets) {
            SCOPED_TRACE(budget);
            options.byteBudget = int(budget);
            const auto png = dragExportPNGData(item.image, options);
            ASSERT_TRUE(png);
            const QByteArray expected = chooseInOrder(all, budget);
            EXPECT_EQ(png->size(), expected.size());
            EXPECT_TRUE(*png == expected);
            expectDecodesToCandidate(item.image, all, *png);
        }
    }
}

TEST(ImageExportSearchEquality, TableRowsChooseWhatTheInOrderSearchChooses) {
    const QImage page = test::uiLikeImage(700, 9000, 13);
    const QImage photo = test::photoLikeImage(1900, 1000, 17);
    for (const QImage& image : {page, photo})
        for (auto profile : {ImageExportProfile::standard, ImageExportProfile::browserFullPage})
            for (auto preset : {CaptureQualityPreset::low, CaptureQualityPreset::medium, CaptureQualityPreset::high})
                for (const ImageExportOptions& options :
                     {ImageExportOptions::output(profile, preset), ImageExportOptions::drag(profile, preset)}) {
                    SCOPED_TRACE(testing::Message() << image.width() << "x" << image.height() << " budget "
                                                    << options.byteBudget << " max " << options.maxDimension);
                    const auto png = dragExportPNGData(image, options);
                    ASSERT_TRUE(png);
                    EXPECT_TRUE(*png == chooseInOrder(encodeEveryCandidate(image, options, options.byteBudget),
                                                      options.byteBudget));
                }
}

TEST(ImageExportSearchEquality, NonMonotoneSizesKeepTheFullSizeWhenItIsSmallest) {
    // Nothing fits and the full-size image is the smallest file: it is chosen although
    // larger candidates came after it.
    const QImage board = tiledNoise(997, 503);
    ImageExportOptions options{1, 997, 400};
    const std::vector<Candidate> all = encodeEveryCandidate(board, options);
    ASSERT_GE(all.size(), 3u);
    for (size_t i = 1; i < all.size(); ++i)
        ASSERT_LT(all[0].png.size(), all[i].png.size());
    const auto png = dragExportPNGData(board, options);
    ASSERT_TRUE(png);
    EXPECT_TRUE(*png == all[0].png);
    EXPECT_EQ(QImage::fromData(*png).size(), QSize(997, 503));
}

TEST(PngEncoderLimit, StopsOnlyWhenTheFileWouldExceedTheLimit) {
    // Several segments (more than 2 MiB of rows) so the limit is checked between them.
    for (const QImage& image : {test::photoLikeImage(1500, 900), test::uiLikeImage(1800, 1200)}) {
        const auto full = detail::encodePng(image);
        ASSERT_TRUE(full);
        const auto atLimit = detail::encodePngWithin(image, full->size());
        ASSERT_TRUE(atLimit.bytes);
        EXPECT_FALSE(atLimit.exceeded);
        EXPECT_TRUE(*atLimit.bytes == *full);
        const auto below = detail::encodePngWithin(image, full->size() - 1);
        EXPECT_FALSE(below.bytes);
        EXPECT_TRUE(below.exceeded);
        const auto far = detail::encodePngWithin(image, 1000);
        EXPECT_FALSE(far.bytes);
        EXPECT_TRUE(far.exceeded);
    }
}

TEST(PngEncoderRows, UnfilteredAndFilteredImagesWithAndWithoutAlphaDecodeExactly) {
    // UI content takes the unfiltered rows, photographs the filtered ones; each spans
    // several segments, with and without alpha.
    QImage uiAlpha = test::uiLikeImage(1700, 1300).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < uiAlpha.height(); y += 5)
        for (int x = 0; x < uiAlpha.width(); x += 3)
            uiAlpha.setPixel(x, y, qRgba(0, 0, 0, 0));
    QImage photoAlpha = test::photoLikeImage(1300, 1100).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < photoAlpha.height(); ++y)
        photoAlpha.setPixel(y % photoAlpha.width(), y, qRgba(0, 0, 0, 0));
    // Odd sizes leave a last strip of rows shorter than the others.
    QImage oddAlpha = test::photoLikeImage(900, 517).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < oddAlpha.height(); y += 3)
        for (int x = 0; x < oddAlpha.width(); x += 7)
            oddAlpha.setPixel(x, y, qRgba(0, 0, 0, 0));
    for (const QImage& src : {test::uiLikeImage(1900, 1250), test::photoLikeImage(1400, 1000), uiAlpha, photoAlpha,
                              test::photoLikeImage(1100, 701), oddAlpha}) {
        const QImage normalized = *normalizedImage(src, std::nullopt);
        const auto png = encode(normalized, ScreenshotFileFormat::png);
        ASSERT_TRUE(png);
        EXPECT_EQ(QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_ARGB32),
                  src.convertToFormat(QImage::Format_ARGB32));
        const auto viaLibpng = test::decodeWithLibpng(*png);
        ASSERT_TRUE(viaLibpng);
        const QImage rgba = src.convertToFormat(QImage::Format_RGBA8888);
        for (int y = 0; y < rgba.height(); ++y)
            ASSERT_EQ(0, std::memcmp(viaLibpng->rgba.data() + size_t(y) * rgba.width() * 4, rgba.constScanLine(y),
                                     size_t(rgba.width()) * 4))
                << "row " << y;
    }
}

} // namespace
} // namespace lumivane
