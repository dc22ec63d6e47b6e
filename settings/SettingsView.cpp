#include "settings/SettingsView.h"
#include "BuildConfig.h"
#include "settings/DesktopShortcutsBox.h"
#include "settings/ShortcutCommandsBox.h"

#include "core/NativeFileNames.h"
#include "platform/DesktopBackend.h"
#include "platform/FileDialogs.h"
#include "settings/AppSettings.h"
#include "settings/ShortcutRecorder.h"
#include "settings/TextLabel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumivane {

namespace {

QLabel* label(const QString& text, int pixelSize = 13, QFont::Weight weight = QFont::Normal, bool secondary = false) {
    return makeTextLabel(text, pixelSize, weight, secondary ? 0.6 : 1.0);
}

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(QStringLiteral("color: rgba(0,0,0,40);"));
    return line;
}

// A titled block with a one-line explanation above its rows.
QWidget* section(const QString& title, const QString& subtitle, QVBoxLayout*& content) {
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 8);
    v->setSpacing(4);
    v->addWidget(label(title, 15, QFont::Bold));
    v->addWidget(label(subtitle, 12, QFont::Normal, true));
    auto* card = new QFrame;
    card->setObjectName(QStringLiteral("sectionCard"));
    card->setStyleSheet(QStringLiteral("#sectionCard { background: rgba(0,0,0,10); border: 1px solid rgba(0,0,0,25);"
                                       " border-radius: 10px; }"));
    content = new QVBoxLayout(card);
    content->setContentsMargins(14, 12, 14, 12);
    content->setSpacing(10);
    v->addSpacing(4);
    v->addWidget(card);
    return box;
}

// Title and description on the left, a control on the right.
QWidget* titledRow(const QString& title, const QString& description, QWidget* trailing) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(label(title, 13, QFont::DemiBold));
    if (!description.isEmpty())
        texts->addWidget(label(description, 12, QFont::Normal, true));
    h->addLayout(texts, 1);
    if (trailing)
        h->addWidget(trailing, 0, Qt::AlignVCenter);
    return row;
}

QWidget* scrollingPage(QWidget* content) {
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    return scroll;
}

QWidget* pageWidget(QVBoxLayout*& layout) {
    auto* page = new QWidget;
    layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(14);
    return page;
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

QString shortcutActionTitle(ShortcutAction action) {
    return action == ShortcutAction::captureFullScreen ? QStringLiteral("全画面を撮影")
                                                       : QStringLiteral("範囲を選択して撮影");
}

QWidget* infoRow(const QString& name, const QString& value) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* l = label(name, 13, QFont::DemiBold);
    l->setFixedWidth(120);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    h->addWidget(l, 0, Qt::AlignTop);
    auto* v = label(value, 13);
    v->setTextInteractionFlags(Qt::TextSelectableByMouse);
    h->addWidget(v, 1);
    return row;
}

QWidget* permissionRow(const QString& badge, const QColor& colour, const QString& title, const QString& text) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* b = label(badge, 11, QFont::Bold);
    b->setWordWrap(false);
    b->setAlignment(Qt::AlignCenter);
    b->setFixedWidth(64);
    b->setStyleSheet(
        QStringLiteral("color: %1; border: 1px solid %1; border-radius: 6px; padding: 2px 4px;").arg(colour.name()));
    h->addWidget(b, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(label(title, 13, QFont::DemiBold));
    texts->addWidget(label(text, 12, QFont::Normal, true));
    h->addLayout(texts, 1);
    return row;
}

} // namespace

// --- ShortcutRow -----------------------------------------------------------

