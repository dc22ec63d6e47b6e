#include "editor/EditorStylePopovers.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

namespace lumivane {

using namespace toolbar;

// --- symbols ----------------------------------------------------------------

namespace {

QPainterPath roundedRect(QRectF r, double radius) {
    QPainterPath p;
    p.addRoundedRect(r, radius, radius);
    return p;
}

void drawSymbol(QPainter& p, const QString& n, double s, const QColor& c) {
    QPen pen(c, std::max(1.5, s * 0.1), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const double m = s * 0.14;
    const QRectF box(m, m, s - 2 * m, s - 2 * m);
    auto fill = [&] {
        p.setBrush(c);
        p.setPen(Qt::NoPen);
    };
    auto arrowHead = [&](QPointF tip, QPointF from) {
        const double a = std::atan2(tip.y() - from.y(), tip.x() - from.x());
        const double l = s * 0.28;
        p.drawLine(tip, tip - QPointF(l * std::cos(a - 0.6), l * std::sin(a - 0.6)));
        p.drawLine(tip, tip - QPointF(l * std::cos(a + 0.6), l * std::sin(a + 0.6)));
    };
    if (n == "square") {
        p.drawRoundedRect(box, s * 0.08, s * 0.08);
    } else if (n == "circle") {
        p.drawEllipse(box);
    } else if (n == "arrow") {
        p.drawLine(box.bottomLeft(), box.topRight());
        arrowHead(box.topRight(), box.bottomLeft());
    } else if (n == "text") {
        p.drawRoundedRect(box, s * 0.12, s * 0.12);
        QFont f;
        f.setPixelSize(int(s * 0.55));
        f.setBold(true);
        p.setFont(f);
        p.drawText(box, Qt::AlignCenter, QStringLiteral("A"));
    } else if (n == "pointer") {
        // A hand pointing up and to the left: the index finger on a diagonal out of
        // the palm, the thumb below it, the folded fingers along the palm's top.
        const auto capsule = [&](QPointF a, QPointF b, double width) {
            p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(a, b);
        };
        capsule(QPointF(s * 0.5, s * 0.5), QPointF(s * 0.16, s * 0.16), s * 0.17);
        capsule(QPointF(s * 0.5, s * 0.66), QPointF(s * 0.28, s * 0.56), s * 0.15);
        capsule(QPointF(s * 0.62, s * 0.4), QPointF(s * 0.74, s * 0.46), s * 0.14);
        capsule(QPointF(s * 0.74, s * 0.5), QPointF(s * 0.84, s * 0.56), s * 0.13);
        fill();
        p.drawRoundedRect(QRectF(s * 0.42, s * 0.44, s * 0.46, s * 0.46), s * 0.16, s * 0.16);
    } else if (n == "marker") {
        fill();
        QPainterPath b;
        b.moveTo(s * 0.85, s * 0.12);
        b.lineTo(s * 0.45, s * 0.62);
        b.lineTo(s * 0.36, s * 0.54);
        b.closeSubpath();
        p.drawPath(b);
        p.drawEllipse(QRectF(s * 0.12, s * 0.56, s * 0.3, s * 0.3));
    } else if (n == "drop") {
        QPainterPath d;
        d.moveTo(s * 0.5, s * 0.1);
        d.cubicTo(s * 0.5, s * 0.1, s * 0.18, s * 0.5, s * 0.2, s * 0.62);
        d.arcTo(QRectF(s * 0.2, s * 0.32, s * 0.6, s * 0.58), 180, 180);
        d.cubicTo(s * 0.82, s * 0.5, s * 0.5, s * 0.1, s * 0.5, s * 0.1);
        p.drawPath(d);
    } else if (n == "pixelate") {
        fill();
        const double cell = box.width() / 3;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                p.drawRect(QRectF(box.x() + i * cell + 0.7, box.y() + j * cell + 0.7, cell - 1.4, cell - 1.4));
    } else if (n == "crop") {
        p.drawLine(QPointF(s * 0.3, s * 0.08), QPointF(s * 0.3, s * 0.7));
        p.drawLine(QPointF(s * 0.3, s * 0.7), QPointF(s * 0.92, s * 0.7));
        p.drawLine(QPointF(s * 0.08, s * 0.3), QPointF(s * 0.7, s * 0.3));
        p.drawLine(QPointF(s * 0.7, s * 0.3), QPointF(s * 0.7, s * 0.92));
    } else if (n == "spotlight-tool" || n == "highlight-tool") {
        // Rounded frame; the highlight glyph has a rounded hole.
        QPainterPath path = roundedRect(QRectF(0.1 * s, 0.22 * s, 0.8 * s, 0.56 * s), 0.22 * s);
        if (n == "highlight-tool")
            path.addPath(roundedRect(QRectF(0.26 * s, 0.34 * s, 0.48 * s, 0.32 * s), 0.14 * s));
        path.setFillRule(Qt::OddEvenFill);
        fill();
        p.drawPath(path);
    } else if (n == "copy") {
        p.drawRoundedRect(QRectF(s * 0.3, s * 0.12, s * 0.58, s * 0.48), 2, 2);
        p.drawRoundedRect(QRectF(s * 0.12, s * 0.4, s * 0.58, s * 0.48), 2, 2);
    } else if (n == "photo") {
        p.drawRoundedRect(box, s * 0.1, s * 0.1);
        QPainterPath hill;
        hill.moveTo(box.left() + 1, box.bottom() - 1);
        hill.lineTo(s * 0.42, s * 0.5);
        hill.lineTo(s * 0.58, s * 0.66);
        hill.lineTo(s * 0.7, s * 0.56);
        hill.lineTo(box.right() - 1, box.bottom() - 1);
        p.drawPath(hill);
        p.drawEllipse(QPointF(s * 0.66, s * 0.34), s * 0.06, s * 0.06);
    } else if (n == "rectangle" || n == "background" || n == "highlight") {
        const QRectF r(s * 0.08, s * 0.2, s * 0.84, s * 0.6);
        p.drawRoundedRect(r, s * 0.1, s * 0.1);
        if (n != "rectangle") {
            fill();
            p.drawRoundedRect(r.adjusted(s * 0.14, s * 0.14, -s * 0.14, -s * 0.14), s * 0.05, s * 0.05);
        }
    } else if (n == "undo" || n == "redo") {
        const bool back = n == "undo";
        QPainterPath u;
        const double x0 = back ? s * 0.2 : s * 0.8, x1 = back ? s * 0.62 : s * 0.38;
        u.moveTo(x0, s * 0.34);
        u.lineTo(x1, s * 0.34);
        u.arcTo(QRectF(x1 - s * 0.22, s * 0.34, s * 0.44, s * 0.44), 90, back ? -180 : 180);
        u.lineTo(back ? s * 0.4 : s * 0.6, s * 0.78);
        p.drawPath(u);
        arrowHead(QPointF(x0, s * 0.34), QPointF(x0 + (back ? 1 : -1), s * 0.34));
    } else if (n == "rotate") {
        p.drawArc(box, 30 * 16, 300 * 16);
        arrowHead(QPointF(box.right() - s * 0.03, box.center().y() - s * 0.22),
                  QPointF(box.right() - s * 0.2, box.top()));
    } else if (n == "project") {
        QPainterPath f;
        f.moveTo(s * 0.08, s * 0.8);
        f.lineTo(s * 0.08, s * 0.22);
        f.lineTo(s * 0.38, s * 0.22);
        f.lineTo(s * 0.46, s * 0.32);
        f.lineTo(s * 0.92, s * 0.32);
        f.lineTo(s * 0.92, s * 0.8);
        f.closeSubpath();
        p.drawPath(f);
    } else if (n == "chevron-down") {
        p.drawLine(QPointF(s * 0.22, s * 0.38), QPointF(s * 0.5, s * 0.66));
        p.drawLine(QPointF(s * 0.5, s * 0.66), QPointF(s * 0.78, s * 0.38));
    } else if (n == "minus" || n == "plus") {
        p.drawLine(QPointF(s * 0.2, s * 0.5), QPointF(s * 0.8, s * 0.5));
        if (n == "plus")
            p.drawLine(QPointF(s * 0.5, s * 0.2), QPointF(s * 0.5, s * 0.8));
    } else if (n == "palette") {
        fill();
        QPainterPath pal;
        pal.addEllipse(box);
        pal.addEllipse(QRectF(s * 0.58, s * 0.52, s * 0.16, s * 0.16));
        pal.setFillRule(Qt::OddEvenFill);
        p.drawPath(pal);
    } else if (n == "scope") {
        p.drawEllipse(box);
        p.drawEllipse(QPointF(s * 0.5, s * 0.5), s * 0.12, s * 0.12);
    } else if (n == "camera") {
        p.drawEllipse(QRectF(s * 0.3, s * 0.1, s * 0.4, s * 0.4));
        p.drawLine(QPointF(s * 0.5, s * 0.5), QPointF(s * 0.5, s * 0.92));
        QPainterPath leaf;
        leaf.moveTo(s * 0.5, s * 0.8);
        leaf.quadTo(s * 0.2, s * 0.8, s * 0.14, s * 0.56);
        leaf.moveTo(s * 0.5, s * 0.8);
        leaf.quadTo(s * 0.8, s * 0.8, s * 0.86, s * 0.56);
        p.drawPath(leaf);
    } else {
        p.drawEllipse(box);
    }
}

} // namespace

QIcon editorSymbol(const QString& name, const QColor& color, int size) {
    const qreal dpr = 2.0;
    QPixmap pm(int(size * dpr), int(size * dpr));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawSymbol(p, name, size, color);
    p.end();
    return QIcon(pm);
}

// --- palette ----------------------------------------------------------------

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

QLabel* sectionTitle(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setPixelSize(11);
    f.setWeight(QFont::DemiBold);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("color: rgba(0,0,0,0.58); background: transparent;"));
    return l;
}

QWidget* section(const QString& title, QWidget* content, QWidget* parent, int width = -1) {
    auto* w = new QWidget(parent);
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);
    v->addWidget(sectionTitle(title, w), 0, Qt::AlignLeft);
    content->setParent(w);
    v->addWidget(content, 0, Qt::AlignLeft);
    v->addStretch();
    if (width > 0) {
        w->setFixedWidth(width);
        content->setFixedWidth(width);
    }
    return w;
}

