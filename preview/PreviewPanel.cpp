#include "preview/PreviewPanel.h"

#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <cmath>

namespace lumivane {

namespace {
constexpr int confirmationMs = 900;
constexpr int hoverFadeMs = 160;
constexpr int pillScaleMs = 120;
constexpr double pressedPillScale = 0.97;

QPainterPath rounded(const QRectF& r, double radius) {
    QPainterPath p;
    p.addRoundedRect(r, radius, radius);
    return p;
}
} // namespace

PreviewPanel::PreviewPanel(PreviewActions actions)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      actions_(std::move(actions)),
      drag_("lumivane.preview-drag-export", "Lumivane-Preview-", actions_.dragOptions, this) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(PreviewWindowController::panelSize, PreviewWindowController::panelSize);
    setMouseTracking(true);
    setWindowTitle(windowTitleText());
    hoverFade_ = easeOut(QStringLiteral("hoverFade"), hoverFadeMs, [this](double v) { hoverOpacity_ = v; });
    pillScale_[0] = easeOut(QStringLiteral("copyPillScale"), pillScaleMs, [this](double v) { pillScales_[0] = v; });
    pillScale_[1] = easeOut(QStringLiteral("savePillScale"), pillScaleMs, [this](double v) { pillScales_[1] = v; });
}

void PreviewPanel::setShapedToCard(bool shaped) {
    shapedToCard_ = shaped;
    if (shaped)
        setMask(QRegion(rounded(imageArea(), 18).toFillPolygon().toPolygon()));
    else
        clearMask();
    update();
}

void PreviewPanel::setCodesFound(bool found) {
    codesFound_ = found;
    update();
}

void PreviewPanel::setImage(ImageRef image) {
    codesFound_ = false;
    image_ = std::move(image);
    presentPending_ = true;
    update();
}

QString PreviewPanel::copyTitle() const {
    return didCopyRecently_ ? QStringLiteral("コピー済み")
           : isCopying_     ? QStringLiteral("コピー中...")
                            : QStringLiteral("コピー");
}

QString PreviewPanel::saveTitle() const {
    return didSaveRecently_ ? QStringLiteral("保存済み")
           : isSaving_      ? QStringLiteral("保存中...")
                            : QStringLiteral("保存");
}

void PreviewPanel::setFade(double opacity, double slide) {
    fade_ = opacity;
    slide_ = slide;
    update();
}

void PreviewPanel::resetHover() {
    if (hovering_)
        setHover(false);
    hoverFade_->stop();
    hoverOpacity_ = 0;
    heldPill_ = -1;
    update();
}

void PreviewPanel::paintEvent(QPaintEvent*) {
    if (presentPending_) {
        presentPending_ = false;
        // After this paint has reached the screen.
        QTimer::singleShot(0, this, [this] {
            prepareDrag();
            if (actions_.presented)
                actions_.presented();
        });
    }
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    // Cut to the card's shape (no compositor), transparency would show black.
    const double base = shapedToCard_ ? 1.0 : fade_;
    p.setOpacity(base);
    p.translate(-slide_, 0);
    const QRectF area = imageArea();
    const QPainterPath card = rounded(area, 18);
    if (shapedToCard_)
        p.fillRect(rect(), Qt::white);
    p.fillPath(card, QColor::fromRgbF(1, 1, 1, 0.96f));
    if (image_ && !image_->isNull()) {
        p.save();
        p.setClipPath(card);
        const double iw = image_->width(), ih = image_->height();
        QRectF target = area;
        if (iw > 0 && ih > 0) {
            const double s = std::min(area.width() / iw, area.height() / ih);
            target = QRectF(0, 0, iw * s, ih * s);
            target.moveCenter(area.center());
        }
        p.drawImage(target.topLeft(), thumbnail(target.size()));
        p.restore();
    }
    if (codesFound_) {
        const QRectF r = codesRect();
        p.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.10f), 1));
        p.setBrush(QColor::fromRgbF(1, 1, 1, 0.95f));
        p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
        QFont f = font();
        f.setPixelSize(11);
        f.setWeight(QFont::DemiBold);
        p.setFont(f);
        p.setPen(QColor(0, 122, 255));
        p.drawText(r, Qt::AlignCenter, QStringLiteral("コード"));
    }
    // The controls fade in and out over the thumbnail.
    if (hoverOpacity_ <= 0)
        return;
    p.setOpacity(base * hoverOpacity_);
    p.fillPath(card, QColor::fromRgbF(0, 0, 0, 0.12f));
    const QColor ink = QColor::fromRgbF(0, 0, 0, 0.82f);
    auto circle = [&](const QRectF& r, const QString& glyph, double fill) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(1, 1, 1, float(fill)));
        p.drawEllipse(r);
        QFont f = font();
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.setPen(ink);
        p.drawText(r, Qt::AlignCenter, glyph);
    };
    circle(closeRect(), QStringLiteral("✕"), 0.9);
    circle(editRect(), QStringLiteral("✎"), 0.9);
    if (actions_.readText)
        circle(readTextRect(), QStringLiteral("T"), 0.9);
    paintDragHandle(p, dragRect(), bool(image_));
    auto pill = [&](const QRectF& r, const QString& title, bool processing, bool confirmed, double scale) {
        const QColor accent(0, 122, 255);
        QRectF rr = r;
        const QPointF c = rr.center();
        rr.setSize(rr.size() * scale);
        rr.moveCenter(c);
        p.setBrush(QColor::fromRgbF(1, 1, 1, processing ? 0.98f : 0.9f));
        QColor outline = confirmed ? accent : Qt::black;
        outline.setAlphaF(confirmed ? 0.28f : processing ? 0.10f : 0.04f);
        p.setPen(QPen(outline, 1));
        p.drawRoundedRect(rr, rr.height() / 2, rr.height() / 2);
        QFont f = font();
        f.setPixelSize(11);
        f.setWeight(QFont::DemiBold);
        p.setFont(f);
        QColor text = confirmed ? accent : Qt::black;
        text.setAlphaF(confirmed ? 0.92f : 0.82f);
        p.setPen(text);
        p.drawText(rr, Qt::AlignCenter, title);
    };
    pill(copyRect(), copyTitle(), isCopying_ || heldPill_ == 0, didCopyRecently_, pillScales_[0]);
    pill(saveRect(), saveTitle(), isSaving_ || heldPill_ == 1, didSaveRecently_, pillScales_[1]);
}

