#pragma once

#include "export/DragExportCache.h"
#include "preview/PreviewWindowController.h"

#include <QImage>
#include <QWidget>

class QPainter;
class QVariantAnimation;

namespace lumivane {

// The thumbnail card: picture, hover controls (close, edit, drag, copy, save) and
// the painted fade of the hide animation.
class PreviewPanel : public QWidget {
public:
    // Side of the thumbnail card and the transparent margin around it.
    static constexpr double imageSide = 182;
    static constexpr double margin = (PreviewWindowController::panelSize - imageSide) / 2;

    explicit PreviewPanel(PreviewActions actions);

    static QString windowTitleText() { return QStringLiteral("Lumivane プレビュー"); }

    // Without a compositing manager the transparent margin would show black: the
    // window is then cut to the card's shape and painted opaque inside it.
    void setShapedToCard(bool shaped);

    // The drag payload is encoded once the picture is on screen, not while it is being shown.
    void setImage(ImageRef image);

    // Layout of the hover controls (panel coordinates).
    QRectF imageArea() const { return QRectF(margin, margin, imageSide, imageSide); }
    QRectF closeRect() const { return QRectF(margin + imageSide - 20 - 30, margin + 20, 30, 30); }
    QRectF editRect() const { return QRectF(margin + 20, margin + imageSide - 20 - 30, 30, 30); }
    QRectF dragRect() const { return QRectF(margin + imageSide - 20 - 30, margin + imageSide - 20 - 30, 30, 30); }
    QRectF copyRect() const { return QRectF(width() / 2.0 - 37, height() / 2.0 - 5 - 30, 74, 30); }
    QRectF saveRect() const { return QRectF(width() / 2.0 - 37, height() / 2.0 + 5, 74, 30); }
    QRectF readTextRect() const { return QRectF(margin + 20, margin + 20, 30, 30); }
    QRectF codesRect() const { return QRectF(width() / 2.0 - 34, margin + 20, 68, 30); }

    // Codes found in the picture: a pill offers them, hover or not.
    void setCodesFound(bool found);
    bool offersCodes() const { return codesFound_; }
    bool offersTextReading() const { return bool(actions_.readText); }

    QString copyTitle() const;
    QString saveTitle() const;
    bool isHovering() const { return hovering_; }

    // Painted fade and slide of the hide animation. The panel is never faded through
    // the window's opacity: Qt's Wayland platform cannot set it (and says so on every
    // call), and on X11 it needs a compositor just as painted translucency does.
    void setFade(double opacity, double slide);
    double fade() const { return fade_; }

    // Shown afresh or hidden: the pointer is not over it until it enters again
    // (a hidden window gets no leave event, and the next picture must not appear
    // with the controls of the last one).
    void resetHover();

protected:
    void paintEvent(QPaintEvent*) override;

    void enterEvent(QEnterEvent*) override { setHover(true); }
    void leaveEvent(QEvent*) override { setHover(false); }

    // The handle and the thumbnail itself (outside the other controls) drag the
    // picture out; a press there that does not move is a click.
    void mousePressEvent(QMouseEvent* e) override;

    void mouseMoveEvent(QMouseEvent* e) override;

    void mouseReleaseEvent(QMouseEvent* e) override;

    // "画面に固定".
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    bool startsDrag(const QPointF& pos) const;

    // The picture scaled down ahead with area averaging (a one-pixel line in a large
    // capture stays a line), at the screen's pixel density.
    QImage thumbnail(const QSizeF& size);

    // An arrow leaving a tray, drawn as lines so it is sharp at every scale; dimmed
    // while there is nothing to drag.
    static void paintDragHandle(QPainter& p, const QRectF& r, bool enabled);

    void call(const std::function<void()>& f);
    void interact();
    void setHover(bool hovering);

    // An ease-out animation of one painted value, found by its name.
    QVariantAnimation* easeOut(const QString& name, int ms, std::function<void(double)> apply);
    static void animateTo(QVariantAnimation* a, double from, double to);
    // A pill shrinks a little while it is held down or its work runs.
    void settlePills();

    void pressCopy();

    void pressSave();

    // One payload per image object.
    void prepareDrag();
    std::optional<DragExportCache::Payload> dragPayload();

    void startDrag();

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
    bool codesFound_ = false;
    bool presentPending_ = false;
    double fade_ = 1.0;
    double slide_ = 0;
    QPointF pressPos_;
    QImage thumbnail_;
    qint64 thumbnailKey_ = 0;
};

} // namespace lumivane
