#include "settings/SettingsPage.h"

#include <QVBoxLayout>

namespace lumivane {

SettingsPage::SettingsPage(QWidget* parent) : QWidget(parent) {
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(24, 18, 24, 18);
    column_->setSpacing(14);
}

void SettingsPage::refresh() {
    for (auto& r : refreshers_)
        r();
}

void SettingsPage::addRefresher(std::function<void()> refresher) {
    refreshers_.push_back(std::move(refresher));
}

} // namespace lumivane
