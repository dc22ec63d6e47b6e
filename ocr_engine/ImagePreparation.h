#pragma once
#include <QImage>
#include <QRect>

namespace lumivane::ocr {

// How the page around the text looks, judged by its most common colour.
enum class Background {
    light,    // grey-scale, light: used as it is
    dark,     // grey-scale, dark (dark UIs, terminals): inverted
    coloured, // text on colour: mapped by distance from the colour, then binarised
};

// What the image told about its text (in the original image's pixels).
struct TextLayoutEstimate {
    int glyphHeight = 0; // typical height of a full character; 0 when no text was found
    bool vertical = false;
    QRect inkBounds; // everything dark on the page; empty for a blank page
};

// An image made ready for the engine: grey, dark text on light, text large enough.
struct PreparedImage {
    QImage gray; // Format_Grayscale8: the part of the image with ink, scaled
    QRect crop;  // that part, in the original image's pixels
    double scale = 1.0;
    Background background = Background::light;
    bool binarised = false;
    TextLayoutEstimate layout;
};

// Largest image handed to the engine, after scaling (the engine's own limit is 32767
// pixels a side). Text is scaled up less where this would be exceeded.
inline constexpr int kMaxPreparedSide = 32000;
inline constexpr qint64 kMaxPreparedPixels = 48LL * 1000 * 1000;

// Glyph height the engine reads best; smaller text is scaled up to it.
inline constexpr int kTargetGlyphHeight = 21;

// Chooses the preparation for this image: grey mapping by its background, cropping
// to the ink (screens are mostly empty), scaling by the height of its characters,
// binarisation for text on colour. The image must not be null.
PreparedImage prepareForRecognition(const QImage& image);

// The grey mapping alone (dark text on light) and the background it was chosen by.
QImage grayForRecognition(const QImage& image, Background* background = nullptr);

// Typical character height and writing direction, from the connected components of
// the dark parts of a grey image.
TextLayoutEstimate estimateTextLayout(const QImage& gray);

} // namespace lumivane::ocr
