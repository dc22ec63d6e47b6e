#pragma once
#include "editor_model/EditorToolbarRules.h"

#include <QFrame>
#include <QWidget>
#include <functional>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QPushButton;

namespace lumivane {

// Symbol images drawn for the bars (names as used by the tool table), tinted.
QIcon editorSymbol(const QString& name, const QColor& color, int size = 18);

// Column of colour swatches with an optional custom-colour button at the end.
class AnnotationColorPalette : public QFrame {
    Q_OBJECT
public:
    AnnotationColorPalette(RgbaColor selectedColor, std::vector<RgbaColor> paletteColors, bool showsCustomPicker,
                           std::function<void(RgbaColor)> onSelect, QWidget* parent = nullptr);
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

// Preset chips in rows of two for a 146-point column.
class PresetFlow : public QWidget {
    Q_OBJECT
public:
    PresetFlow(const std::vector<double>& values, double selectedValue, std::function<QString(double)> formatter,
               std::function<void(double)> onSelect, QWidget* parent = nullptr);
    const std::vector<QPushButton*>& chips() const { return chips_; }

private:
    std::vector<QPushButton*> chips_;
};

// The style editor of one kind: colour plus size/width, colour only, or strength.
class AnnotationStylePopover : public QFrame {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void(RgbaColor)> onAnnotationColorSelect, onHighlightColorSelect;
        std::function<void(double)> onTextSizeSelect, onStrokeWidthSelect, onMarkerWidthSelect, onEffectIntensitySelect;
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

// Shows a popover frame under an anchor widget; the frame closes on an outside click.
void presentPopover(QFrame* popover, QWidget* anchor);

} // namespace lumivane
