#include "settings/ShortcutCommandsBox.h"
#include "settings/TextLabel.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace lumivane {

namespace {

struct CommandRow {
    ShortcutAction action;
    const char* title;
    const char* command;
};
constexpr CommandRow kRows[] = {
    {ShortcutAction::captureArea, "範囲を選択して撮影", "lumivane capture area"},
    {ShortcutAction::captureFullScreen, "全画面を撮影", "lumivane capture full"},
    {ShortcutAction::captureWindow, "ウィンドウを撮影", "lumivane capture window"},
    {ShortcutAction::captureLastArea, "前回の範囲を撮影", "lumivane capture last"},
    {ShortcutAction::captureAreaText, "範囲を選択してテキストを読み取る", "lumivane capture area --text"}};

ShortcutCommandsBox::Command commandOf(const CommandRow& r) {
    return {r.action, QString::fromUtf8(r.title), QString::fromUtf8(r.command)};
}

} // namespace

std::vector<ShortcutCommandsBox::Command> ShortcutCommandsBox::commands() {
    std::vector<Command> out;
    for (const CommandRow& r : kRows)
        out.push_back(commandOf(r));
    return out;
}

ShortcutCommandsBox::Command ShortcutCommandsBox::command(ShortcutAction action) {
    for (const CommandRow& r : kRows)
        if (r.action == action)
            return commandOf(r);
    return {action, {}, {}};
}

ShortcutCommandsBox::ShortcutCommandsBox(bool withTextCommand, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("shortcutCommandsBox"));
    setStyleSheet(QStringLiteral("#shortcutCommandsBox { background: rgba(0,0,0,10); border: 1px solid rgba(0,0,0,28);"
                                 " border-radius: 10px; }"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(14, 12, 14, 12);
    v->setSpacing(6);
    v->addWidget(
        makeTextLabel(QStringLiteral("ショートカットはデスクトップの設定で割り当てます"), 13, QFont::DemiBold));
    v->addWidget(makeTextLabel(
        QStringLiteral("このデスクトップには、アプリがショートカットを登録するためのポータル "
                       "(GlobalShortcuts) がありません。デスクトップのキーボード設定で、次のコマンドを"
                       "お好みのキーに割り当ててください。Lumivane が起動していれば、そのまま撮影が始まります。"),
        12, QFont::Normal, 0.62));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    int row = 0;
    for (const Command& c : commands()) {
        if (c.action == ShortcutAction::captureAreaText && !withTextCommand)
            continue;
        const QString command = c.commandLine;
        grid->addWidget(makeTextLabel(c.title, 12), row, 0);
        auto* field = new QLineEdit(command);
        field->setReadOnly(true);
        field->setObjectName(QStringLiteral("shortcutCommand"));
        QFont mono = field->font();
        mono.setFamily(QStringLiteral("monospace"));
        mono.setStyleHint(QFont::Monospace);
        field->setFont(mono);
        grid->addWidget(field, row, 1);
        auto* copy = new QPushButton(QStringLiteral("コピー"));
        copy->setObjectName(QStringLiteral("copyShortcutCommand"));
        connect(copy, &QPushButton::clicked, this, [copy, command] {
            QGuiApplication::clipboard()->setText(command);
            copy->setText(QStringLiteral("コピーしました"));
            QTimer::singleShot(1500, copy, [copy] { copy->setText(QStringLiteral("コピー")); });
        });
        grid->addWidget(copy, row, 2);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    v->addLayout(grid);
}

} // namespace lumivane
