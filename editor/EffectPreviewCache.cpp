#include "editor/EffectPreviewCache.h"
#include "editor/AnnotationEffects.h"
#include "editor_model/CanvasInteraction.h"

namespace lumivane {

QImage EffectPreviewCache::effect(const EditorDocument& document, const Annotation& a, QRect* pixelRect) {
    if (!document.baseImage)
        return {};
    if (document.imageRevision != imageRevision_) {
        entries_.clear();
        imageRevision_ = document.imageRevision;
    }
    const QString identity = CanvasInteraction::effectPreviewIdentity(a);
    auto it = entries_.find(identity);
    if (it == entries_.end()) {
        // Previews of annotations that no longer exist in this shape are dropped.
        if (entries_.size() > 64)
            entries_.clear();
        Entry entry;
        entry.image = AnnotationEffects::effectImage(*document.baseImage, a, &entry.pixelRect);
        it = entries_.emplace(identity, std::move(entry));
    }
    *pixelRect = it->pixelRect;
    return it->image;
}

} // namespace lumivane
