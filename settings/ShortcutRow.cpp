#include "settings/ShortcutRow.h"
#include "settings/AppSettings.h"
#include "settings/SettingsHost.h"
#include "settings/SettingsRows.h"
#include "settings/ShortcutRecorder.h"
#include "shortcuts/HotKeyService.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace lumivane {

QString shortcutActionTitle(ShortcutAction action) {
    return HotKeyService::actionDescription(HotKeyService::actionFor(action));
}

ShortcutRow::ShortcutRow(SettingsHost& host, ShortcutAction action, QString title, QString description,
                         std::optional<Shortcut> desktopStandardShortcut, QWidget* parent)
    : QFrame(parent), host_(host), action_(action), desktopStandardShortcut_(desktopStandardShortcut) {
    setObjectName(QStringLiteral("shortcutRow_") + rawValue(action));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(settingsLabel(title, 13, QFont::DemiBold));
    texts->addWidget(settingsLabel(description, 12, QFont::Normal, true));
    if (desktopStandardShortcut_)
        texts->addWidget(
            settingsLabel(QStringLiteral("デスクトップ標準キーを使う: ") + desktopStandardShortcut_->displayString(),
                          11, QFont::Normal, true));
    top->addLayout(texts, 1);
    recorder_ = new ShortcutRecorder({}, this);
    top->addWidget(recorder_, 0, Qt::AlignVCenter);
    if (defaultShortcut(action).isEmpty()) {
        auto* clear = new QPushButton(QStringLiteral("解除"), this);
        clear->setObjectName(QStringLiteral("clearShortcut"));
        connect(clear, &QPushButton::clicked, this, [this] {
            host_.settings().setShortcut(Shortcut{}, action_);
            host_.applySettings();
            refresh();
        });
        clear_ = clear;
        top->addWidget(clear, 0, Qt::AlignVCenter);
    }
    v->addLayout(top);
    // Shown while the recorder refuses a key the other action already has.
    refusal_ = settingsLabel({}, 12, QFont::DemiBold);
    refusal_->setObjectName(QStringLiteral("shortcutTakenNote"));
    refusal_->setStyleSheet(QStringLiteral("color: #d70015;"));
    refusal_->hide();
    v->addWidget(refusal_);

    warning_ = new QFrame(this);
    warning_->setObjectName(QStringLiteral("conflictWarning"));
    warning_->setStyleSheet(QStringLiteral("#conflictWarning { background: rgba(255,149,0,28); border: 1px solid "
                                           "rgba(255,149,0,120); border-radius: 8px; }"));
    auto* w = new QVBoxLayout(warning_);
    w->setContentsMargins(10, 8, 10, 8);
    warningTitle_ = settingsLabel({}, 13, QFont::DemiBold);
    warningTitle_->setObjectName(QStringLiteral("conflictWarningTitle"));
    auto* titleRow = new QHBoxLayout;
    auto* symbol = settingsLabel(QStringLiteral("⚠"), 14, QFont::Bold);
    symbol->setStyleSheet(QStringLiteral("color: #ff9500;"));
    symbol->setWordWrap(false);
    titleRow->addWidget(symbol, 0, Qt::AlignTop);
    titleRow->addWidget(warningTitle_, 1);
    w->addLayout(titleRow);
    w->addWidget(settingsLabel(
        QStringLiteral("このキーを Lumivane で使う場合は、デスクトップ側の標準ショートカットを OFF にしてください。ON "
                       "のままだとデスクトップ側が先に反応するため、Lumivane では動かないことがあります。"),
        12));
    w->addWidget(settingsLabel(
        QStringLiteral("設定場所: デスクトップの設定 > キーボード > キーボードショートカット > スクリーンショット"), 12,
        QFont::Normal, true));
    w->addWidget(settingsLabel(
        QStringLiteral("うまく該当画面が開かない場合は、キーボード設定まで開いたあとに手動で「スクリーンショット」"
                       "を選んでください。"),
        12, QFont::Normal, true));
    auto* buttons = new QHBoxLayout;
    auto* openSettings = new QPushButton(QStringLiteral("スクリーンショット設定を開く"));
    openSettings->setObjectName(QStringLiteral("openScreenshotSettings"));
    auto* recommended = new QPushButton(QStringLiteral("おすすめキーに変更"));
    recommended->setObjectName(QStringLiteral("useRecommendedShortcuts"));
    buttons->addWidget(openSettings);
    buttons->addWidget(recommended);
    buttons->addStretch();
    w->addLayout(buttons);
    v->addWidget(warning_);
    connect(openSettings, &QPushButton::clicked, this, [this] { host_.openDesktopScreenshotShortcutSettings(); });
    connect(recommended, &QPushButton::clicked, this, [this] { host_.useRecommendedShortcuts(); });
    refresh();
}

std::optional<QString> ShortcutRow::conflictWarningTitle(const Shortcut& shortcut, bool hasRegistrationFailure) {
    const QString keys = shortcut.displayString();
    if (hasRegistrationFailure)
        return keys + QStringLiteral(" は現在 Lumivane で使えていません");
    if (shortcut.isStandardScreenshotKey())
        return keys + QStringLiteral(" はデスクトップ標準のスクリーンショットと同じキーです");
    return std::nullopt;
}

void ShortcutRow::refresh() {
    AppSettings& settings = host_.settings();
    const Shortcut current = settings.shortcuts().value(action_, defaultShortcut(action_));
    if (clear_)
        clear_->setEnabled(!current.isEmpty());
    recorder_->setInputs({current,
                          [this](const Shortcut& s) {
                              host_.settings().setShortcut(s, action_);
                              host_.applySettings();
                          },
                          [this] { host_.shortcutRecorderDidBeginRecording(); },
                          [this] {
                              refusal_->hide();
                              host_.shortcutRecorderDidEndRecording();
                          },
                          [this](const Shortcut& s) { return acceptsShortcut(s); }});
    if (clear_)
        clear_->setVisible(!current.isEmpty());
    const auto failures = host_.shortcutRegistrationFailures();
    const bool failed = failures.contains(HotKeyService::actionFor(action_));
    const std::optional<QString> title = conflictWarningTitle(current, failed);
    warningTitle_->setText(title.value_or(QString()));
    warning_->setVisible(title.has_value());
}

bool ShortcutRow::acceptsShortcut(const Shortcut& shortcut) {
    ShortcutAction other = action_;
    for (ShortcutAction a : allShortcutActions)
        if (a != action_ && host_.settings().shortcut(a) == shortcut)
            other = a;
    const bool taken = other != action_;
    refusal_->setText(taken ? QStringLiteral("%1 は「%2」で使っています。別のキーを押してください（Esc で取り消し）。")
                                  .arg(shortcut.displayString(), shortcutActionTitle(other))
                            : QString());
    refusal_->setVisible(taken);
    if (taken) {
        // The note sits under the row, maybe below the visible part of the page.
        for (QWidget* w = parentWidget(); w; w = w->parentWidget())
            if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
                scroll->ensureWidgetVisible(refusal_, 0, 12);
                break;
            }
    }
    return !taken;
}

bool ShortcutRow::isRefusalShown() const {
    return !refusal_->isHidden();
}
QString ShortcutRow::refusalText() const {
    return refusal_->text();
}

bool ShortcutRow::isWarningShown() const {
    return !warning_->isHidden();
}
QString ShortcutRow::warningTitle() const {
    return warningTitle_->text();
}

} // namespace lumivane