void PreviewPanel::mousePressEvent(QMouseEvent* e) {
    interact();
    const QPointF pos = e->position();
    pressPos_ = pos;
    dragStarted_ = false;
    // The payload is fetched when the pointer has moved, so a click never waits for an encode.
    pressOnDrag_ = e->button() == Qt::LeftButton && image_ && startsDrag(pos);
    // A pill held down looks pressed until the button is released.
    heldPill_ = !hovering_ || e->button() != Qt::LeftButton ? -1
                : copyRect().contains(pos)                  ? 0
                : saveRect().contains(pos)                  ? 1
                                                            : -1;
    settlePills();
}

void PreviewPanel::mouseMoveEvent(QMouseEvent* e) {
    if (!pressOnDrag_ || dragStarted_ || !(e->buttons() & Qt::LeftButton))
        return;
    interact();
    const QPointF d = e->position() - pressPos_;
    if (std::hypot(d.x(), d.y()) < 3.0)
        return;
    dragStarted_ = true;
    startDrag();
}

void PreviewPanel::mouseReleaseEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    const bool dragged = dragStarted_;
    pressOnDrag_ = dragStarted_ = false;
    if (heldPill_ >= 0) {
        heldPill_ = -1;
        settlePills();
    }
    // Only the left button clicks (the right one opens the context menu).
    if (dragged || e->button() != Qt::LeftButton)
        return;
    if (codesFound_ && codesRect().contains(pos)) {
        if (actions_.showCodes)
            actions_.showCodes(mapToGlobal(codesRect().bottomLeft().toPoint()));
        return;
    }
    if (hovering_) {
        if (actions_.readText && readTextRect().contains(pos))
            return call(actions_.readText);
        if (closeRect().contains(pos))
            return call(actions_.dismiss);
        if (editRect().contains(pos))
            return call(actions_.openEditor);
        if (copyRect().contains(pos))
            return pressCopy();
        if (saveRect().contains(pos))
            return pressSave();
        if (dragRect().contains(pos))
            return;
    }
    // The whole panel, shaped as a rounded square, takes the click.
    if (rounded(QRectF(rect()), 20).contains(pos))
        call(actions_.openEditor);
}

void PreviewPanel::contextMenuEvent(QContextMenuEvent* e) {
    if (!image_ || !actions_.pin)
        return;
    interact();
    QMenu menu(this);
    menu.addAction(QStringLiteral("画面に固定"), this, [this] { call(actions_.pin); });
    menu.exec(e->globalPos());
}

bool PreviewPanel::startsDrag(const QPointF& pos) const {
    if (!rounded(QRectF(rect()), 20).contains(pos))
        return false;
    if (codesFound_ && codesRect().contains(pos))
        return false;
    if (!hovering_)
        return true;
    return dragRect().contains(pos) ||
           !(closeRect().contains(pos) || editRect().contains(pos) || copyRect().contains(pos) ||
             saveRect().contains(pos) || (actions_.readText && readTextRect().contains(pos)));
}

