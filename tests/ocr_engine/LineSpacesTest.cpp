#include "ocr_engine/RecognizedLine.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using lumivane::ocr::joinLineWords;
using lumivane::ocr::RecognizedWord;

struct SpacesCase {
    const char* name;
    std::vector<RecognizedWord> words; // on a line 20 pixels high
    QString expected;
};

class LineSpaces : public ::testing::TestWithParam<SpacesCase> {};

TEST_P(LineSpaces, FollowTheGapsInTheImage) {
    EXPECT_EQ(joinLineWords(GetParam().words, 20), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LineSpaces,
    ::testing::Values(
        // The engine splits Japanese into words with spaces that the text has not.
        SpacesCase{
            "InventedBetweenJapanese",
            {{QStringLiteral("撮影"), 0, 40}, {QStringLiteral("した"), 42, 80}, {QStringLiteral("画像"), 81, 120}},
            QStringLiteral("撮影した画像")},
        SpacesCase{"WideGapBetweenJapaneseKept",
                   {{QStringLiteral("設定"), 0, 40}, {QStringLiteral("一般"), 60, 100}},
                   QStringLiteral("設定 一般")},
        SpacesCase{"LatinWordsKeepTheirSpaces",
                   {{"cannot", 0, 50}, {"write", 54, 90}, {"shot.png", 94, 150}},
                   QStringLiteral("cannot write shot.png")},
        SpacesCase{"LatinBesideJapaneseWithoutGap",
                   {{QStringLiteral("ファイル"), 0, 80}, {"PNG", 81, 110}, {QStringLiteral("を保存"), 111, 170}},
                   QStringLiteral("ファイルPNGを保存")},
        SpacesCase{"LatinBesideJapaneseWithTypedSpace",
                   {{"Escape", 0, 60}, {QStringLiteral("キーを押す"), 65, 160}},
                   QStringLiteral("Escape キーを押す")},
        SpacesCase{"FullWidthPunctuationIsJapanese",
                   {{QStringLiteral("保存先の「"), 0, 100},
                    {QStringLiteral("一般"), 102, 140},
                    {QStringLiteral("」タブ"), 141, 200}},
                   QStringLiteral("保存先の「一般」タブ")},
        SpacesCase{"ColumnGapIsATab",
                   {{QStringLiteral("全画面を撮影"), 0, 120},
                    {"Ctrl+Shift+1", 200, 300},
                    {QStringLiteral("画面全体"), 380, 460}},
                   QStringLiteral("全画面を撮影\tCtrl+Shift+1\t画面全体")},
        SpacesCase{"EmptyWordsAreSkipped",
                   {{QStringLiteral("文字"), 0, 40}, {" ", 41, 42}, {QStringLiteral("認識"), 43, 80}},
                   QStringLiteral("文字認識")},
        // Overlapping boxes, with the blank inside a small kana measured as a gap.
        SpacesCase{"OverlappingBoxesAreNoGap",
                   {{QStringLiteral("エディ"), 0, 150}, {QStringLiteral("タ"), 80, 100, 15}},
                   QStringLiteral("エディタ")},
        // A box shifted by a character: the image shows no blank between them.
        SpacesCase{"ShiftedBoxWithoutBlankIsNoGap",
                   {{QStringLiteral("設定画面"), 0, 80}, {QStringLiteral("の"), 100, 120, 2}},
                   QStringLiteral("設定画面の")},
        SpacesCase{"BlankSeenByBothIsAGap",
                   {{"Escape", 0, 60}, {QStringLiteral("キー"), 66, 100, 6}},
                   QStringLiteral("Escape キー")},
        SpacesCase{"NoWords", {}, QString()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JapaneseCharacters, AreHanKanaAndFullWidthForms) {
    for (char32_t c : {U'漢', U'ひ', U'カ', U'ー', U'。', U'「', U'Ａ', U'ｶ', U'𠀋'})
        EXPECT_TRUE(lumivane::ocr::isJapaneseCharacter(c)) << uint32_t(c);
    for (char32_t c : {U'A', U'z', U'1', U'.', U' ', U'é', U'€'})
        EXPECT_FALSE(lumivane::ocr::isJapaneseCharacter(c)) << uint32_t(c);
}

} // namespace
