#include "core/NativeFileNames.h"
#include "settings/AppSettings.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsRows.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace lumivane {

ScreenshotsSettingsPage::ScreenshotsSettingsPage(AppSettings& settings,
                                                 const std::function<std::optional<QString>()>& chooseFolder)
    : settings_(settings), chooseFolder_(chooseFolder) {
    QVBoxLayout* content;
    column()->addWidget(
        settingsSection(QStringLiteral("保存"), QStringLiteral("保存先や撮影ファイルの扱いを調整できます。"), content));

    // Folder row.
    auto* folderRow = new QWidget;
    auto* fh = new QHBoxLayout(folderRow);
    fh->setContentsMargins(0, 0, 0, 0);
    auto* fv = new QVBoxLayout;
    fv->setSpacing(2);
    fv->addWidget(settingsLabel(QStringLiteral("既定の保存先フォルダ"), 13, QFont::DemiBold));
    folderPath_ = settingsLabel({}, 12, QFont::Normal, true);
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
    connect(choose, &QPushButton::clicked, this, &ScreenshotsSettingsPage::chooseSaveFolder);
    connect(clear, &QPushButton::clicked, this, &ScreenshotsSettingsPage::clearSaveFolder);
    addRefresher([this] {
        const auto& path = settings_.defaultSaveFolderPath();
        folderPath_->setText(path && !path->isEmpty() ? *path
                                                      : QStringLiteral("未設定の場合は保存ダイアログを開きます。"));
    });
    content->addWidget(settingsDivider());

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
    addRefresher([this, formatGroup] {
        QSignalBlocker b(formatGroup);
        formatGroup->button(static_cast<int>(settings_.screenshotFileFormat()))->setChecked(true);
    });
    content->addWidget(settingsDivider());

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
    addRefresher([this, qualityGroup] {
        QSignalBlocker b(qualityGroup);
        qualityGroup->button(presetIndex(settings_.captureQualityPreset()))->setChecked(true);
    });
    content->addWidget(settingsDivider());

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
    addRefresher([this, split] {
        QSignalBlocker b(split);
        split->setChecked(settings_.splitLongPages());
    });
    content->addWidget(settingsDivider());

    // Window captures.
    auto* frame = new QCheckBox;
    frame->setObjectName(QStringLiteral("includeWindowFrame"));
    frame->setAccessibleName(QStringLiteral("ウィンドウの枠を含める"));
    content->addWidget(titledRow(QStringLiteral("ウィンドウの枠を含める"),
                                 QStringLiteral("ウィンドウを撮影するとき、タイトルバーと枠も一緒に撮影します。オフにす"
                                                "ると中身だけを撮影します (X11 のデスクトップ)。"),
                                 frame));
    connect(frame, &QCheckBox::toggled, this, [this](bool on) { settings_.setIncludeWindowFrame(on); });
    addRefresher([this, frame] {
        QSignalBlocker b(frame);
        frame->setChecked(settings_.includeWindowFrame());
    });
    content->addWidget(settingsDivider());

    // Prefix row.
    prefix_ = new QLineEdit;
    prefix_->setObjectName(QStringLiteral("fileNamePrefix"));
    prefix_->setPlaceholderText(QStringLiteral("Lumivane"));
    prefix_->setFixedWidth(200);
    content->addWidget(titledRow(QStringLiteral("ファイル名の接頭辞"),
                                 QStringLiteral("保存名は「接頭辞-日時」の形式で生成されます。"), prefix_));
    connect(prefix_, &QLineEdit::textEdited, this, [this](const QString& t) { settings_.setFileNamePrefix(t); });
    addRefresher([this] {
        if (prefix_->text() == settings_.fileNamePrefix())
            return;
        QSignalBlocker b(prefix_);
        prefix_->setText(settings_.fileNamePrefix());
    });
    column()->addStretch();
}

void ScreenshotsSettingsPage::chooseSaveFolder() {
    const std::optional<QString> path = chooseFolder_ ? chooseFolder_() : std::nullopt;
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

void ScreenshotsSettingsPage::clearSaveFolder() {
    settings_.setDefaultSaveFolderPath(std::nullopt);
    settings_.setDefaultSaveFolderBookmarkData(std::nullopt);
    settings_.persist();
}

} // namespace lumivane
