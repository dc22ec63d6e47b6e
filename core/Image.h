#pragma once
#include <QImage>
#include <memory>

namespace lumivane {

// A shared, immutable image. Copies share one object; caches compare the
// object's identity (pointer equality), never its pixels.
using ImageRef = std::shared_ptr<const QImage>;

inline ImageRef makeImage(QImage image) {
    if (image.isNull())
        return nullptr;
    return std::make_shared<const QImage>(std::move(image));
}

// Pixel size of an image (0×0 for none).
inline QSize pixelSize(const ImageRef& image) {
    return image ? image->size() : QSize();
}

} // namespace lumivane
