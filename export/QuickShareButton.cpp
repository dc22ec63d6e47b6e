#include "export/QuickShareButton.h"

#include "settings/AppSettings.h"

#include <QPainter>

namespace lumivane {

class SharePopover : public QWidget {};

QuickShareButton::QuickShareButton(AppSettings& settings, QWidget* parent)
    : QAbstractButton(parent), settings_(settings) {
    setToolTip(QStringLiteral("共有"));
    setAccessibleName(QStringLiteral("共有"));
}

QuickShareButton::~QuickShareButton() = default;

void QuickShareButton::setImageProvider(ImageProvider provider) { imageProvider_ = std::move(provider); }
void QuickShareButton::setExportProfile(ImageExportProfile profile) { profile_ = profile; }
void QuickShareButton::setFileNamePrefix(const QString& prefix) { fileNamePrefix_ = prefix; }
QString QuickShareButton::fileNamePrefix() const { return fileNamePrefix_.value_or(settings_.fileNamePrefix()); }
bool QuickShareButton::isPopoverPresented() const { return !popover_.isNull(); }
SharePopover* QuickShareButton::popover() const { return popover_.data(); }
QSize QuickShareButton::sizeHint() const { return {28, 28}; }
void QuickShareButton::presentPopover() {}

void QuickShareButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, isEnabled() ? 46 : 31));
    painter.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

} // namespace lumivane
