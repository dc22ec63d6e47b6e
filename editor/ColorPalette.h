#pragma once
#include "core/RgbaColor.h"

#include <QFrame>
#include <functional>
#include <vector>

class QAbstractButton;

namespace lumivane {

// Column of colour swatches with an optional custom-colour button at the end.
class AnnotationColorPalette : public QFrame {
    Q_OBJECT
public:
    AnnotationColorPalette(RgbaColor selectedColor, std::vector<RgbaColor> paletteColors, bool showsCustomPicker,
                           const std::function<void(RgbaColor)>& onSelect, QWidget* parent = nullptr);
    // Indices of the swatches drawn as selected.
    std::vector<int> selectedSwatches() const;
    QAbstractButton* swatch(int index) const { return swatches_.at(size_t(index)); }
    QAbstractButton* customPicker() const { return custom_; }

private:
    RgbaColor selected_;
    std::vector<RgbaColor> colors_;
    std::vector<QAbstractButton*> swatches_;
    QAbstractButton* custom_ = nullptr;
};

} // namespace lumivane
