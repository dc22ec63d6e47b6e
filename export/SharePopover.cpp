#include "export/SharePopover.h"

#include "export/ShareExporter.h"
#include "platform/ShareTargets.h"
#include "settings/AppSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

namespace lumivane {

QString shareMimeType(ScreenshotFileFormat format) {
    return format == ScreenshotFileFormat::jpeg ? QStringLiteral("image/jpeg") : QStringLiteral("image/png");
}

void drawShareArrow(QPainter& painter, const QRectF& box, const QColor& color) {
    const auto at = [&](double x, double y) {
        return QPointF(box.left() + x * box.width(), box.top() + y * box.height());
    };
    QPainterPath path;
    path.moveTo(at(0.56, 0.30));
    path.lineTo(at(0.56, 0.05));
    path.lineTo(at(1.00, 0.44));
    path.lineTo(at(0.56, 0.83));
    path.lineTo(at(0.56, 0.58));
    path.cubicTo(at(0.34, 0.58), at(0.12, 0.64), at(0.02, 0.95));
    path.cubicTo(at(0.00, 0.56), at(0.20, 0.30), at(0.56, 0.30));
    path.closeSubpath();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(path);
    painter.restore();
}

namespace {

QColor black(double opacity) {
    return QColor::fromRgbF(0, 0, 0, opacity);
}

void drawChevron(QPainter& painter, const QRectF& box, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 1.4);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    const QPointF points[] = {{box.left() + box.width() * 0.3, box.top()},
                              {box.left() + box.width() * 0.75, box.center().y()},
                              {box.left() + box.width() * 0.3, box.bottom()}};
    painter.drawPolyline(points, 3);
    painter.restore();
}

// A capsule chip of the format row.
class FormatChip : public QAbstractButton {
public:
    FormatChip(const QString& title, QWidget* parent) : QAbstractButton(parent) {
        setText(title);
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        QFont f = font();
        f.setPixelSize(11);
        f.setWeight(QFont::DemiBold);
        setFont(f);
    }
    QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text()) + 20, 24}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(isChecked() ? palette().color(QPalette::Highlight) : black(0.06));
        p.drawRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
        p.setPen(isChecked() ? QColor(Qt::white) : black(0.72));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
};

QIcon targetIcon(const ShareTarget& target) {
    if (target.iconName.isEmpty())
        return {};
    if (QFileInfo(target.iconName).isAbsolute())
        return QIcon(target.iconName);
    return QIcon::fromTheme(target.iconName);
}

} // namespace

// ---- ShareSheetLauncherButton ----

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

void ShareSheetLauncherButton::choose(const std::function<bool(const QString& path, QString* error)>& action,
                                      const QString& failureTitle) {
    // Asked again at the choice: a file may have been prepared, or purged, while the picker was open.
    std::optional<Item> item = currentItem();
    std::optional<QString> path = item ? item->file : std::nullopt;
    ImageRef image = item ? item->image : nullptr;
    if (path && !QFileInfo::exists(*path)) {
        path.reset();
        image = imageProvider ? imageProvider() : nullptr;
    }
    if (!path && image) {
        // Nothing prepared yet: the file is encoded in the background and the choice
        // is carried out when it is there (not at all if this button is gone by then).
        setCursor(Qt::BusyCursor);
        ShareExporter::prepareShareItem(image, sourceProvider ? sourceProvider() : ImageExportProfile::standard,
                                        formatProvider ? formatProvider() : ScreenshotFileFormat::png,
                                        qualityPresetProvider ? qualityPresetProvider() : CaptureQualityPreset::medium,
                                        fileNamePrefixProvider ? fileNamePrefixProvider() : QString(), this,
                                        [this, action, failureTitle](std::optional<QString> created) {
                                            unsetCursor();
                                            finishChoice(created, action, failureTitle);
                                        });
        return;
    }
    finishChoice(path, action, failureTitle);
}

void ShareSheetLauncherButton::finishChoice(const std::optional<QString>& path,
                                            const std::function<bool(const QString& path, QString* error)>& action,
                                            const QString& failureTitle) {
    if (!path) {
        if (reportFailure)
            reportFailure(failureTitle, QStringLiteral("共有用の画像ファイルを作成できませんでした。"));
        return;
    }
    QString error;
    if (!action(*path, &error)) {
        if (reportFailure)
            reportFailure(failureTitle, error);
        return;
    }
    emit shared(*path);
}

