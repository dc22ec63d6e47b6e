#include "editor/TextBackgroundSection.h"
#include "editor/AnnotationPainter.h"
#include "editor/PopoverFrame.h"
#include "editor_model/EditorToolbarRules.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace lumivane {

using namespace toolbar;

namespace {

QString chipStyle(bool selected) {
    return selected ? QStringLiteral("QPushButton { color: white; background: #0a7aff; border-radius: 11px;"
                                     " padding: 0 8px; font-size: 11px; font-weight: 600; }")
                    : QStringLiteral("QPushButton { color: rgba(0,0,0,0.68); background: rgba(0,0,0,0.06);"
                                     " border-radius: 11px; padding: 0 8px; font-size: 11px; font-weight: 600; }");
}

QPushButton* chip(const QString& text, bool selected, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setFlat(true);
    b->setFixedHeight(22);
    b->setCursor(Qt::PointingHandCursor);
    b->setProperty("selectedBackgroundChip", selected);
    b->setStyleSheet(chipStyle(selected));
    return b;
}

QPushButton* swatch(const RgbaColor& color, bool selected, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setFlat(true);
    b->setFixedSize(22, 22);
    b->setCursor(Qt::PointingHandCursor);
    b->setProperty("selectedBackgroundChip", selected);
    const QColor c = AnnotationPainter::colorOf(color);
    b->setStyleSheet(QStringLiteral("QPushButton { background: %1; border-radius: 11px; border: %2; }")
                         .arg(c.name(), selected ? QStringLiteral("3px solid #0a7aff")
                                                 : QStringLiteral("1px solid rgba(0,0,0,0.25)")));
    return b;
}

} // namespace

TextBackgroundSection::TextBackgroundSection(const std::optional<TextBackground>& current, OnSelect onSelect,
                                             QWidget* parent)
    : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);
    v->addWidget(sectionTitle(QStringLiteral("背景"), this), 0, Qt::AlignLeft);
    auto* colors = new QHBoxLayout;
    colors->setSpacing(8);
    auto* none = chip(QStringLiteral("なし"), !current, this);
    connect(none, &QPushButton::clicked, this, [onSelect] {
        if (onSelect)
            onSelect(std::nullopt);
    });
    colors->addWidget(none);
    colorChips_.push_back(none);
    const TextBackground base = current.value_or(TextBackground{});
    for (const RgbaColor& color : textBackgroundColors()) {
        const bool selected = current && colorsMatch(color, current->color);
        auto* b = swatch(color, selected, this);
        connect(b, &QPushButton::clicked, this, [onSelect, base, color] {
            TextBackground next = base;
            const double opacity = next.color.alpha;
            next.color = color;
            next.color.alpha = opacity;
            if (onSelect)
                onSelect(next);
        });
        colors->addWidget(b);
        colorChips_.push_back(b);
    }
    colors->addStretch();
    v->addLayout(colors);
    if (!current)
        return;

    // Opacity, padding and corner radius of the box shown.
    struct Row {
        const char* title;
        const std::vector<double>* presets;
        double current;
        QString (*label)(double);
        void (*set)(TextBackground&, double);
    };
    const Row rows[] = {
        {"不透明度", &textBackgroundOpacityPresets, current->color.alpha, percentLabel,
         [](TextBackground& b, double x) { b.color.alpha = x; }},
        {"余白", &textBackgroundPaddingPresets, current->padding, integerLabel,
         [](TextBackground& b, double x) { b.padding = x; }},
        {"角の丸み", &textBackgroundRadiusPresets, current->cornerRadius, integerLabel,
         [](TextBackground& b, double x) { b.cornerRadius = x; }},
    };
    for (const Row& row : rows) {
        auto* h = new QHBoxLayout;
        h->setSpacing(6);
        auto* title = sectionTitle(QString::fromUtf8(row.title), this);
        title->setFixedWidth(54);
        h->addWidget(title);
        std::vector<QAbstractButton*> chips;
        for (double value : *row.presets) {
            const bool selected =
                std::abs(value - row.current) < (row.presets == &textBackgroundOpacityPresets ? 0.01 : 0.1);
            auto* b = chip(row.label(value), selected, this);
            auto set = row.set;
            connect(b, &QPushButton::clicked, this, [onSelect, base, set, value] {
                TextBackground next = base;
                set(next, value);
                if (onSelect)
                    onSelect(next);
            });
            h->addWidget(b);
            chips.push_back(b);
        }
        h->addStretch();
        v->addLayout(h);
        valueChips_.push_back(std::move(chips));
    }
}

QAbstractButton* TextBackgroundSection::valueChip(int row, int index) const {
    return valueChips_.at(size_t(row)).at(size_t(index));
}

} // namespace lumivane
