#include "editor/ColorPalette.h"
#include "editor_model/EditorToolbarRules.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QConicalGradient>
#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace lumivane {

using toolbar::colorsMatch;

namespace {

class SwatchButton : public QAbstractButton {
public:
    SwatchButton(RgbaColor color, bool selected, QWidget* parent)
        : QAbstractButton(parent), color_(color), selected_(selected) {
        setFixedSize(28, 28);
        setCursor(Qt::PointingHandCursor);
        setCheckable(false);
        setProperty("selectedSwatch", selected);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const double w = selected_ ? 2 : 1;
        p.setPen(QPen(QColor::fromRgbF(0, 0, 0, selected_ ? 0.75 : 0.14), w));
        p.setBrush(color_.toQColor());
        p.drawEllipse(QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2));
    }

private:
    RgbaColor color_;
    bool selected_;
};

// A colour well: the current colour in a rounded square with a rainbow ring.
class ColorWell : public QAbstractButton {
public:
    ColorWell(RgbaColor color, QWidget* parent) : QAbstractButton(parent), color_(color) {
        setFixedSize(28, 28);
        setToolTip(QStringLiteral("カスタムカラー"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QConicalGradient g(rect().center(), 0);
        for (int i = 0; i <= 6; ++i)
            g.setColorAt(i / 6.0, QColor::fromHsvF(float(i % 6) / 6.0f, 0.8f, 1.0f));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(rect());
        p.setBrush(color_.toQColor());
        p.setPen(QPen(Qt::white, 1.5));
        p.drawEllipse(QRectF(rect()).adjusted(6, 6, -6, -6));
    }

private:
    RgbaColor color_;
};

} // namespace

AnnotationColorPalette::AnnotationColorPalette(RgbaColor selectedColor, std::vector<RgbaColor> paletteColors,
                                               bool showsCustomPicker, const std::function<void(RgbaColor)>& onSelect,
                                               QWidget* parent)
    : QFrame(parent), selected_(selectedColor), colors_(std::move(paletteColors)) {
    setObjectName(QStringLiteral("palette"));
    setStyleSheet(QStringLiteral("QFrame#palette { background: rgba(255,255,255,0.98); border-radius: 18px; }"));
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.1));
    shadow->setBlurRadius(10);
    shadow->setOffset(0, 4);
    setGraphicsEffect(shadow);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 8, 4, 8);
    v->setSpacing(10);
    for (const RgbaColor& c : colors_) {
        auto* b = new SwatchButton(c, colorsMatch(c, selected_), this);
        connect(b, &QAbstractButton::clicked, this, [onSelect, c] {
            if (onSelect)
                onSelect(c);
        });
        swatches_.push_back(b);
        v->addWidget(b);
    }
    if (showsCustomPicker) {
        custom_ = new ColorWell(selected_, this);
        connect(custom_, &QAbstractButton::clicked, this, [this, onSelect] {
            const QColor chosen =
                QColorDialog::getColor(selected_.toQColor(), this, QString(), QColorDialog::ShowAlphaChannel);
            if (chosen.isValid() && onSelect)
                onSelect(RgbaColor::fromQColor(chosen));
        });
        v->addWidget(custom_);
    }
}

std::vector<int> AnnotationColorPalette::selectedSwatches() const {
    std::vector<int> out;
    for (size_t i = 0; i < colors_.size(); ++i)
        if (colorsMatch(colors_[i], selected_))
            out.push_back(int(i));
    return out;
}

} // namespace lumivane
