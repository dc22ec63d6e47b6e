#include "settings/SettingsHost.h"
#include "settings/SettingsPages.h"

#include <QVBoxLayout>

namespace lumivane {

AdvancedSettingsPage::AdvancedSettingsPage(SettingsHost& host) {
    setupChecklistContainer_ = new QWidget;
    setupChecklistContainer_->setObjectName(QStringLiteral("setupChecklistContainer"));
    auto* l = new QVBoxLayout(setupChecklistContainer_);
    l->setContentsMargins(0, 0, 0, 0);
    if (QWidget* checklist = host.makeSetupChecklistView())
        l->addWidget(checklist);
    column()->addWidget(setupChecklistContainer_);
    column()->addStretch();
}

} // namespace lumivane
