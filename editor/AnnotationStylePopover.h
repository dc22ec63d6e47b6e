#pragma once
#include "editor_model/EditorToolbarRules.h"

#include <QFrame>
#include <functional>

namespace lumivane {

// The style editor of one kind: colour plus size/width, colour only, or strength.
class AnnotationStylePopover : public QFrame {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void(RgbaColor)> onAnnotationColorSelect, onHighlightColorSelect;
        std::function<void(double)> onTextSizeSelect, onStrokeWidthSelect, onMarkerWidthSelect, onEffectIntensitySelect;
        std::function<void(double)> onStepSizeSelect;
        std::function<void(std::optional<TextBackground>)> onTextBackgroundSelect;
    };
    AnnotationStylePopover(toolbar::StyleKind kind, const toolbar::StyleValues& values, Callbacks callbacks,
                           QWidget* parent = nullptr);
    toolbar::StyleKind kind() const { return kind_; }
    // Shows new values; the popover stays open.
    void setValues(const toolbar::StyleValues& values);
    // The sections (palette and chips) now shown.
    QWidget* content() const { return content_; }

private:
    toolbar::StyleKind kind_;
    Callbacks callbacks_;
    QWidget* content_ = nullptr;
};

} // namespace lumivane
