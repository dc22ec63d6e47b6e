#pragma once
#include "editor_model/EditorDocument.h"

#include <QHash>
#include <QImage>
#include <QRect>

namespace lumivane {

// The canvas's blur and pixelate previews, kept per annotation shape and image
// revision so that repaints do not recompute them.
class EffectPreviewCache {
public:
    // The effect image of the annotation over the document's base image and its
    // place in base-image pixels.
    QImage effect(const EditorDocument& document, const Annotation& annotation, QRect* pixelRect);
    void clear() { entries_.clear(); }

private:
    struct Entry {
        QImage image;
        QRect pixelRect;
    };
    QHash<QString, Entry> entries_;
    int imageRevision_ = -1;
};

} // namespace lumivane