QImage PreviewPanel::thumbnail(const QSizeF& size) {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (size * dpr).toSize().expandedTo(QSize(1, 1));
    if (thumbnailKey_ != image_->cacheKey() || thumbnail_.size() != pixels) {
        thumbnail_ = image_->scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        thumbnailKey_ = image_->cacheKey();
    }
    thumbnail_.setDevicePixelRatio(dpr);
    return thumbnail_;
}

void PreviewPanel::paintDragHandle(QPainter& p, const QRectF& r, bool enabled) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(1, 1, 1, enabled ? 0.92f : 0.72f));
    p.drawEllipse(r);
    const QPointF c = r.center();
    QPen pen(QColor::fromRgbF(0, 0, 0, enabled ? 0.82f : 0.28f), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawLine(c + QPointF(0, 3), c + QPointF(0, -7));                                                       // shaft
    p.drawPolyline(QPolygonF{c + QPointF(-4, -3), c + QPointF(0, -7), c + QPointF(4, -3)});                  // head
    p.drawPolyline(QPolygonF{c + QPointF(-7, 1), c + QPointF(-7, 7), c + QPointF(7, 7), c + QPointF(7, 1)}); // tray
}

void PreviewPanel::call(const std::function<void()>& f) {
    interact();
    if (f)
        f();
}

void PreviewPanel::interact() {
    if (actions_.noteInteraction)
        actions_.noteInteraction();
}

void PreviewPanel::setHover(bool hovering) {
    hovering_ = hovering;
    if (actions_.hoverChanged)
        actions_.hoverChanged(hovering);
    animateTo(hoverFade_, hoverOpacity_, hovering ? 1.0 : 0.0);
    update();
}

QVariantAnimation* PreviewPanel::easeOut(const QString& name, int ms, std::function<void(double)> apply) {
    auto* a = new QVariantAnimation(this);
    a->setObjectName(name);
    a->setDuration(ms);
    a->setEasingCurve(QEasingCurve::OutQuad);
    connect(a, &QVariantAnimation::valueChanged, this, [this, apply = std::move(apply)](const QVariant& v) {
        apply(v.toDouble());
        update();
    });
    return a;
}

void PreviewPanel::animateTo(QVariantAnimation* a, double from, double to) {
    if (a->state() == QAbstractAnimation::Running && a->endValue().toDouble() == to)
        return;
    a->stop();
    if (from == to)
        return;
    a->setStartValue(from);
    a->setEndValue(to);
    a->start();
}

void PreviewPanel::settlePills() {
    animateTo(pillScale_[0], pillScales_[0], isCopying_ || heldPill_ == 0 ? pressedPillScale : 1.0);
    animateTo(pillScale_[1], pillScales_[1], isSaving_ || heldPill_ == 1 ? pressedPillScale : 1.0);
    update();
}

void PreviewPanel::pressCopy() {
    interact();
    if (isCopying_ || !actions_.copy)
        return;
    isCopying_ = true;
    didCopyRecently_ = false;
    settlePills();
    QPointer<PreviewPanel> self(this);
    actions_.copy([self](bool) {
        if (!self)
            return;
        self->isCopying_ = false;
        self->didCopyRecently_ = true;
        self->settlePills();
        QTimer::singleShot(confirmationMs, self, [self] {
            if (!self)
                return;
            self->didCopyRecently_ = false;
            self->update();
        });
    });
}

void PreviewPanel::pressSave() {
    interact();
    if (isSaving_ || !actions_.save)
        return;
    isSaving_ = true;
    didSaveRecently_ = false;
    settlePills();
    QPointer<PreviewPanel> self(this);
    actions_.save([self](bool ok) {
        if (!self)
            return;
        self->isSaving_ = false;
        self->didSaveRecently_ = ok;
        self->settlePills();
        if (ok)
            QTimer::singleShot(confirmationMs, self, [self] {
                if (!self)
                    return;
                self->didSaveRecently_ = false;
                self->update();
            });
    });
}

void PreviewPanel::prepareDrag() {
    if (!image_)
        return drag_.clear();
    // A queued preparation does not keep a superseded picture alive.
    drag_.prepareIfNeeded(image_->cacheKey(), [weak = std::weak_ptr<const QImage>(image_)] { return weak.lock(); });
}

std::optional<DragExportCache::Payload> PreviewPanel::dragPayload() {
    if (!image_)
        return std::nullopt;
    return drag_.payload(image_->cacheKey(), [image = image_] { return image; });
}

void PreviewPanel::startDrag() {
    if (const auto payload = dragPayload())
        DragExportCache::runDrag(this, *payload, 30);
}

} // namespace lumivane
