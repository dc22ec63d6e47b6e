#include "editor/BackgroundStylePopover.h"
#include "editor/ColorPalette.h"
#include "editor/PopoverFrame.h"
#include "editor/PresetChips.h"
#include "editor_model/EditorToolbarRules.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace lumivane {

using namespace toolbar;

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

} // namespace lumivane
