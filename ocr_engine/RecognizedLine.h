#pragma once
#include <QString>
#include <vector>

namespace lumivane::ocr {

// One word as the engine found it on a line. start and end are pixel positions
// along the line (x for horizontal lines, y for vertical ones).
struct RecognizedWord {
    QString text;
    int start = 0;
    int end = 0;
    // The blank space measured in the image before this word, in pixels, or -1. The
    // engine's boxes of Japanese words overlap and shift; the gap is the smaller of the
    // two measures.
    int gapBefore = -1;
};

// Han, kana, CJK punctuation and full-width forms: characters written without spaces.
bool isJapaneseCharacter(char32_t c);
// Japanese punctuation, brackets and full-width ASCII punctuation.
bool isJapanesePunctuation(char32_t c);

// Joins the words of one line. The engine separates every word with a space, also
// inside Japanese text where there is none. The gap in the image decides instead:
// - between two Japanese characters, a space only where the gap is wider than half
//   the line's height (a real gap: a full-width space, a layout gap);
// - between Japanese and Latin text, a space only where the gap is as wide as a
//   typed space (a fifth of the line's height);
// - next to Japanese punctuation and brackets, no space (they carry their own);
// - between Latin words, a space (the engine knows these);
// - any gap of two line heights or more separates columns (table cells): a tab.
// lineHeight is the line's thickness across its direction, in the same pixels.
QString joinLineWords(const std::vector<RecognizedWord>& words, int lineHeight);

} // namespace lumivane::ocr
