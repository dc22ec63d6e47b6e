#include "settings/DesktopShortcutsBox.h"
#include "settings/TextLabel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivane {

DesktopShortcutsBox::DesktopShortcutsBox(DesktopShortcuts& shortcuts, QWidget* parent)
    : QFrame(parent), shortcuts_(shortcuts) {
    setObjectName(QStringLiteral("desktopShortcutsBox"));
    setStyleSheet(QStringLiteral("#desktopShortcutsBox { background: rgba(0,0,0,10); border: 1px solid rgba(0,0,0,28);"
                                 " border-radius: 10px; }"));
    const QString desktop = shortcuts.desktopName();
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(14, 12, 14, 12);
    v->setSpacing(6);
    v->addWidget(
        makeTextLabel(QStringLiteral("ショートカットは %1 の設定に登録します").arg(desktop), 13, QFont::DemiBold));
    v->addWidget(makeTextLabel(
        QStringLiteral(
            "このデスクトップには、アプリがショートカットを登録するためのポータル (GlobalShortcuts) がありません。"
            "「%1 に登録」を押すと、撮影コマンドを %1 のキーボード設定のカスタムショートカットに、"
            "ここで設定したキーで登録します。キーを変えると登録も更新されます。ほかのショートカットは変更しません。")
            .arg(desktop),
        12, QFont::Normal, 0.62));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    int row = 0;
    for (const DesktopShortcuts::Command& c : shortcuts.commands()) {
        grid->addWidget(makeTextLabel(c.title, 12), row, 0);
        auto* command = makeTextLabel(c.command, 12);
        command->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont mono = command->font();
        mono.setFamily(QStringLiteral("monospace"));
        mono.setStyleHint(QFont::Monospace);
        command->setFont(mono);
        grid->addWidget(command, row, 1);
        auto* keys = makeTextLabel(QString(), 12, QFont::DemiBold);
        keys->setObjectName(QStringLiteral("desktopShortcutKeys"));
        keys->setTextFormat(Qt::PlainText); // accelerators look like markup ("<Super>")
        keys->setWordWrap(false);
        keys_.push_back(keys);
        grid->addWidget(keys, row, 2);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    v->addLayout(grid);

    failure_ = makeTextLabel(QString(), 12);
    failure_->setObjectName(QStringLiteral("desktopShortcutsFailure"));
    failure_->setStyleSheet(QStringLiteral("color: #b54708;"));
    v->addWidget(failure_);

    auto* buttons = new QHBoxLayout;
    register_ = new QPushButton(QStringLiteral("%1 に登録").arg(desktop));
    register_->setObjectName(QStringLiteral("registerDesktopShortcuts"));
    remove_ = new QPushButton(QStringLiteral("登録を解除"));
    remove_->setObjectName(QStringLiteral("removeDesktopShortcuts"));
    buttons->addWidget(register_);
    buttons->addWidget(remove_);
    buttons->addStretch();
    v->addLayout(buttons);
    connect(register_, &QPushButton::clicked, &shortcuts_, &DesktopShortcuts::registerShortcuts);
    connect(remove_, &QPushButton::clicked, &shortcuts_, &DesktopShortcuts::removeShortcuts);
    connect(&shortcuts_, &DesktopShortcuts::changed, this, &DesktopShortcutsBox::refresh);
    refresh();
}

void DesktopShortcutsBox::refresh() {
    const std::vector<DesktopShortcuts::Command> commands = shortcuts_.commands();
    for (size_t i = 0; i < keys_.size() && i < commands.size(); ++i)
        keys_[i]->setText(commands[i].accelerator.isEmpty()
                              ? QStringLiteral("未登録")
                              : QStringLiteral("登録済み: %1").arg(commands[i].accelerator));
    const bool registered = shortcuts_.registered();
    register_->setVisible(!registered);
    remove_->setVisible(registered);
    const std::optional<QString> failure = shortcuts_.failure();
    failure_->setText(failure.value_or(QString()));
    failure_->setVisible(failure.has_value());
}

} // namespace lumivane