void stylePopoverFrame(QFrame* f) {
    f->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    f->setAttribute(Qt::WA_DeleteOnClose);
    f->setObjectName(QStringLiteral("popover"));
    f->setStyleSheet(QStringLiteral(
        "QFrame#popover { background: #f4f4f6; border: 1px solid rgba(0,0,0,0.18); border-radius: 10px; }"));
}

} // namespace

AnnotationColorPalette::AnnotationColorPalette(RgbaColor selectedColor, std::vector<RgbaColor> paletteColors,
                                               bool showsCustomPicker, std::function<void(RgbaColor)> onSelect,
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

// --- chips ------------------------------------------------------------------

PresetFlow::PresetFlow(const std::vector<double>& values, double selectedValue,
                       std::function<QString(double)> formatter, std::function<void(double)> onSelect, QWidget* parent)
    : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    for (size_t i = 0; i < values.size(); ++i) {
        const double value = values[i];
        const bool selected = presetIsSelected(value, selectedValue);
        auto* chip = new QPushButton(formatter(value), this);
        chip->setFlat(true);
        chip->setFixedHeight(28);
        chip->setMinimumWidth(64);
        chip->setCursor(Qt::PointingHandCursor);
        chip->setProperty("selectedChip", selected);
        chip->setStyleSheet(
            selected ? QStringLiteral("QPushButton { color: white; background: #0a7aff; border-radius: 14px;"
                                      " padding: 0 10px; font-size: 11px; font-weight: 600; }")
                     : QStringLiteral("QPushButton { color: rgba(0,0,0,0.68); background: rgba(0,0,0,0.06);"
                                      " border-radius: 14px; padding: 0 10px; font-size: 11px; font-weight: 600; }"));
        connect(chip, &QPushButton::clicked, this, [onSelect, value] {
            if (onSelect)
                onSelect(value);
        });
        grid->addWidget(chip, int(i / 2), int(i % 2));
        chips_.push_back(chip);
    }
}

