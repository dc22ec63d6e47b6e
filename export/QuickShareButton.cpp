#include "export/QuickShareButton.h"

#include "export/ShareGlyphs.h"
#include "export/SharePopover.h"
#include "platform/ShareTargets.h"
#include "settings/AppSettings.h"

#include <QPainter>

namespace lumivane {

QuickShareButton::QuickShareButton(AppSettings& settings, std::shared_ptr<ShareTargets> targets, QWidget* parent)
    : QAbstractButton(parent), settings_(settings), targets_(targets ? std::move(targets) : makeDesktopShareTargets()) {
    setToolTip(QStringLiteral("共有"));
    setAccessibleName(QStringLiteral("共有"));
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::clicked, this, &QuickShareButton::presentPopover);
}

QuickShareButton::~QuickShareButton() {
    if (popover_)
        popover_->close();
}

void QuickShareButton::setImageProvider(ImageProvider provider) {
    imageProvider_ = std::move(provider);
}
void QuickShareButton::setExportProfileProvider(std::function<ImageExportProfile()> provider) {
    profileProvider_ = std::move(provider);
}
ImageExportProfile QuickShareButton::exportProfile() const {
    return profileProvider_ ? profileProvider_() : ImageExportProfile::standard;
}
QString QuickShareButton::fileNamePrefix() const {
    return settings_.fileNamePrefix();
}
bool QuickShareButton::isPopoverPresented() const {
    return popover_ && popover_->isVisible();
}
SharePopover* QuickShareButton::popover() const {
    return popover_.data();
}
QSize QuickShareButton::sizeHint() const {
    return {30, 32};
} // the 28-point circle and its shadow

void QuickShareButton::presentPopover() {
    if (!isEnabled())
        return;
    if (popover_ && popover_->isVisible()) {
        popover_->close();
        return;
    }
    settings_.setShareFileFormat(ScreenshotFileFormat::png);
    settings_.persist();
    preparedImage_ = imageProvider_ ? imageProvider_() : nullptr;
    auto* popover = new SharePopover(settings_, targets_, preparedImage_, exportProfile(), fileNamePrefix(), this);
    popover_ = popover;
    connect(popover, &SharePopover::closed, this, [this] { emit popoverPresentedChanged(false); });
    popover->showAttachedTo(this);
    emit popoverPresentedChanged(true);
}

void QuickShareButton::paintEvent(QPaintEvent*) {
    const bool on = isEnabled();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle(1, 0, 28, 28);
    painter.setPen(Qt::NoPen);
    // Soft shadow (black 0.16, radius 4, offset 0/2) as rings fading outwards.
    for (int i = 3; i >= 0; --i) {
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.16 / 4));
        painter.drawEllipse(circle.translated(0, 2).adjusted(-i * 0.5, -i * 0.5, i * 0.5, i * 0.5));
    }
    painter.setBrush(QColor::fromRgbF(0, 0, 0, isDown() ? 0.26 : (on ? 0.18 : 0.12)));
    painter.drawEllipse(circle);
    drawShareArrow(painter, QRectF(circle.center().x() - 6.5, circle.center().y() - 6, 13, 12),
                   QColor::fromRgbF(1, 1, 1, on ? 0.88 : 0.24));
}

} // namespace lumivane