ShortcutRow::ShortcutRow(SettingsHost& host, ShortcutAction action, QString title, QString description,
                         std::optional<Shortcut> desktopStandardShortcut, QWidget* parent)
    : QFrame(parent), host_(host), action_(action), desktopStandardShortcut_(desktopStandardShortcut) {
    setObjectName(QStringLiteral("shortcutRow_") + rawValue(action));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(label(title, 13, QFont::DemiBold));
    texts->addWidget(label(description, 12, QFont::Normal, true));
    if (desktopStandardShortcut_)
        texts->addWidget(
            label(QStringLiteral("デスクトップ標準キーを使う: ") + desktopStandardShortcut_->displayString(), 11,
                  QFont::Normal, true));
    top->addLayout(texts, 1);
    recorder_ = new ShortcutRecorder({}, this);
    top->addWidget(recorder_, 0, Qt::AlignVCenter);
    v->addLayout(top);
    // Shown while the recorder refuses a key the other action already has.
    refusal_ = label({}, 12, QFont::DemiBold);
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
    warningTitle_ = label({}, 13, QFont::DemiBold);
    warningTitle_->setObjectName(QStringLiteral("conflictWarningTitle"));
    auto* titleRow = new QHBoxLayout;
    auto* symbol = label(QStringLiteral("⚠"), 14, QFont::Bold);
    symbol->setStyleSheet(QStringLiteral("color: #ff9500;"));
    symbol->setWordWrap(false);
    titleRow->addWidget(symbol, 0, Qt::AlignTop);
    titleRow->addWidget(warningTitle_, 1);
    w->addLayout(titleRow);
    w->addWidget(label(
        QStringLiteral("このキーを Lumivane で使う場合は、デスクトップ側の標準ショートカットを OFF にしてください。ON "
                       "のままだとデスクトップ側が先に反応するため、Lumivane では動かないことがあります。"),
        12));
    w->addWidget(label(
        QStringLiteral("設定場所: デスクトップの設定 > キーボード > キーボードショートカット > スクリーンショット"), 12,
        QFont::Normal, true));
    w->addWidget(label(
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
    const auto failures = host_.shortcutRegistrationFailures();
    const bool failed = failures.contains(HotKeyService::actionFor(action_));
    const std::optional<QString> title = conflictWarningTitle(current, failed);
    warningTitle_->setText(title.value_or(QString()));
    warning_->setVisible(title.has_value());
}

bool ShortcutRow::acceptsShortcut(const Shortcut& shortcut) {
    const ShortcutAction other =
        action_ == ShortcutAction::captureFullScreen ? ShortcutAction::captureArea : ShortcutAction::captureFullScreen;
    const bool taken = host_.settings().shortcut(other) == shortcut;
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

// --- SettingsView ----------------------------------------------------------

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
    root->addWidget(divider());
    root->addWidget(pages_, 1);

    pages_->addWidget(scrollingPage(makeGeneralPage()));
    pages_->addWidget(scrollingPage(makeShortcutsPage()));
    pages_->addWidget(scrollingPage(makeScreenshotsPage()));
    pages_->addWidget(scrollingPage(makeAnnotatePage()));
    pages_->addWidget(scrollingPage(makeAdvancedPage()));
    pages_->addWidget(scrollingPage(makeAboutPage()));

    connect(tabButtons_, &QButtonGroup::idClicked, this,
            [this](int id) { host_.setSelectedSettingsTab(static_cast<SettingsTab>(id)); });
    connect(restore, &QPushButton::clicked, this, &SettingsView::restoreDefaults);
    connect(&settings_, &AppSettings::changed, this, &SettingsView::refresh);
    connect(&host_, &SettingsHost::selectedSettingsTabChanged, this, &SettingsView::refresh);
    connect(&host_, &SettingsHost::shortcutRegistrationFailuresChanged, this, &SettingsView::refresh);
    connect(&host_, &SettingsHost::updateStatusChanged, this, &SettingsView::refreshUpdates);
    refresh();
}

QString SettingsView::appVersion() {
    const QString v = QString::fromUtf8(LUMIVANE_VERSION_STRING);
    return v.isEmpty() ? QStringLiteral("-") : v;
}

QString SettingsView::appBuild() {
    // The source revision the build was configured from (git describe).
    const QString build = QString::fromUtf8(LUMIVANE_BUILD_DESCRIPTION_STRING);
    return build.isEmpty() ? QStringLiteral("-") : build;
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
    for (auto& r : refreshers_)
        r();
    refreshUpdates();
}

void SettingsView::refreshUpdates() {
    updateTitle_->setText(host_.updateStatusTitle());
    updateDetail_->setText(host_.updateStatusDetail());
    checkUpdates_->setEnabled(host_.canCheckForUpdates());
    updateTestTools_->setVisible(host_.updateTestToolsEnabled());
}

void SettingsView::restoreDefaults() {
    settings_.restoreDefaults();
    host_.applySettings();
}

void SettingsView::chooseSaveFolder() {
    const std::optional<QString> path = chooseFolder ? chooseFolder() : std::nullopt;
    if (!path)
        return;
    if (hasUndecodedBytes(*path)) {
        // The settings file is Unicode text: such a path could not be stored as chosen.
        folderPath_->setText(QStringLiteral("フォルダ名に UTF-8 でない文字が含まれているため、保存先にできません。"
                                            "フォルダ名を変更してから選び直してください。"));
        return;
    }
    settings_.setDefaultSaveFolderPath(*path);
    // No folder bookmarks exist here: the bookmark stays absent.
    settings_.setDefaultSaveFolderBookmarkData(std::nullopt);
    settings_.persist();
}

void SettingsView::clearSaveFolder() {
    settings_.setDefaultSaveFolderPath(std::nullopt);
    settings_.setDefaultSaveFolderBookmarkData(std::nullopt);
    settings_.persist();
}

QWidget* SettingsView::makeGeneralPage() {
    QVBoxLayout* page;
    QWidget* w = pageWidget(page);
    QVBoxLayout* content;
    page->addWidget(section(QStringLiteral("撮影後の動作"),
                            QStringLiteral("キャプチャ後にどの画面へ進むかを調整できます。"), content));
    auto toggle = [&](const QString& name, const QString& t, const QString& d, std::function<bool()> get,
                      std::function<void(bool)> set) {
        auto* box = new QCheckBox;
        box->setObjectName(name);
        box->setAccessibleName(t);
        content->addWidget(titledRow(t, d, box));
        connect(box, &QCheckBox::toggled, this, [set](bool on) { set(on); });
        refreshers_.push_back([box, get] {
            QSignalBlocker b(box);
            box->setChecked(get());
        });
    };
    toggle(
        QStringLiteral("openEditorAfterCapture"), QStringLiteral("撮影後に編集ウィンドウを自動で開く"),
        QStringLiteral("撮影が終わったらすぐに編集画面へ進みます。"),
        [this] { return settings_.openEditorAfterCapture(); },
        [this](bool v) { settings_.setOpenEditorAfterCapture(v); });
    content->addWidget(divider());
    toggle(
        QStringLiteral("autoDismissPreview"), QStringLiteral("プレビューを自動で閉じる"),
        QStringLiteral("撮影後の小さなプレビューを数秒後に自動で閉じます。"),
        [this] { return settings_.autoDismissPreview(); }, [this](bool v) { settings_.setAutoDismissPreview(v); });

    // The switch shows whether the entry exists, also after a change that failed.
    page->addWidget(section(QStringLiteral("起動"), QStringLiteral("ログインしたときの動作を設定できます。"), content));
    auto* atLogin = new QCheckBox;
    atLogin->setObjectName(QStringLiteral("launchAtLogin"));
    atLogin->setAccessibleName(QStringLiteral("ログイン時に起動"));
    content->addWidget(titledRow(QStringLiteral("ログイン時に起動"),
                                 QStringLiteral("ログインすると Lumivane がシステムトレイで起動します。"), atLogin));
    auto showAtLogin = [this, atLogin] {
        QSignalBlocker b(atLogin);
        atLogin->setChecked(host_.launchesAtLogin());
    };
    connect(atLogin, &QCheckBox::toggled, this, [this, showAtLogin](bool on) {
        host_.setLaunchesAtLogin(on);
        showAtLogin();
    });
    refreshers_.push_back(showAtLogin);
    page->addStretch();
    return w;
}

QWidget* SettingsView::makeShortcutsPage() {
    QVBoxLayout* page;
    QWidget* w = pageWidget(page);

    auto* banner = new QFrame;
    banner->setObjectName(QStringLiteral("shortcutIntroBanner"));
    banner->setStyleSheet(QStringLiteral("#shortcutIntroBanner { background: rgba(0,122,255,20); border: 1px solid "
                                         "rgba(0,122,255,70); border-radius: 10px; }"));
    auto* bh = new QHBoxLayout(banner);
    bh->setContentsMargins(12, 10, 12, 10);
    auto* icon = label(QStringLiteral("ⓘ"), 18, QFont::Bold);
    icon->setWordWrap(false);
    icon->setStyleSheet(QStringLiteral("color: #007aff;"));
    bh->addWidget(icon, 0, Qt::AlignTop);
    auto* bv = new QVBoxLayout;
    bv->setSpacing(4);
    bv->addWidget(label(QStringLiteral("ショートカットは Lumivane 内だけで設定します"), 13, QFont::DemiBold));
    bv->addWidget(label(QStringLiteral("デスクトップのキーボード設定で Lumivane "
                                       "のアクションを追加する必要はありません。下のキー表示をクリックして、"
                                       "使いたいキーを押すだけで変更できます。"),
                        12));
    bv->addWidget(label(QStringLiteral("推奨: %1 で全画面 / %2 で範囲選択")
                            .arg(defaultShortcut(ShortcutAction::captureFullScreen).displayString(),
                                 defaultShortcut(ShortcutAction::captureArea).displayString()),
                        12, QFont::DemiBold));
    bv->addWidget(
        label(QStringLiteral("%1 はデスクトップ標準のスクリーンショットと同じキーです。使う場合は、デスクトップ"
                             "側の標準ショートカットを OFF にしてください(下の各行から設定画面を開けます)。")
                  .arg(desktopScreenshotKeysText()),
              12, QFont::Normal, true));
    bh->addLayout(bv, 1);
    page->addWidget(banner);

    if (host_.shortcutsBoundByDesktop())
        page->addWidget(host_.desktopShortcuts()
                            ? static_cast<QWidget*>(new DesktopShortcutsBox(*host_.desktopShortcuts()))
                            : new ShortcutCommandsBox);

    QVBoxLayout* content;
    page->addWidget(section(QStringLiteral("一般"), QStringLiteral("アプリ全体に関わるショートカットです。"), content));
    auto* full = new ShortcutRow(
        host_, ShortcutAction::captureFullScreen, shortcutActionTitle(ShortcutAction::captureFullScreen),
        QStringLiteral("カーソルがある画面全体を撮影します。外部モニター利用時は、撮りたい画面にカーソルを移動して"
                       "から実行してください。"),
        kDesktopScreenshotFullScreenKey);
    content->addWidget(full);
    page->addWidget(
        section(QStringLiteral("スクリーンショット"), QStringLiteral("現在使える撮影系ショートカットです。"), content));
    auto* area = new ShortcutRow(host_, ShortcutAction::captureArea, shortcutActionTitle(ShortcutAction::captureArea),
                                 QStringLiteral("ドラッグで範囲を選んで撮影します。"), kDesktopScreenshotAreaKey);
    content->addWidget(area);
    refreshers_.push_back([full, area] {
        full->refresh();
        area->refresh();
    });

    page->addWidget(section(QStringLiteral("今後追加予定"),
                            QStringLiteral("ここに表示している項目は、今後ショートカット対応を予定している機能です。"),
                            content));
    const QString placeholders[] = {QStringLiteral("ウィンドウを撮影"), QStringLiteral("タイマー撮影"),
                                    QStringLiteral("前回の範囲を再撮影")};
    bool first = true;
    for (const QString& t : placeholders) {
        if (!first)
            content->addWidget(divider());
        first = false;
        auto* row = new QFrame;
        row->setObjectName(QStringLiteral("placeholderShortcutRow"));
        row->setEnabled(false);
        row->setStyleSheet(
            QStringLiteral("#placeholderShortcutRow { background: rgba(0,0,0,12); border-radius: 8px; }"));
        auto* rh = new QHBoxLayout(row);
        rh->setContentsMargins(10, 8, 10, 8);
        auto* texts = new QVBoxLayout;
        auto* titleLine = new QHBoxLayout;
        titleLine->addWidget(label(t, 13, QFont::DemiBold));
        auto* badge = label(QStringLiteral("未対応"), 10, QFont::Bold);
        badge->setWordWrap(false);
        badge->setStyleSheet(QStringLiteral("border: 1px solid rgba(0,0,0,60); border-radius: 5px; padding: 1px 4px;"));
        titleLine->addWidget(badge);
        titleLine->addStretch();
        texts->addLayout(titleLine);
        texts->addWidget(label(QStringLiteral("将来的にここへ追加します。"), 12, QFont::Normal, true));
        rh->addLayout(texts, 1);
        content->addWidget(row);
    }
    page->addStretch();
    return w;
}

QWidget* SettingsView::makeScreenshotsPage() {
    QVBoxLayout* page;
    QWidget* w = pageWidget(page);
    QVBoxLayout* content;
    page->addWidget(
        section(QStringLiteral("保存"), QStringLiteral("保存先や撮影ファイルの扱いを調整できます。"), content));

    // Folder row.
    auto* folderRow = new QWidget;
    auto* fh = new QHBoxLayout(folderRow);
    fh->setContentsMargins(0, 0, 0, 0);
    auto* fv = new QVBoxLayout;
    fv->setSpacing(2);
    fv->addWidget(label(QStringLiteral("既定の保存先フォルダ"), 13, QFont::DemiBold));
    folderPath_ = label({}, 12, QFont::Normal, true);
    folderPath_->setObjectName(QStringLiteral("saveFolderPath"));
    folderPath_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fv->addWidget(folderPath_);
    fh->addLayout(fv, 1);
    auto* choose = new QPushButton(QStringLiteral("選択"));
    choose->setObjectName(QStringLiteral("chooseSaveFolder"));
    auto* clear = new QPushButton(QStringLiteral("解除"));
    clear->setObjectName(QStringLiteral("clearSaveFolder"));
    fh->addWidget(choose);
    fh->addWidget(clear);
    content->addWidget(folderRow);
    connect(choose, &QPushButton::clicked, this, &SettingsView::chooseSaveFolder);
    connect(clear, &QPushButton::clicked, this, &SettingsView::clearSaveFolder);
    refreshers_.push_back([this] {
        const auto& path = settings_.defaultSaveFolderPath();
        folderPath_->setText(path && !path->isEmpty() ? *path
                                                      : QStringLiteral("未設定の場合は保存ダイアログを開きます。"));
    });
    content->addWidget(divider());

    // Format row: a two-segment picker.
    auto* formats = new QWidget;
    formats->setAccessibleName(QStringLiteral("画像形式"));
    auto* segH = new QHBoxLayout(formats);
    segH->setContentsMargins(0, 0, 0, 0);
    segH->setSpacing(0);
    auto* formatGroup = new QButtonGroup(this);
    for (ScreenshotFileFormat f : allScreenshotFileFormats) {
        auto* b = new QPushButton(f == ScreenshotFileFormat::png ? QStringLiteral("PNG") : QStringLiteral("JPEG"));
        b->setObjectName(QStringLiteral("format_") + rawValue(f));
        b->setCheckable(true);
        b->setMinimumWidth(64);
        formatGroup->addButton(b, static_cast<int>(f));
        segH->addWidget(b);
    }
    content->addWidget(titledRow(QStringLiteral("画像形式の既定値"),
                                 QStringLiteral("保存ダイアログで最初に選ばれる画像形式です。"), formats));
    connect(formatGroup, &QButtonGroup::idClicked, this,
            [this](int id) { settings_.setScreenshotFileFormat(static_cast<ScreenshotFileFormat>(id)); });
    refreshers_.push_back([this, formatGroup] {
        QSignalBlocker b(formatGroup);
        formatGroup->button(static_cast<int>(settings_.screenshotFileFormat()))->setChecked(true);
    });
    content->addWidget(divider());

    // Quality lines.
    content->addWidget(titledRow(
        QStringLiteral("画質"),
        QStringLiteral("保存、コピー、Drag Me、共有時の画像サイズと読みやすさのバランスを選べます。"), nullptr));
    auto* qualityGroup = new QButtonGroup(this);
    for (CaptureQualityPreset p : allCaptureQualityPresets) {
        auto* line = new QRadioButton(title(p) + QStringLiteral("  ") + presetDescription(p));
        line->setObjectName(QStringLiteral("quality_") + rawValue(p));
        QFont f = line->font();
        f.setPixelSize(13);
        line->setFont(f);
        qualityGroup->addButton(line, presetIndex(p));
        content->addWidget(line);
    }
    connect(qualityGroup, &QButtonGroup::idClicked, this, [this](int id) {
        settings_.setCaptureQualityPreset(allCaptureQualityPresets[size_t(id)]);
        settings_.persist();
    });
    refreshers_.push_back([this, qualityGroup] {
        QSignalBlocker b(qualityGroup);
        qualityGroup->button(presetIndex(settings_.captureQualityPreset()))->setChecked(true);
    });
    content->addWidget(divider());

    // Long whole-page captures.
    auto* split = new QCheckBox;
    split->setObjectName(QStringLiteral("splitLongPages"));
    split->setAccessibleName(QStringLiteral("長いページを分割して保存"));
    content->addWidget(titledRow(
        QStringLiteral("長いページを分割して保存"),
        QStringLiteral(
            "ブラウザ全体の撮影で、1 枚にすると文字が読めないほど縮む長いページを、"
            "読める大きさのまま番号付きの複数の画像に分けて、既定の保存先 (未設定ならピクチャフォルダ) に保存します。"),
        split));
    connect(split, &QCheckBox::toggled, this, [this](bool on) { settings_.setSplitLongPages(on); });
    refreshers_.push_back([this, split] {
        QSignalBlocker b(split);
        split->setChecked(settings_.splitLongPages());
    });
    content->addWidget(divider());

    // Prefix row.
    prefix_ = new QLineEdit;
    prefix_->setObjectName(QStringLiteral("fileNamePrefix"));
    prefix_->setPlaceholderText(QStringLiteral("Lumivane"));
    prefix_->setFixedWidth(200);
    content->addWidget(titledRow(QStringLiteral("ファイル名の接頭辞"),
                                 QStringLiteral("保存名は「接頭辞-日時」の形式で生成されます。"), prefix_));
    connect(prefix_, &QLineEdit::textEdited, this, [this](const QString& t) { settings_.setFileNamePrefix(t); });
    refreshers_.push_back([this] {
        if (prefix_->text() == settings_.fileNamePrefix())
            return;
        QSignalBlocker b(prefix_);
        prefix_->setText(settings_.fileNamePrefix());
    });
    page->addStretch();
    return w;
}

QWidget* SettingsView::colorRow(const QString& name, const QString& t, const QString& d, std::function<RgbaColor()> get,
                                std::function<void(const RgbaColor&)> set) {
    auto* well = new QPushButton;
    well->setObjectName(name);
    well->setAccessibleName(t);
    well->setFixedSize(44, 24);
    connect(well, &QPushButton::clicked, this, [this, get, set] {
        if (!chooseColor)
            return;
        if (const auto c = chooseColor(get().toQColor()))
            set(RgbaColor::fromQColor(*c));
    });
    refreshers_.push_back([well, get] {
        well->setStyleSheet(
            QStringLiteral("QPushButton { background: %1; border: 1px solid rgba(0,0,0,80); border-radius: 5px; }")
                .arg(get().toQColor().name(QColor::HexArgb)));
    });
    return titledRow(t, d, well);
}

QWidget* SettingsView::sliderRow(const QString& name, const QString& t, const QString& d, int minimum, int maximum,
                                 int width, std::function<double()> get, std::function<void(double)> set) {
    auto* box = new QWidget;
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name);
    slider->setRange(minimum, maximum);
    slider->setSingleStep(1);
    slider->setPageStep(1);
    slider->setFixedWidth(width);
    auto* value = label({}, 13);
    value->setWordWrap(false);
    value->setMinimumWidth(28);
    h->addWidget(slider);
    h->addWidget(value);
    connect(slider, &QSlider::valueChanged, this, [set, value](int v) {
        value->setText(QString::number(v));
        set(double(v));
    });
    refreshers_.push_back([slider, value, get] {
        QSignalBlocker b(slider);
        const int v = int(qRound(get()));
        slider->setValue(v);
        value->setText(QString::number(slider->value()));
    });
    return titledRow(t, d, box);
}

QWidget* SettingsView::makeAnnotatePage() {
    QVBoxLayout* page;
    QWidget* w = pageWidget(page);
    QVBoxLayout* content;
    page->addWidget(
        section(QStringLiteral("既定の注釈スタイル"),
                QStringLiteral("新しく追加する図形、テキスト、ハイライトの初期見た目を個別に調整できます。"), content));
    content->addWidget(colorRow(
        QStringLiteral("defaultAnnotationColor"), QStringLiteral("図形の初期色"),
        QStringLiteral("矩形と矢印で使う既定色です。"), [this] { return settings_.defaultAnnotationColor(); },
        [this](const RgbaColor& c) { settings_.setDefaultAnnotationColor(c); }));
    content->addWidget(colorRow(
        QStringLiteral("defaultTextColor"), QStringLiteral("テキストの初期色"),
        QStringLiteral("テキスト注釈を新しく置いたときの既定色です。"), [this] { return settings_.defaultTextColor(); },
        [this](const RgbaColor& c) { settings_.setDefaultTextColor(c); }));
    content->addWidget(colorRow(
        QStringLiteral("defaultHighlightColor"), QStringLiteral("ハイライトの初期色"),
        QStringLiteral("ハイライトを新しく置いたときの既定色です。"),
        [this] { return settings_.defaultHighlightColor(); },
        [this](const RgbaColor& c) { settings_.setDefaultHighlightColor(c); }));
    content->addWidget(sliderRow(
        QStringLiteral("defaultAnnotationLineWidth"), QStringLiteral("線幅の既定値"),
        QStringLiteral("矩形と矢印の初期線幅です。"), 1, 12, 150,
        [this] { return settings_.defaultAnnotationLineWidth(); },
        [this](double v) { settings_.setDefaultAnnotationLineWidth(v); }));
    content->addWidget(sliderRow(
        QStringLiteral("defaultTextFontSize"), QStringLiteral("既定のテキストサイズ"),
        QStringLiteral("テキスト注釈を新しく置いたときの初期サイズです。"), 10, 96, 180,
        [this] { return settings_.defaultTextFontSize(); }, [this](double v) { settings_.setDefaultTextFontSize(v); }));
    page->addStretch();
    return w;
}

QWidget* SettingsView::makeAdvancedPage() {
    QVBoxLayout* page;
    QWidget* w = pageWidget(page);
    setupChecklistContainer_ = new QWidget;
    setupChecklistContainer_->setObjectName(QStringLiteral("setupChecklistContainer"));
    auto* l = new QVBoxLayout(setupChecklistContainer_);
    l->setContentsMargins(0, 0, 0, 0);
    if (QWidget* checklist = host_.makeSetupChecklistView())
        l->addWidget(checklist);
    page->addWidget(setupChecklistContainer_);
    page->addStretch();
    return w;
}

QWidget* SettingsView::makeAboutPage() {
    QVBoxLayout* page;
    QWidget* w = pageWidget(page);
    QVBoxLayout* content;
    page->addWidget(section(QStringLiteral("このアプリについて"),
                            QStringLiteral("現在の Lumivane の機能とアプリ情報です。"), content));
    content->addWidget(infoRow(QStringLiteral("アプリ名"), QStringLiteral("Lumivane")));
    content->addWidget(
        infoRow(QStringLiteral("バージョン"), appVersion() + QStringLiteral(" (") + appBuild() + QStringLiteral(")")));
    content->addWidget(infoRow(QStringLiteral("対応OS"), QStringLiteral("Linux(X11 / Wayland デスクトップ)")));
    content->addWidget(infoRow(QStringLiteral("カテゴリ"), QStringLiteral("仕事効率化")));
    content->addWidget(
        infoRow(QStringLiteral("主な機能"),
                QStringLiteral("全画面撮影、範囲撮影、注釈編集、Chrome / Brave のページ全体キャプチャ")));
    content->addWidget(infoRow(QStringLiteral("保存形式"), QStringLiteral("PNG / JPEG")));

    page->addWidget(section(QStringLiteral("権限とプライバシー"),
                            QStringLiteral("撮影機能に必要な権限と、現在のデータの扱いです。"), content));
    // Only what this session asks of the user.
    if (sessionWindowSystem() == WindowSystem::wayland)
        content->addWidget(permissionRow(
            QStringLiteral("必須"), QColor(52, 199, 89), QStringLiteral("スクリーンショットの許可"),
            QStringLiteral("Wayland デスクトップでは、撮影はデスクトップのスクリーンショット機能"
                           "(xdg-desktop-portal)を通して行います。確認が表示されたら許可してください。")));
    else
        content->addWidget(
            permissionRow(QStringLiteral("不要"), QColor(52, 199, 89), QStringLiteral("画面の撮影"),
                          QStringLiteral("X11 デスクトップでは、全画面撮影・範囲撮影に許可は必要ありません。")));
    content->addWidget(divider());
    content->addWidget(permissionRow(
        QStringLiteral("任意"), QColor(128, 128, 128), QStringLiteral("リモートデバッグ"),
        QStringLiteral("Chrome / Brave のページ全体キャプチャを使う場合のみ、ブラウザでリモートデバッグ接続を"
                       "有効にしてください。通常の全画面・範囲撮影には不要です。")));
    content->addWidget(divider());
    content->addWidget(infoRow(
        QStringLiteral("データ収集"),
        QStringLiteral(
            "現在の実装では、撮影画像や個人データを外部送信しません。処理は主にこのコンピュータ上で完結します。")));

    page->addWidget(section(QStringLiteral("サポート"),
                            QStringLiteral("使い方やお問い合わせ先はこちらから確認できます。"), content));
    auto linkRow = [&](const QString& t, const QUrl& url) {
        auto* b = new QPushButton(url.toString());
        b->setFlat(true);
        b->setStyleSheet(QStringLiteral("color: #007aff; text-align: left;"));
        connect(b, &QPushButton::clicked, this, [this, url] {
            if (openURL)
                openURL(url);
        });
        content->addWidget(titledRow(t, {}, b));
    };
    linkRow(QStringLiteral("お問い合わせページ"), contactPageURL());
    content->addWidget(infoRow(QStringLiteral("お問い合わせ"), supportAddress()));
    linkRow(QStringLiteral("プライバシーポリシー"), privacyPolicyURL());
    auto* buttons = new QHBoxLayout;
    auto* support = new QPushButton(QStringLiteral("Lumivane サポートを開く"));
    auto* site = new QPushButton(supportSiteURL().host() + QStringLiteral(" で確認する"));
    buttons->addWidget(support);
    buttons->addWidget(site);
    buttons->addStretch();
    content->addLayout(buttons);
    connect(support, &QPushButton::clicked, this, [this] {
        if (openURL)
            openURL(supportSiteURL());
    });
    connect(site, &QPushButton::clicked, this, [this] {
        if (openURL)
            openURL(QUrl(QStringLiteral("https://") + supportSiteURL().host()));
    });

    page->addWidget(section(QStringLiteral("アップデート"), {}, content));
    updateTitle_ = label({}, 13, QFont::DemiBold);
    updateTitle_->setObjectName(QStringLiteral("updateStatusTitle"));
    updateDetail_ = label({}, 12, QFont::Normal, true);
    updateDetail_->setObjectName(QStringLiteral("updateStatusDetail"));
    content->addWidget(updateTitle_);
    content->addWidget(updateDetail_);
    auto* updateButtons = new QHBoxLayout;
    checkUpdates_ = new QPushButton(QStringLiteral("アップデートを確認…"));
    checkUpdates_->setObjectName(QStringLiteral("checkForUpdates"));
    updateButtons->addWidget(checkUpdates_);
    updateButtons->addStretch();
    content->addLayout(updateButtons);
    updateTestTools_ = new QWidget;
    auto* tv = new QVBoxLayout(updateTestTools_);
    tv->setContentsMargins(0, 0, 0, 0);
    auto* testAlert = new QPushButton(QStringLiteral("更新案内をテスト表示"));
    testAlert->setObjectName(QStringLiteral("showTestUpdateAlert"));
    tv->addWidget(testAlert, 0, Qt::AlignLeft);
    tv->addWidget(label(QStringLiteral("「更新案内をテスト表示」を押すと、新しい版があるときの案内を確認できます。"),
                        11, QFont::Normal, true));
    content->addWidget(updateTestTools_);
    connect(checkUpdates_, &QPushButton::clicked, this, [this] { host_.checkForUpdates(); });
    connect(testAlert, &QPushButton::clicked, this, [this] { host_.showTestUpdateAlert(); });
    page->addStretch();
    return w;
}

} // namespace lumivane
