#include "preview/PreviewWindowController.h"
#include "export/DragExportCache.h"
#include "platform/CoordinateSpace.h"
#include "platform/PanelWindowHints.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>
#include <QVariantAnimation>
#include <cmath>

namespace lumivane {

// --- panel ------------------------------------------------------------------

namespace {
constexpr double imageSide = 182;
constexpr double margin = (PreviewWindowController::panelSize - imageSide) / 2;
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

class PreviewPanel : public QWidget {
public:
    explicit PreviewPanel(PreviewActions actions)
        : QWidget(nullptr,
                  Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
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

    static QString windowTitleText() { return QStringLiteral("Lumivane プレビュー"); }

    // Without a compositing manager the transparent margin would show black: the
    // window is then cut to the card's shape and painted opaque inside it.
    void setShapedToCard(bool shaped) {
        shapedToCard_ = shaped;
        if (shaped)
            setMask(QRegion(rounded(imageArea(), 18).toFillPolygon().toPolygon()));
        else
            clearMask();
        update();
    }

    // The drag payload is encoded once the picture is on screen, not while it is being shown.
    void setImage(ImageRef image) {
        image_ = std::move(image);
        presentPending_ = true;
        update();
    }

    // Layout of the hover controls (panel coordinates).
    QRectF imageArea() const { return QRectF(margin, margin, imageSide, imageSide); }
    QRectF closeRect() const { return QRectF(margin + imageSide - 20 - 30, margin + 20, 30, 30); }
    QRectF editRect() const { return QRectF(margin + 20, margin + imageSide - 20 - 30, 30, 30); }
    QRectF dragRect() const { return QRectF(margin + imageSide - 20 - 30, margin + imageSide - 20 - 30, 30, 30); }
    QRectF copyRect() const { return QRectF(width() / 2.0 - 37, height() / 2.0 - 5 - 30, 74, 30); }
    QRectF saveRect() const { return QRectF(width() / 2.0 - 37, height() / 2.0 + 5, 74, 30); }

    QString copyTitle() const {
        return didCopyRecently_ ? QStringLiteral("コピー済み")
               : isCopying_     ? QStringLiteral("コピー中...")
                                : QStringLiteral("コピー");
    }
    QString saveTitle() const {
        return didSaveRecently_ ? QStringLiteral("保存済み")
               : isSaving_      ? QStringLiteral("保存中...")
                                : QStringLiteral("保存");
    }
    bool isHovering() const { return hovering_; }

    // Painted fade and slide of the hide animation. The panel is never faded through
    // the window's opacity: Qt's Wayland platform cannot set it (and says so on every
    // call), and on X11 it needs a compositor just as painted translucency does.
    void setFade(double opacity, double slide) {
        fade_ = opacity;
        slide_ = slide;
        update();
    }
    double fade() const { return fade_; }

    // Shown afresh or hidden: the pointer is not over it until it enters again
    // (a hidden window gets no leave event, and the next picture must not appear
    // with the controls of the last one).
    void resetHover() {
        if (hovering_)
            setHover(false);
        hoverFade_->stop();
        hoverOpacity_ = 0;
        heldPill_ = -1;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
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

    void enterEvent(QEnterEvent*) override { setHover(true); }
    void leaveEvent(QEvent*) override { setHover(false); }

    // The handle and the thumbnail itself (outside the other controls) drag the
    // picture out; a press there that does not move is a click.
    void mousePressEvent(QMouseEvent* e) override {
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

    void mouseMoveEvent(QMouseEvent* e) override {
        if (!pressOnDrag_ || dragStarted_ || !(e->buttons() & Qt::LeftButton))
            return;
        interact();
        const QPointF d = e->position() - pressPos_;
        if (std::hypot(d.x(), d.y()) < 3.0)
            return;
        dragStarted_ = true;
        startDrag();
    }

    void mouseReleaseEvent(QMouseEvent* e) override {
        const QPointF pos = e->position();
        const bool dragged = dragStarted_;
        pressOnDrag_ = dragStarted_ = false;
        if (heldPill_ >= 0) {
            heldPill_ = -1;
            settlePills();
        }
        if (dragged)
            return;
        if (hovering_) {
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

private:
    bool startsDrag(const QPointF& pos) const {
        if (!rounded(QRectF(rect()), 20).contains(pos))
            return false;
        if (!hovering_)
            return true;
        return dragRect().contains(pos) || !(closeRect().contains(pos) || editRect().contains(pos) ||
                                             copyRect().contains(pos) || saveRect().contains(pos));
    }

    // The picture scaled down ahead with area averaging (a one-pixel line in a large
    // capture stays a line), at the screen's pixel density.
    QImage thumbnail(const QSizeF& size) {
        const qreal dpr = devicePixelRatioF();
        const QSize pixels = (size * dpr).toSize().expandedTo(QSize(1, 1));
        if (thumbnailKey_ != image_->cacheKey() || thumbnail_.size() != pixels) {
            thumbnail_ = image_->scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            thumbnailKey_ = image_->cacheKey();
        }
        thumbnail_.setDevicePixelRatio(dpr);
        return thumbnail_;
    }

    // An arrow leaving a tray, drawn as lines so it is sharp at every scale; dimmed
    // while there is nothing to drag.
    static void paintDragHandle(QPainter& p, const QRectF& r, bool enabled) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(1, 1, 1, enabled ? 0.92f : 0.72f));
        p.drawEllipse(r);
        const QPointF c = r.center();
        QPen pen(QColor::fromRgbF(0, 0, 0, enabled ? 0.82f : 0.28f), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawLine(c + QPointF(0, 3), c + QPointF(0, -7));                                      // shaft
        p.drawPolyline(QPolygonF{c + QPointF(-4, -3), c + QPointF(0, -7), c + QPointF(4, -3)}); // head
        p.drawPolyline(QPolygonF{c + QPointF(-7, 1), c + QPointF(-7, 7), c + QPointF(7, 7), c + QPointF(7, 1)}); // tray
    }

    void call(const std::function<void()>& f) {
        interact();
        if (f)
            f();
    }
    void interact() {
        if (actions_.noteInteraction)
            actions_.noteInteraction();
    }
    void setHover(bool hovering) {
        hovering_ = hovering;
        if (actions_.hoverChanged)
            actions_.hoverChanged(hovering);
        animateTo(hoverFade_, hoverOpacity_, hovering ? 1.0 : 0.0);
        update();
    }

    // An ease-out animation of one painted value, found by its name.
    QVariantAnimation* easeOut(const QString& name, int ms, std::function<void(double)> apply) {
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
    static void animateTo(QVariantAnimation* a, double from, double to) {
        if (a->state() == QAbstractAnimation::Running && a->endValue().toDouble() == to)
            return;
        a->stop();
        if (from == to)
            return;
        a->setStartValue(from);
        a->setEndValue(to);
        a->start();
    }
    // A pill shrinks a little while it is held down or its work runs.
    void settlePills() {
        animateTo(pillScale_[0], pillScales_[0], isCopying_ || heldPill_ == 0 ? pressedPillScale : 1.0);
        animateTo(pillScale_[1], pillScales_[1], isSaving_ || heldPill_ == 1 ? pressedPillScale : 1.0);
        update();
    }

    void pressCopy() {
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

    void pressSave() {
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

    // One payload per image object.
    void prepareDrag() {
        if (!image_)
            return drag_.clear();
        // A queued preparation does not keep a superseded picture alive.
        drag_.prepareIfNeeded(image_->cacheKey(), [weak = std::weak_ptr<const QImage>(image_)] { return weak.lock(); });
    }
    std::optional<DragExportCache::Payload> dragPayload() {
        if (!image_)
            return std::nullopt;
        return drag_.payload(image_->cacheKey(), [image = image_] { return image; });
    }

    void startDrag() {
        if (const auto payload = dragPayload())
            DragExportCache::runDrag(this, *payload, 30);
    }

    PreviewActions actions_;
    DragExportCache drag_;
    ImageRef image_;
    bool hovering_ = false;
    double hoverOpacity_ = 0; // painted opacity of the hover controls
    QVariantAnimation* hoverFade_ = nullptr;
    int heldPill_ = -1; // 0 copy, 1 save
    double pillScales_[2] = {1.0, 1.0};
    QVariantAnimation* pillScale_[2] = {nullptr, nullptr};
    bool isCopying_ = false, didCopyRecently_ = false, isSaving_ = false, didSaveRecently_ = false;
    bool pressOnDrag_ = false, dragStarted_ = false;
    bool shapedToCard_ = false;
    bool presentPending_ = false;
    double fade_ = 1.0;
    double slide_ = 0;
    QPointF pressPos_;
    QImage thumbnail_;
    qint64 thumbnailKey_ = 0;
};

// --- controller -------------------------------------------------------------

PreviewWindowController::PreviewWindowController(std::shared_ptr<ScreenProvider> screens, PreviewActions actions)
    : screens_(std::move(screens)), panel_(std::make_unique<PreviewPanel>(std::move(actions))) {}

PreviewWindowController::~PreviewWindowController() = default;

QWidget* PreviewWindowController::window() const {
    return panel_.get();
}

bool PreviewWindowController::isVisible() const {
    return panel_->isVisible();
}

void PreviewWindowController::show(const ImageRef& image, const std::optional<QRectF>& frame) {
    if (hideAnimation_) {
        hideAnimation_->stop();
        hideAnimation_->deleteLater();
        hideAnimation_ = nullptr;
    }
    panel_->setImage(image);
    panel_->setFade(1, 0);
    panel_->resetHover();
    const std::optional<ScreenInfo> main = screens_ ? screens_->mainScreen() : std::nullopt;
    const std::optional<QRectF> f = frame ? frame : main ? std::optional<QRectF>(main->visibleFrame) : std::nullopt;
    // Placement. On X11 the panel moves itself to the lower-left corner of the
    // capture's screen. A Wayland client cannot place a window (the compositor puts
    // xdg toplevels where it likes); only a layer-shell surface can be anchored to
    // an output's corner. Qt 6.4 as Debian 12 ships it offers no sound way to make a
    // Qt window a layer surface: its QtWaylandClient private headers are not
    // packaged, and layer-shell-qt is built for Qt 5 only. So on Wayland the panel
    // stays an ordinary frameless tool window and the compositor places it.
    if (f && main) {
        const QPointF origin(f->left() + edgeInset, f->top() + edgeInset); // y up: top() is minY
        const QPointF topLeft = CoordinateSpace::logicalTopLeftForGlobalOrigin(
            origin, panelSize, CoordinateSpace::mainBottom(main->nativeGeometry, main->scale));
        restingOrigin_ = origin;
        restingPosition_ = topLeft.toPoint();
        panel_->move(*restingPosition_);
    }
    readyNativeWindow();
    panel_->show();
    panel_->raise();
}

bool PreviewWindowController::isHovering() const {
    return panel_->isHovering();
}

double PreviewWindowController::paintedOpacity() const {
    return panel_->fade();
}

void PreviewWindowController::prepare() {
    if (!panel_->testAttribute(Qt::WA_WState_Created))
        readyNativeWindow();
}

void PreviewWindowController::readyNativeWindow() {
    panel_->setShapedToCard(screens_ && !screens_->showsTranslucentWindows());
    panel_->winId(); // the native window, so that it can carry the hints before it is mapped
    markAsFloatingPanel(panel_->windowHandle());
}

void PreviewWindowController::hideWithFadeSlide() {
    if (!panel_->isVisible() || hideAnimation_)
        return;
    panel_->resetHover();
    const QPoint start = restingPosition_.value_or(panel_->pos());
    // A Wayland window cannot move itself: the card slides inside it instead.
    const bool slideInside = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    auto* group = new QParallelAnimationGroup(panel_.get());
    auto* fade = new QVariantAnimation(group);
    fade->setDuration(hideDurationMs);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(fade, &QVariantAnimation::valueChanged, panel_.get(), [this, slideInside](const QVariant& v) {
        const double t = v.toDouble();
        panel_->setFade(1 - t, slideInside ? t * slideDistance : 0);
    });
    group->addAnimation(fade);
    if (!slideInside) {
        auto* slide = new QPropertyAnimation(panel_.get(), "pos", group);
        slide->setDuration(hideDurationMs);
        slide->setStartValue(start);
        slide->setEndValue(start - QPoint(slideDistance, 0));
        slide->setEasingCurve(QEasingCurve::InOutQuad);
        group->addAnimation(slide);
    }
    hideAnimation_ = group;
    QObject::connect(group, &QAbstractAnimation::finished, panel_.get(), [this, group, start, slideInside] {
        if (!slideInside)
            panel_->move(start);
        panel_->hide();
        panel_->setFade(1, 0);
        if (hideAnimation_ == group)
            hideAnimation_ = nullptr;
        group->deleteLater();
    });
    group->start();
}

void PreviewWindowController::removeFromScreen() {
    if (hideAnimation_) {
        hideAnimation_->stop();
        hideAnimation_->deleteLater();
        hideAnimation_ = nullptr;
    }
    panel_->hide();
    panel_->setFade(1, 0);
    panel_->resetHover();
    if (restingPosition_)
        panel_->move(*restingPosition_);
}

} // namespace lumivane
