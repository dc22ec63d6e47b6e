#include "export/ShareLauncherButton.h"
#include "export/ShareGlyphs.h"
#include "platform/ShareTargets.h"

#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

namespace lumivane {

namespace {

QIcon targetIcon(const ShareTarget& target) {
    if (target.iconName.isEmpty())
        return {};
    if (QFileInfo(target.iconName).isAbsolute())
        return QIcon(target.iconName);
    return QIcon::fromTheme(target.iconName);
}

} // namespace

ShareSheetLauncherButton::ShareSheetLauncherButton(std::shared_ptr<ShareTargets> targets, QWidget* parent)
    : QWidget(parent), targets_(targets ? std::move(targets) : makeDesktopShareTargets()) {
    setFixedSize(124, 24);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(QStringLiteral("他の共有先"));
    QFont f = font();
    f.setPixelSize(11);
    setFont(f);
    reportFailure = [this](const QString& title, const QString& detail) {
        QMessageBox::warning(window(), title, detail);
    };
    refresh(false);
}

void ShareSheetLauncherButton::refresh(bool hasImage) {
    setEnabled(hasImage);
    QWidget::update();
}

std::optional<ShareSheetLauncherButton::Item> ShareSheetLauncherButton::currentItem() const {
    if (itemProvider) {
        if (std::optional<QString> file = itemProvider())
            return Item{file, nullptr};
    }
    if (imageProvider) {
        if (ImageRef image = imageProvider())
            return Item{std::nullopt, image};
    }
    return std::nullopt;
}

void ShareSheetLauncherButton::openPicker() {
    if (!currentItem())
        return;
    if (picker_)
        picker_->close();
    const ScreenshotFileFormat format = formatProvider ? formatProvider() : ScreenshotFileFormat::png;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    picker_ = menu;
    const std::vector<ShareTarget> apps = targets_->applicationsFor(shareMimeType(format));
    for (const ShareTarget& app : apps) {
        QAction* action = menu->addAction(targetIcon(app), app.title);
        action->setData(app.id);
        connect(action, &QAction::triggered, this, [this, app] {
            choose(
                [this, id = app.id](const QString& path, QString* error) { return targets_->open(id, {path}, error); },
                QStringLiteral("「%1」で開けませんでした").arg(app.title));
        });
    }
    if (apps.empty())
        menu->addAction(QStringLiteral("この形式を開けるアプリケーションがありません"))->setEnabled(false);
    menu->addSeparator();
    QAction* reveal =
        menu->addAction(QIcon::fromTheme(QStringLiteral("folder")), QStringLiteral("ファイルの場所を開く"));
    connect(reveal, &QAction::triggered, this, [this] {
        choose([this](const QString& path, QString* error) { return targets_->revealInFolder(path, error); },
               QStringLiteral("ファイルの場所を開けませんでした"));
    });
    menu->popup(mapToGlobal(QPoint(0, height())));
}

void ShareSheetLauncherButton::choose(const ShareAction& action, const QString& failureTitle) {
    // Asked again at the choice: a file may have been prepared, or purged, while the picker was open.
    const std::optional<Item> item = currentItem();
    ShareHandOut handOut;
    handOut.file = item ? item->file : std::nullopt;
    handOut.image = item && item->image ? item->image : (imageProvider ? imageProvider() : nullptr);
    handOut.source = sourceProvider ? sourceProvider() : ImageExportProfile::standard;
    handOut.format = formatProvider ? formatProvider() : ScreenshotFileFormat::png;
    handOut.preset = qualityPresetProvider ? qualityPresetProvider() : CaptureQualityPreset::medium;
    handOut.fileNamePrefix = fileNamePrefixProvider ? fileNamePrefixProvider() : QString();
    // Busy while a file is encoded first.
    setCursor(Qt::BusyCursor);
    handOutShare(std::move(handOut), this, action,
                 [this, failureTitle](const std::optional<QString>& path, const QString& error) {
                     unsetCursor();
                     if (path)
                         emit shared(*path);
                     else if (reportFailure)
                         reportFailure(failureTitle, error);
                 });
}

void ShareSheetLauncherButton::paintEvent(QPaintEvent*) {
    const bool on = isEnabled();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(shareBlack(on ? (pressed_ ? 0.09 : 0.045) : 0.035));
    p.drawRoundedRect(QRectF(rect()), 8, 8);
    drawShareArrow(p, QRectF(9, 7, 11, 10), shareBlack(on ? 0.52 : 0.24));
    p.setPen(shareBlack(on ? 0.72 : 0.28));
    p.drawText(QRectF(26, 0, width() - 26 - 18, height()), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("他の共有先"));
    drawChevron(p, QRectF(width() - 15, 8, 6, 8), shareBlack(on ? 0.52 : 0.24));
}

void ShareSheetLauncherButton::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    pressed_ = true;
    QWidget::update();
}

void ShareSheetLauncherButton::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !pressed_)
        return QWidget::mouseReleaseEvent(e);
    pressed_ = false;
    QWidget::update();
    if (rect().contains(e->position().toPoint()))
        openPicker();
}

void ShareSheetLauncherButton::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        return openPicker();
    QWidget::keyPressEvent(e);
}

} // namespace lumivane
