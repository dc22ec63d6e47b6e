#pragma once
#include "editor_model/EditorDocument.h"

#include <QWidget>
#include <functional>
#include <optional>

class QAbstractButton;

namespace lumivane {

// The text style's box behind the text: off ("なし") or a colour, and for a box its
// opacity, padding and corner radius. Every choice reports the whole new box.
class TextBackgroundSection : public QWidget {
    Q_OBJECT
public:
    using OnSelect = std::function<void(std::optional<TextBackground>)>;
    TextBackgroundSection(const std::optional<TextBackground>& current, OnSelect onSelect, QWidget* parent = nullptr);
    // The "なし" chip, then one per colour of toolbar::textBackgroundColors().
    QAbstractButton* colorChip(int index) const { return colorChips_.at(size_t(index)); }
    // Chips of the opacity (0), padding (1) and corner radius (2) rows, when a box is on.
    QAbstractButton* valueChip(int row, int index) const;

private:
    std::vector<QAbstractButton*> colorChips_;
    std::vector<std::vector<QAbstractButton*>> valueChips_;
};

} // namespace lumivane
