#include "ocr_engine/RecognizedLine.h"

#include <algorithm>

namespace lumivane::ocr {

namespace {

char32_t firstCharacter(const QString& text) {
    if (text.isEmpty())
        return 0;
    if (text.size() > 1 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate())
        return QChar::surrogateToUcs4(text.at(0), text.at(1));
    return text.at(0).unicode();
}

char32_t lastCharacter(const QString& text) {
    const qsizetype n = text.size();
    if (n == 0)
        return 0;
    if (n > 1 && text.at(n - 1).isLowSurrogate() && text.at(n - 2).isHighSurrogate())
        return QChar::surrogateToUcs4(text.at(n - 2), text.at(n - 1));
    return text.at(n - 1).unicode();
}

} // namespace

bool isJapaneseCharacter(char32_t c) {
    return (c >= 0x3000 && c <= 0x30FF)       // CJK symbols and punctuation, hiragana, katakana
           || (c >= 0x31F0 && c <= 0x31FF)    // katakana phonetic extensions
           || (c >= 0x3400 && c <= 0x4DBF)    // CJK extension A
           || (c >= 0x4E00 && c <= 0x9FFF)    // CJK unified ideographs
           || (c >= 0xF900 && c <= 0xFAFF)    // CJK compatibility ideographs
           || (c >= 0xFF01 && c <= 0xFF60)    // full-width forms
           || (c >= 0xFF61 && c <= 0xFF9F)    // half-width katakana
           || (c >= 0x20000 && c <= 0x3134F); // CJK extensions B to G
}

bool isJapanesePunctuation(char32_t c) {
    return (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) ||
           (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65) || c == 0x30FB;
}

QString joinLineWords(const std::vector<RecognizedWord>& words, int lineHeight) {
    QString line;
    const double height = lineHeight > 0 ? lineHeight : 1;
    const RecognizedWord* previous = nullptr;
    for (const RecognizedWord& word : words) {
        const QString text = word.text.trimmed();
        if (text.isEmpty())
            continue;
        if (previous) {
            // Boxes that overlap or leave out part of a character make either measure
            // too wide alone; a gap both see is one.
            const int boxGap = word.start - previous->end;
            const double gap = (word.gapBefore >= 0 ? std::min(boxGap, word.gapBefore) : boxGap) / height;
            const char32_t before = lastCharacter(line), after = firstCharacter(text);
            const bool japaneseBefore = isJapaneseCharacter(before);
            const bool japaneseAfter = isJapaneseCharacter(after);
            if (gap >= 2.0)
                line += QLatin1Char('\t');
            else if (isJapanesePunctuation(before) || isJapanesePunctuation(after)) {
                // Full-width punctuation has its blank inside its own cell.
            } else if (japaneseBefore && japaneseAfter) {
                if (gap > 0.5)
                    line += QLatin1Char(' ');
            } else if (japaneseBefore || japaneseAfter) {
                if (gap >= 0.15)
                    line += QLatin1Char(' ');
            } else {
                line += QLatin1Char(' ');
            }
        }
        line += text;
        previous = &word;
    }
    return line;
}

} // namespace lumivane::ocr
