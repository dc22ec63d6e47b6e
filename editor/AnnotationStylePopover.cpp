#include "editor/AnnotationStylePopover.h"
#include "editor/ColorPalette.h"
#include "editor/PopoverFrame.h"
#include "editor/PresetChips.h"
#include "editor/TextBackgroundSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace lumivane {

using namespace toolbar;

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
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    column->addLayout(row);
    if (kind == StyleKind::text || kind == StyleKind::stroke || kind == StyleKind::marker || kind == StyleKind::step) {
        auto* palette = new AnnotationColorPalette(values.annotationColor, defaultPaletteColors(), true,
                                                   cb.onAnnotationColorSelect);
        row->addWidget(section(QStringLiteral("色"), palette, content), 0, Qt::AlignTop);
        PresetFlow* flow = nullptr;
        QString sizeTitle;
        if (kind == StyleKind::text) {
            sizeTitle = QStringLiteral("文字サイズ");
            flow = new PresetFlow(textSizePresets, values.textFontSize, pixelLabel, cb.onTextSizeSelect);
        } else if (kind == StyleKind::step) {
            sizeTitle = QStringLiteral("大きさ");
            flow = new PresetFlow(stepSizePresets, values.stepDiameter, pixelLabel, cb.onStepSizeSelect);
        } else if (kind == StyleKind::stroke) {
            sizeTitle = QStringLiteral("太さ");
            flow = new PresetFlow(strokeWidthPresets, values.strokeWidth, pixelLabel, cb.onStrokeWidthSelect);
        } else {
            sizeTitle = QStringLiteral("線幅");
            flow = new PresetFlow(markerLineWidthPresets, values.markerLineWidth, pixelLabel, cb.onMarkerWidthSelect);
        }
        row->addWidget(section(sizeTitle, flow, content, 146), 0, Qt::AlignTop);
        content->setFixedWidth(244);
        if (kind == StyleKind::text) // the box behind the text, below colour and size
            column->addWidget(new TextBackgroundSection(values.textBackground, cb.onTextBackgroundSelect, content));
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

} // namespace lumivane