// --- annotation style popover -----------------------------------------------

AnnotationStylePopover::AnnotationStylePopover(StyleKind kind, const StyleValues& values, Callbacks cb, QWidget* parent)
    : QFrame(parent), kind_(kind), callbacks_(std::move(cb)) {
    stylePopoverFrame(this);
    auto* v = new QVBoxLayout(this);
    const int pad = kind == StyleKind::highlight ? 6 : 10;
    v->setContentsMargins(pad, pad, pad, pad);
    v->setSpacing(14);
    v->setSizeConstraint(QLayout::SetFixedSize);
    auto* heading = new QLabel(title(kind), this);
    heading->setObjectName(QStringLiteral("popoverTitle"));
    heading->setStyleSheet(QStringLiteral("color: rgba(0,0,0,0.75); font-size: 12px; font-weight: bold;"));
    v->addWidget(heading, 0, Qt::AlignLeft);
    setValues(values);
}

void AnnotationStylePopover::setValues(const StyleValues& values) {
    // The popover stays open across choices: its content is rebuilt to show the new
    // values. The old content may hold the chip being pressed, so it goes later.
    if (content_) {
        content_->hide();
        content_->deleteLater();
    }
    const StyleKind kind = kind_;
    const Callbacks& cb = callbacks_;
    auto* content = new QWidget(this);
    content_ = content;
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    if (kind == StyleKind::text || kind == StyleKind::stroke || kind == StyleKind::marker) {
        auto* palette = new AnnotationColorPalette(values.annotationColor, defaultPaletteColors(), true,
                                                   cb.onAnnotationColorSelect);
        row->addWidget(section(QStringLiteral("色"), palette, content), 0, Qt::AlignTop);
        PresetFlow* flow = nullptr;
        QString sizeTitle;
        if (kind == StyleKind::text) {
            sizeTitle = QStringLiteral("文字サイズ");
            flow = new PresetFlow(textSizePresets, values.textFontSize, pixelLabel, cb.onTextSizeSelect);
        } else if (kind == StyleKind::stroke) {
            sizeTitle = QStringLiteral("太さ");
            flow = new PresetFlow(strokeWidthPresets, values.strokeWidth, pixelLabel, cb.onStrokeWidthSelect);
        } else {
            sizeTitle = QStringLiteral("線幅");
            flow = new PresetFlow(markerLineWidthPresets, values.markerLineWidth, pixelLabel, cb.onMarkerWidthSelect);
        }
        row->addWidget(section(sizeTitle, flow, content, 146), 0, Qt::AlignTop);
        content->setFixedWidth(244);
    } else if (kind == StyleKind::highlight) {
        auto* palette = new AnnotationColorPalette(values.highlightColor, highlightPaletteColors(), false,
                                                   cb.onHighlightColorSelect);
        row->addWidget(section(QStringLiteral("色"), palette, content), 0, Qt::AlignTop);
    } else {
        auto* flow = new PresetFlow(
            effectPresets(kind), values.effectIntensity, [kind](double x) { return effectLabel(kind, x); },
            cb.onEffectIntensitySelect);
        row->addWidget(section(QStringLiteral("強さ"), flow, content, 146), 0, Qt::AlignTop);
        row->addStretch();
        content->setFixedWidth(196);
    }
    static_cast<QVBoxLayout*>(layout())->addWidget(content);
}

