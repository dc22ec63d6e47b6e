#include "TextImages.h"

#include "ocr/TextRecognitionError.h"
#include "ocr_engine/ImagePreparation.h"
#include "ocr_engine/TextRecognizer.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

using lumivane::TextRecognitionError;
using lumivane::ocr::Background;
using lumivane::ocr::TextRecognizer;
using lumivane::test::characterErrorRate;
using lumivane::test::drawText;
using lumivane::test::TextPicture;

// One engine for the suite: loading it takes most of a second.
class Recognition : public ::testing::Test {
protected:
    static void SetUpTestSuite() { recognizer = std::make_unique<TextRecognizer>(); }
    static void TearDownTestSuite() { recognizer.reset(); }
    static inline std::unique_ptr<TextRecognizer> recognizer;
};

const QStringList kJapaneseLines{
    QStringLiteral("撮影した画像はプレビューから保存できます。"),
    QStringLiteral("設定画面の一般タブで保存先を変更してください。"),
    QStringLiteral("範囲を選択して撮影するにはドラッグします。"),
};
const QStringList kMixedLines{
    QStringLiteral("エラー: cannot write shot.png (No space left)"),
    QStringLiteral("Lumivane 0.1 を起動しました。"),
    QStringLiteral("2026-12-08 09:12:04 WARN portal took 812 ms"),
};
const QStringList kVerticalLines{
    QStringLiteral("吾輩は猫である名前はまだ無い"),
    QStringLiteral("どこで生れたかとんと見当がつかぬ"),
    QStringLiteral("何でも薄暗いじめじめした所で泣いていた"),
};

struct PictureCase {
    const char* name;
    TextPicture picture;
    Background background;
    double maxErrorRate;
};

class RecognitionCases : public Recognition, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(RecognitionCases, ReadsTheDrawnTextInItsLines) {
    const PictureCase& c = GetParam();
    const QImage image = drawText(c.picture);
    EXPECT_EQ(lumivane::ocr::prepareForRecognition(image).background, c.background);
    const QString text = recognizer->recognize(image);
    const QString expected = c.picture.lines.join('\n');
    EXPECT_LE(characterErrorRate(text, expected), c.maxErrorRate) << text.toStdString();
    EXPECT_EQ(recognizer->lastWasVertical(), c.picture.vertical);
    // Lines stay lines, in order.
    const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), c.picture.lines.size()) << text.toStdString();
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_LE(characterErrorRate(lines[i], c.picture.lines[i]), 0.3) << lines[i].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, RecognitionCases,
    ::testing::Values(
        PictureCase{"JapaneseOnLight", {kJapaneseLines, 20}, Background::light, 0.05},
        PictureCase{
            "JapaneseOnDark", {kJapaneseLines, 20, QColor(220, 220, 220), QColor(30, 30, 30)}, Background::dark, 0.05},
        PictureCase{"SmallJapanese", {kJapaneseLines, 11}, Background::light, 0.08},
        PictureCase{"MixedOnLight", {kMixedLines, 16}, Background::light, 0.05},
        PictureCase{
            "MixedOnDarkTerminal", {kMixedLines, 13, QColor(200, 200, 200), QColor(0, 0, 0)}, Background::dark, 0.08},
        PictureCase{"WhiteOnBlue", {kJapaneseLines, 14, Qt::white, QColor(26, 115, 232)}, Background::coloured, 0.08},
        PictureCase{"WhiteOnOrange", {kMixedLines, 14, Qt::white, QColor(245, 160, 40)}, Background::coloured, 0.08},
        PictureCase{"VerticalJapanese", {kVerticalLines, 24, Qt::black, Qt::white, true}, Background::light, 0.08}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Recognition, SmallTextIsScaledUpAndLargeTextIsNot) {
    const auto small = lumivane::ocr::prepareForRecognition(drawText({kJapaneseLines, 11}));
    EXPECT_GE(small.scale, 2.0);
    EXPECT_NEAR(small.gray.width(), small.crop.width() * small.scale, 1);
    EXPECT_GE(small.layout.glyphHeight * small.scale, lumivane::ocr::kTargetGlyphHeight - 2);
    const auto large = lumivane::ocr::prepareForRecognition(drawText({kJapaneseLines, 36}));
    EXPECT_EQ(large.scale, 1.0);
}

TEST_F(Recognition, AnEmptyPageHasNoText) {
    QImage blank(400, 300, QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_TRUE(recognizer->recognize(blank).isEmpty());
}

TEST_F(Recognition, ImagesItCannotReadAreRefused) {
    using Kind = TextRecognitionError::Kind;
    struct Case {
        QImage image;
        Kind kind;
    };
    const Case cases[] = {
        {QImage(), Kind::notAnImage},
        {QImage(lumivane::ocr::kMaxRecognitionSide + 1, 2, QImage::Format_Grayscale8), Kind::imageTooLarge},
    };
    for (const Case& c : cases) {
        try {
            recognizer->recognize(c.image);
            ADD_FAILURE() << "no error";
        } catch (const TextRecognitionError& e) {
            EXPECT_EQ(e.kind(), c.kind);
            EXPECT_FALSE(e.description().isEmpty());
        }
    }
}

TEST_F(Recognition, ACancelledRecognitionStops) {
    std::atomic<bool> cancel{true};
    try {
        recognizer->recognize(drawText({kJapaneseLines, 20}), &cancel);
        FAIL() << "not cancelled";
    } catch (const TextRecognitionError& e) {
        EXPECT_EQ(e.kind(), TextRecognitionError::Kind::cancelled);
    }
    // The engine reads the next image as usual.
    cancel = false;
    EXPECT_LE(
        characterErrorRate(recognizer->recognize(drawText({kJapaneseLines, 20}), &cancel), kJapaneseLines.join('\n')),
        0.05);
}

} // namespace