void ShareSheetLauncherButton::paintEvent(QPaintEvent*) {
    const bool on = isEnabled();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(black(on ? (pressed_ ? 0.09 : 0.045) : 0.035));
    p.drawRoundedRect(QRectF(rect()), 8, 8);
    drawShareArrow(p, QRectF(9, 7, 11, 10), black(on ? 0.52 : 0.24));
    p.setPen(black(on ? 0.72 : 0.28));
    p.drawText(QRectF(26, 0, width() - 26 - 18, height()), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("他の共有先"));
    drawChevron(p, QRectF(width() - 15, 8, 6, 8), black(on ? 0.52 : 0.24));
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

// ---- SharePopoverContent ----

SharePopoverContent::SharePopoverContent(AppSettings& settings, std::shared_ptr<ShareTargets> targets, ImageRef image,
                                         ImageExportProfile source, QString fileNamePrefix, QWidget* parent)
    : QWidget(parent), settings_(settings), image_(std::move(image)), source_(source),
      fileNamePrefix_(std::move(fileNamePrefix)), shownFormat_(settings.shareFileFormat()),
      launcher_(new ShareSheetLauncherButton(std::move(targets), this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(4);
    for (const auto& [format, title] : {std::pair{ScreenshotFileFormat::png, QStringLiteral("PNG")},
                                        std::pair{ScreenshotFileFormat::jpeg, QStringLiteral("JPEG")}}) {
        auto* chip = new FormatChip(title, this);
        connect(chip, &QAbstractButton::clicked, this, [this, format = format] {
            settings_.setShareFileFormat(format);
            settings_.persist();
            updateControls();
        });
        chips_[format] = chip;
        row->addWidget(chip);
    }
    row->addStretch();
    column->addLayout(row);
    column->addWidget(launcher_, 0, Qt::AlignLeft);
    connect(&settings_, &AppSettings::changed, this, &SharePopoverContent::settingsChanged);
    updateControls();
}

QAbstractButton* SharePopoverContent::formatChip(ScreenshotFileFormat format) const {
    const auto it = chips_.find(format);
    return it == chips_.end() ? nullptr : it->second;
}

void SharePopoverContent::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    warmShareItem(settings_.shareFileFormat());
}

void SharePopoverContent::setImage(ImageRef image) {
    const qint64 before = image_ ? image_->cacheKey() : -1;
    const qint64 after = image ? image->cacheKey() : -1;
    image_ = std::move(image);
    if (before == after)
        return;
    resetPreparedItems();
}

void SharePopoverContent::setFileNamePrefix(const QString& prefix) {
    if (prefix == fileNamePrefix_)
        return;
    fileNamePrefix_ = prefix;
    resetPreparedItems();
}

void SharePopoverContent::resetPreparedItems() {
    ++generation_;
    preparedItems_.clear();
    preparingFormats_.clear();
    updateControls();
    emit preparedItemsChanged();
    warmShareItem(settings_.shareFileFormat());
}

void SharePopoverContent::settingsChanged() {
    const ScreenshotFileFormat format = settings_.shareFileFormat();
    if (format != shownFormat_) {
        shownFormat_ = format;
        warmShareItem(format);
    }
    updateControls();
}

void SharePopoverContent::warmShareItem(ScreenshotFileFormat format) {
    if (!image_)
        return;
    if (preparedItems_.count(format) || preparingFormats_.count(format))
        return;
    preparingFormats_.insert(format);
    const quint64 generation = generation_;
    const auto finish = [this, format, generation](const std::optional<QString>& location) {
        if (generation != generation_)
            return;
        preparingFormats_.erase(format);
        if (location)
            preparedItems_[format] = *location;
        updateControls();
        emit preparedItemsChanged();
    };
    const QString key = ShareExporter::cacheKey(image_, format, fileNamePrefix_);
    if (const std::optional<CachedShareItem> hit = ShareExporter::cache().touchCachedItem(key)) {
        finish(hit->url);
        return;
    }
    ShareExporter::prepareShareItem(image_, source_, format, settings_.captureQualityPreset(), fileNamePrefix_, this,
                                    finish);
}

void SharePopoverContent::updateControls() {
    const ScreenshotFileFormat current = settings_.shareFileFormat();
    for (const auto& [format, chip] : chips_)
        chip->setChecked(format == current);
    launcher_->imageProvider = [this] { return image_; };
    launcher_->itemProvider = [this]() -> std::optional<QString> {
        const auto it = preparedItems_.find(settings_.shareFileFormat());
        return it == preparedItems_.end() ? std::nullopt : std::optional<QString>(it->second);
    };
    launcher_->sourceProvider = [this] { return source_; };
    launcher_->formatProvider = [this] { return settings_.shareFileFormat(); };
    launcher_->qualityPresetProvider = [this] { return settings_.captureQualityPreset(); };
    launcher_->fileNamePrefixProvider = [this] { return fileNamePrefix_; };
    launcher_->refresh(image_ != nullptr);
}

// ---- SharePopover ----

SharePopover::SharePopover(AppSettings& settings, std::shared_ptr<ShareTargets> targets, ImageRef image,
                           ImageExportProfile source, QString fileNamePrefix, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint),
      content_(new SharePopoverContent(settings, std::move(targets), std::move(image), source,
                                       std::move(fileNamePrefix), this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    // A press on the share button that closes the popover must not reopen it.
    setAttribute(Qt::WA_NoMouseReplay);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(content_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SharePopover::showAttachedTo(QWidget* anchor) {
    adjustSize();
    if (anchor) {
        const QRect bounds(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
        QPoint position(bounds.right() + 1 - width(), bounds.bottom() + 5);
        if (const QScreen* screen = anchor->screen()) {
            const QRect area = screen->availableGeometry();
            if (position.y() + height() > area.bottom() + 1)
                position.setY(bounds.top() - 4 - height());
            position.setX(std::clamp(position.x(), area.left(), std::max(area.left(), area.right() + 1 - width())));
        }
        move(position);
    }
    show();
}

void SharePopover::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(black(0.14));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SharePopover::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    emit closed();
}

} // namespace lumivane
