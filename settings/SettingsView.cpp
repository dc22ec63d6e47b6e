#include "settings/SettingsView.h"
#include "settings/AppSettings.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsRows.h"
#include "settings/ShortcutRow.h"

#include "platform/FileDialogs.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumivane {

namespace {

QWidget* scrollingPage(QWidget* content) {
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    return scroll;
}

QString tabGlyph(SettingsTab tab) {
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("⚙");
    case SettingsTab::shortcuts:
        return QStringLiteral("⌨");
    case SettingsTab::screenshots:
        return QStringLiteral("◉");
    case SettingsTab::annotate:
        return QStringLiteral("✎");
    case SettingsTab::advanced:
        return QStringLiteral("⚒");
    case SettingsTab::about:
        return QStringLiteral("ⓘ");
    }
    return {};
}

} // namespace

SettingsView::SettingsView(SettingsHost& host, QWidget* parent)
    : QWidget(parent), host_(host), settings_(host.settings()) {
    setObjectName(QStringLiteral("settingsView"));
    chooseFolder = [this]() -> std::optional<QString> { return lumivane::chooseFolder(this, QStringLiteral("選択")); };
    chooseColor = [this](const QColor& current) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(current, this, {}, QColorDialog::ShowAlphaChannel);
        if (!c.isValid())
            return std::nullopt;
        return c;
    };
    openURL = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* header = new QWidget;
    auto* h = new QHBoxLayout(header);
    h->setContentsMargins(16, 10, 16, 10);
    h->setSpacing(4);
    tabButtons_ = new QButtonGroup(this);
    tabButtons_->setExclusive(true);
    pages_ = new QStackedWidget;
    for (SettingsTab tab : allSettingsTabs) {
        auto* b = new QToolButton;
        b->setObjectName(QStringLiteral("tab_") + rawValue(tab));
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setText(tabGlyph(tab) + QStringLiteral("\n") + title(tab));
        b->setAccessibleName(title(tab));
        b->setMinimumSize(76, 52);
        // Never narrower than its title ("ショートカット" is the longest).
        b->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        b->setStyleSheet(
            QStringLiteral("QToolButton { font-size: 12px; font-weight: 500; border-radius: 8px; padding: 4px; }"
                           " QToolButton:checked { background: rgba(0,122,255,40); color: #007aff; }"));
        tabButtons_->addButton(b, static_cast<int>(tab));
        h->addWidget(b);
    }
    h->addStretch();
    auto* restore = new QPushButton(QStringLiteral("初期設定に戻す"));
    restore->setObjectName(QStringLiteral("restoreDefaults"));
    h->addWidget(restore);
    root->addWidget(header);
    root->addWidget(settingsDivider());
    root->addWidget(pages_, 1);

    // In the order of the tabs.
    pageList_.push_back(new GeneralSettingsPage(host_));
    pageList_.push_back(new ShortcutsSettingsPage(host_));
    pageList_.push_back(screenshotsPage_ = new ScreenshotsSettingsPage(settings_, chooseFolder));
    pageList_.push_back(new AnnotateSettingsPage(settings_, chooseColor));
    pageList_.push_back(advancedPage_ = new AdvancedSettingsPage(host_));
    auto* about = new AboutSettingsPage(host_, openURL);
    pageList_.push_back(about);
    for (SettingsPage* page : pageList_)
        pages_->addWidget(scrollingPage(page));

    connect(tabButtons_, &QButtonGroup::idClicked, this,
            [this](int id) { host_.setSelectedSettingsTab(static_cast<SettingsTab>(id)); });
    connect(restore, &QPushButton::clicked, this, &SettingsView::restoreDefaults);
    connect(&settings_, &AppSettings::changed, this, &SettingsView::refresh);
    connect(&host_, &SettingsHost::selectedSettingsTabChanged, this, &SettingsView::refresh);
    connect(&host_, &SettingsHost::shortcutRegistrationFailuresChanged, this, &SettingsView::refresh);
    connect(&host_, &SettingsHost::updateStatusChanged, about, &AboutSettingsPage::refreshUpdates);
    refresh();
}

SettingsTab SettingsView::shownTab() const {
    return static_cast<SettingsTab>(pages_->currentIndex());
}
QAbstractButton* SettingsView::tabButton(SettingsTab tab) const {
    return tabButtons_->button(static_cast<int>(tab));
}
ShortcutRow* SettingsView::shortcutRow(ShortcutAction action) const {
    return findChild<ShortcutRow*>(QStringLiteral("shortcutRow_") + rawValue(action));
}

void SettingsView::refresh() {
    const SettingsTab tab = host_.selectedSettingsTab();
    pages_->setCurrentIndex(static_cast<int>(tab));
    if (QAbstractButton* b = tabButton(tab))
        b->setChecked(true);
    for (SettingsPage* page : pageList_)
        page->refresh();
}

void SettingsView::restoreDefaults() {
    settings_.restoreDefaults();
    host_.applySettings();
}

QWidget* SettingsView::setupChecklistContainer() const {
    return advancedPage_->setupChecklistContainer();
}

QLabel* SettingsView::folderPathLabel() const {
    return screenshotsPage_->folderPathLabel();
}

void SettingsView::chooseSaveFolder() {
    screenshotsPage_->chooseSaveFolder();
}

void SettingsView::clearSaveFolder() {
    screenshotsPage_->clearSaveFolder();
}

} // namespace lumivane
