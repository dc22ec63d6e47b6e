#include "editor/DragExportButton.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace lumivane {

DragExportButton::DragExportButton(QWidget* parent)
    : QWidget(parent), cache_("lumivane.editor-drag-export", "Lumivane-Editor-", [this] {
          return optionsProvider ? optionsProvider()
                                 : ImageExportOptions::drag(ImageExportProfile::standard, CaptureQualityPreset::medium);
      }) {
    setFixedSize(104, 24);
    setToolTip(title());
    setAccessibleName(title());
    setCursor(Qt::OpenHandCursor);
    connect(&cache_, &DragExportCache::prepared, this, &DragExportButton::payloadPrepared);
}

void DragExportButton::setAvailable(bool available) {
    available_ = available;
    setEnabled(available);
    update();
}

void DragExportButton::prepareDragPayloadIfNeeded() {
    if (!keyProvider || !sourceProvider)
        return;
    cache_.prepareIfNeeded(keyProvider(), sourceProvider());
}

std::optional<DragExportButton::Payload> DragExportButton::dragPayload() {
    if (!keyProvider || !sourceProvider)
        return std::nullopt;
    return cache_.payload(keyProvider(), sourceProvider());
}

void DragExportButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(0, 0, 0, available_ ? 0.18 : 0.12));
    p.drawRoundedRect(QRectF(rect()), 14, 14);
    QFont f = font();
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(QColor::fromRgbF(1, 1, 1, available_ ? 0.84 : 0.24));
    p.drawText(rect(), Qt::AlignCenter, title());
}

void DragExportButton::mousePressEvent(QMouseEvent* e) {
    pressAt_.reset();
    started_ = false;
    if (!available_ || e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    pressAt_ = e->position().toPoint();
}

void DragExportButton::mouseMoveEvent(QMouseEvent* e) {
    if (!available_ || started_ || !pressAt_ || !(e->buttons() & Qt::LeftButton))
        return;
    const QPoint d = e->position().toPoint() - *pressAt_;
    if (std::hypot(d.x(), d.y()) < 3.0)
        return;
    started_ = true;
    if (keyProvider && !cache_.isPrepared(keyProvider())) {
        // Right after an edit the picture is still being encoded in the background:
        // the drag starts when it is ready (if the button is still held), instead of
        // rendering and encoding here on the UI thread.
        waitingForPayload_ = true;
        setCursor(Qt::BusyCursor);
        prepareDragPayloadIfNeeded();
        return;
    }
    if (const auto payload = dragPayload())
        DragExportCache::runDrag(this, *payload, 64);
}

void DragExportButton::payloadPrepared(quint64 key) {
    if (!waitingForPayload_ || !keyProvider || key != keyProvider())
        return;
    waitingForPayload_ = false;
    setCursor(Qt::OpenHandCursor);
    if (!pressAt_ || !(QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    if (const auto payload = dragPayload())
        DragExportCache::runDrag(this, *payload, 64);
}

void DragExportButton::mouseReleaseEvent(QMouseEvent*) {
    pressAt_.reset();
    started_ = false;
    if (waitingForPayload_) {
        waitingForPayload_ = false;
        setCursor(Qt::OpenHandCursor);
    }
}

} // namespace lumivane
