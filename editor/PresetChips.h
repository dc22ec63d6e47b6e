#pragma once
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QPushButton;

namespace lumivane {

// Preset chips in rows of two for a 146-point column.
class PresetFlow : public QWidget {
    Q_OBJECT
public:
    PresetFlow(const std::vector<double>& values, double selectedValue, const std::function<QString(double)>& formatter,
               const std::function<void(double)>& onSelect, QWidget* parent = nullptr);
    const std::vector<QPushButton*>& chips() const { return chips_; }

private:
    std::vector<QPushButton*> chips_;
};

} // namespace lumivane
