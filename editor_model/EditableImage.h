#pragma once
#include <QImage>
#include <QString>

// An image file or clipboard image opened as a new document: whatever Qt's image
// plugins read (PNG, JPEG, WebP where installed, ...), checked against
// DocumentLimits before any pixels are decoded.
namespace lumivane::EditableImage {

struct Result {
    QImage image;  // null on failure
    QString error; // on failure: a Japanese sentence for the user
    bool ok() const { return !image.isNull(); }
};

// Checks what a file's header promises without decoding it: an empty text when it
// looks like an image the editor can hold, else why not.
QString checkFile(const QString& path);
// Reads a file (its orientation applied).
Result readFile(const QString& path);
// An image from elsewhere (the clipboard); a null image means there was none.
Result fromImage(const QImage& image);

} // namespace lumivane::EditableImage
