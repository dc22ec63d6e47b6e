#include "editor/PresetChips.h"
#include "editor_model/EditorToolbarRules.h"

#include <QGridLayout>
#include <QPushButton>

namespace lumivane {

using namespace toolbar;

PresetFlow::PresetFlow(const std::vector<double>& values, double selectedValue,
                       const std::function<QString(double)>& formatter, const std::function<void(double)>& onSelect,
                       QWidget* parent)
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

} // namespace lumivane