// --- background popover -----------------------------------------------------

BackgroundStylePopover::BackgroundStylePopover(const CanvasBackgroundStyle& style, Callbacks cb, QWidget* parent)
    : QFrame(parent), callbacks_(std::move(cb)) {
    stylePopoverFrame(this);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(12, 12, 12, 12);
    v->setSpacing(12);
    v->setSizeConstraint(QLayout::SetFixedSize);
    auto* header = new QHBoxLayout;
    auto* heading = new QLabel(QStringLiteral("背景"), this);
    heading->setStyleSheet(QStringLiteral("color: rgba(0,0,0,0.75); font-size: 12px; font-weight: bold;"));
    header->addWidget(heading);
    header->addStretch();
    switch_ = new QCheckBox(this);
    switch_->setAccessibleName(QStringLiteral("有効"));
    switch_->setToolTip(QStringLiteral("有効"));
    switch_->setChecked(style.isEnabled);
    connect(switch_, &QCheckBox::toggled, this, [this](bool on) {
        if (callbacks_.onEnabledChange)
            callbacks_.onEnabledChange(on);
    });
    header->addWidget(switch_);
    v->addLayout(header);
    setStyle(style);
}

void BackgroundStylePopover::setStyle(const CanvasBackgroundStyle& style) {
    {
        const QSignalBlocker quiet(switch_);
        switch_->setChecked(style.isEnabled);
    }
    // Rebuilt after every choice, so the popover stays open showing the new values.
    if (content_) {
        content_->hide();
        content_->deleteLater();
    }
    const Callbacks& cb = callbacks_;
    auto* content = new QWidget(this);
    content_ = content;
    static_cast<QVBoxLayout*>(layout())->addWidget(content);
    if (!style.isEnabled) {
        auto* column = new QVBoxLayout(content);
        column->setContentsMargins(0, 0, 0, 0);
        auto* hint =
            new QLabel(QStringLiteral("背景を有効にすると、余白・色・角丸・影をまとめて整えられます。"), content);
        hint->setWordWrap(true);
        hint->setFixedWidth(240);
        hint->setStyleSheet(QStringLiteral("color: rgba(0,0,0,0.52); font-size: 11px; font-weight: 500;"));
        column->addWidget(hint);
        return;
    }
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(14);
    auto* palette = new AnnotationColorPalette(style.color, defaultPaletteColors(), true, cb.onColorSelect);
    columns->addWidget(section(QStringLiteral("色"), palette, content), 0, Qt::AlignTop);
    auto* right = new QWidget(content);
    auto* rv = new QVBoxLayout(right);
    rv->setContentsMargins(0, 0, 0, 0);
    rv->setSpacing(12);
    rv->addWidget(section(QStringLiteral("余白"),
                          new PresetFlow(backgroundPaddingPresets, style.padding, noneOrPixelLabel, cb.onPaddingSelect),
                          right, 146));
    rv->addWidget(
        section(QStringLiteral("角丸"),
                new PresetFlow(backgroundRadiusPresets, style.cornerRadius, noneOrPixelLabel, cb.onCornerRadiusSelect),
                right, 146));
    rv->addWidget(
        section(QStringLiteral("影"),
                new PresetFlow(backgroundShadowPresets, style.shadowOpacity, noneOrPercentLabel, cb.onShadowSelect),
                right, 146));
    rv->addStretch();
    columns->addWidget(right, 0, Qt::AlignTop);
}

void presentPopover(QFrame* popover, QWidget* anchor) {
    popover->adjustSize();
    QPoint pos = anchor->mapToGlobal(QPoint(0, anchor->height() + 6));
    if (QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        pos.setX(std::clamp(pos.x(), area.left(), std::max(area.left(), area.right() - popover->width())));
    }
    popover->move(pos);
    popover->show();
}

} // namespace lumivane
