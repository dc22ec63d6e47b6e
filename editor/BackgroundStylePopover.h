#pragma once
#include "editor_model/EditorDocument.h"

#include <QFrame>
#include <functional>

class QCheckBox;

namespace lumivane {

// The background frame editor: switch, colour, padding, corner radius, shadow.
class BackgroundStylePopover : public QFrame {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void(bool)> onEnabledChange;
        std::function<void(RgbaColor)> onColorSelect;
        std::function<void(double)> onPaddingSelect, onCornerRadiusSelect, onShadowSelect;
    };
    BackgroundStylePopover(const CanvasBackgroundStyle& style, Callbacks callbacks, QWidget* parent = nullptr);
    QCheckBox* enabledSwitch() const { return switch_; }
    // Shows a new style; the popover stays open.
    void setStyle(const CanvasBackgroundStyle& style);
    // The hint, or the palette and chips, now shown.
    QWidget* content() const { return content_; }

private:
    Callbacks callbacks_;
    QCheckBox* switch_ = nullptr;
    QWidget* content_ = nullptr;
};

} // namespace lumivane
