#include "export/SharePopover.h"
#include "export/ShareGlyphs.h"
#include "export/SharePreparation.h"
#include "settings/AppSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace lumivane {

namespace {

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
        p.setBrush(isChecked() ? palette().color(QPalette::Highlight) : shareBlack(0.06));
        p.drawRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
        p.setPen(isChecked() ? QColor(Qt::white) : shareBlack(0.72));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
};

} // namespace

SharePopoverContent::SharePopoverContent(AppSettings& settings, std::shared_ptr<ShareTargets> targets, ImageRef image,
                                         ImageExportProfile source, QString fileNamePrefix, QWidget* parent)
    : QWidget(parent), settings_(settings),
      preparation_(new SharePreparation(std::move(image), source, std::move(fileNamePrefix), this)),
      shownFormat_(settings.shareFileFormat()), launcher_(new ShareSheetLauncherButton(std::move(targets), this)) {
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
    connect(preparation_, &SharePreparation::preparedItemsChanged, this, [this] {
        updateControls();
        emit preparedItemsChanged();
    });
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

const std::map<ScreenshotFileFormat, QString>& SharePopoverContent::preparedItems() const {
    return preparation_->preparedItems();
}

const std::set<ScreenshotFileFormat>& SharePopoverContent::preparingFormats() const {
    return preparation_->preparingFormats();
}

void SharePopoverContent::setImage(ImageRef image) {
    if (preparation_->setImage(std::move(image)))
        preparationReset();
}

void SharePopoverContent::setFileNamePrefix(const QString& prefix) {
    if (preparation_->setFileNamePrefix(prefix))
        preparationReset();
}

void SharePopoverContent::preparationReset() {
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
    preparation_->prepare(format, settings_.captureQualityPreset());
}

void SharePopoverContent::updateControls() {
    const ScreenshotFileFormat current = settings_.shareFileFormat();
    for (const auto& [format, chip] : chips_)
        chip->setChecked(format == current);
    launcher_->imageProvider = [this] { return preparation_->image(); };
    launcher_->itemProvider = [this] { return preparation_->preparedItem(settings_.shareFileFormat()); };
    launcher_->sourceProvider = [this] { return preparation_->source(); };
    launcher_->formatProvider = [this] { return settings_.shareFileFormat(); };
    launcher_->qualityPresetProvider = [this] { return settings_.captureQualityPreset(); };
    launcher_->fileNamePrefixProvider = [this] { return preparation_->fileNamePrefix(); };
    launcher_->refresh(preparation_->image() != nullptr);
}

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
    p.setPen(shareBlack(0.14));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SharePopover::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    emit closed();
}

} // namespace lumivane
