#pragma once
#include <QWidget>
#include <functional>
#include <vector>

class QVBoxLayout;

namespace lumivane {

// One page of the settings window: a column of sections whose controls read the
// settings again on every refresh().
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(QWidget* parent = nullptr);

    virtual void refresh();
    void addRefresher(std::function<void()> refresher);

protected:
    QVBoxLayout* column() const { return column_; }

private:
    QVBoxLayout* column_ = nullptr;
    std::vector<std::function<void()>> refreshers_;
};

} // namespace lumivane
