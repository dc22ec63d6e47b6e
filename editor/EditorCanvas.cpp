#include "editor/EditorCanvas.h"
#include "editor/AnnotationPainter.h"
#include "editor/CanvasOverlayPainter.h"
#include "editor/CanvasTextEditing.h"
#include "editor/EditorRenderer.h"
#include "editor/tools/CanvasTool.h"
#include "editor/tools/CropTool.h"
#include "editor/tools/MarkerTool.h"
#include "editor/tools/PenTool.h"
#include "editor/tools/SelectionGesture.h"
#include "editor/tools/ShapeTool.h"
#include "editor/tools/StepTool.h"
#include "editor/tools/TextTool.h"
#include "settings/AppSettings.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace lumivane {

namespace ci = CanvasInteraction;

EditorCanvas::EditorCanvas(EditorHost& host, QWidget* parent)
    : QWidget(parent), host_(host), select_(std::make_unique<SelectTool>(*this)),
      shape_(std::make_unique<ShapeTool>(*this)), crop_(std::make_unique<CropTool>(*this)),
      text_(std::make_unique<TextTool>(*this)), marker_(std::make_unique<MarkerTool>(*this)),
      pen_(std::make_unique<PenTool>(*this)), step_(std::make_unique<StepTool>(*this)),
      selection_(std::make_unique<SelectionGesture>(*this)), textEditing_(std::make_unique<CanvasTextEditing>(*this)) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&host_, &EditorHost::editorDocumentChanged, this, &EditorCanvas::documentChangedOutside);
    if (parent) {
        watchedParent_ = parent;
        parent->installEventFilter(this);
        viewportSize_ = parent->size();
    }
    lastDocument_ = document();
    updateLayout();
}

EditorCanvas::~EditorCanvas() = default;

QTextEdit* EditorCanvas::textEditor() const {
    return textEditing_->field();
}

bool EditorCanvas::isEditingText() const {
    return textEditing_->isEditing();
}

QSize EditorCanvas::sizeHint() const {
    return QSize(int(std::ceil(layout_.frameSize.width())), int(std::ceil(layout_.frameSize.height())));
}

QRectF EditorCanvas::imageRect() const {
    return layout_.imageRect;
}

void EditorCanvas::setZoomScale(double scale) {
    if (!std::isfinite(scale) || scale <= 0 || scale == zoomScale_)
        return;
    zoomScale_ = scale;
    updateLayout();
    emit zoomScaleChanged(scale);
}

void EditorCanvas::setViewportSize(QSize size) {
    if (size == viewportSize_)
        return;
    viewportSize_ = size;
    updateLayout();
}

bool EditorCanvas::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange) {
        if (watchedParent_)
            watchedParent_->removeEventFilter(this);
        watchedParent_ = parentWidget();
        if (watchedParent_) {
            watchedParent_->installEventFilter(this);
            setViewportSize(parentWidget()->size());
        }
    }
    return QWidget::event(event);
}

bool EditorCanvas::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedParent_ && event->type() == QEvent::Resize)
        setViewportSize(parentWidget()->size());
    return QWidget::eventFilter(watched, event);
}

void EditorCanvas::resizeEvent(QResizeEvent*) {
    textEditing_->positionField();
}

void EditorCanvas::updateLayout() {
    const EditorDocument* doc = document();
    const QSizeF imageSize = doc ? doc->imageSize() : QSizeF();
    const CanvasBackgroundStyle background = doc ? doc->backgroundStyle : CanvasBackgroundStyle{};
    layout_ = ci::layout(imageSize, background, QSizeF(viewportSize_), zoomScale_);
    const QSize frame = sizeHint();
    if (size() != frame)
        resize(frame);
    updateDisplayScale();
    textEditing_->positionField();
    update();
}

void EditorCanvas::updateDisplayScale() {
    EditorDocument* doc = document();
    if (!doc)
        return;
    const double scale = ci::markerDisplayScale(layout_.imageRect, doc->imageSize());
    if (std::isfinite(scale) && scale > 0)
        doc->editorDisplayScale = scale;
}

QPointF EditorCanvas::toImage(QPointF view) const {
    const EditorDocument* doc = document();
    if (!doc)
        return view;
    return ci::scaled(view, layout_.imageRect, QRectF(QPointF(0, 0), doc->imageSize()));
}

QPointF EditorCanvas::toView(QPointF image) const {
    const EditorDocument* doc = document();
    if (!doc)
        return image;
    return ci::scaled(image, QRectF(QPointF(0, 0), doc->imageSize()), layout_.imageRect);
}

QRectF EditorCanvas::toView(const QRectF& image) const {
    return QRectF(toView(image.topLeft()), toView(image.bottomRight()));
}
QRectF EditorCanvas::toImage(const QRectF& view) const {
    return QRectF(toImage(view.topLeft()), toImage(view.bottomRight()));
}

double EditorCanvas::imageToViewScale() const {
    const EditorDocument* doc = document();
    return doc ? layout_.imageRect.width() / std::max(1.0, doc->imageSize().width()) : 1.0;
}

double EditorCanvas::displayScale() const {
    const EditorDocument* doc = document();
    return doc ? ci::markerDisplayScale(layout_.imageRect, doc->imageSize()) : 1.0;
}

void EditorCanvas::cancelGestures() {
    gesture_ = nullptr;
    for (CanvasTool* tool :
         std::initializer_list<CanvasTool*>{select_.get(), shape_.get(), crop_.get(), text_.get(), marker_.get(),
                                            pen_.get(), step_.get(), selection_.get()})
        tool->cancel();
}

void EditorCanvas::documentChangedOutside() {
    EditorDocument* doc = document();
    cancelGestures();
    if (const auto& edited = textEditing_->editedID();
        edited && (doc != lastDocument_ || !doc || !doc->find(*edited))) {
        // The edited annotation is gone: drop the editing without recording it.
        textEditing_->close(false);
    }
    if (doc != lastDocument_ || !doc)
        effects_.clear();
    lastDocument_ = doc;
    updateLayout();
}

CanvasTool& EditorCanvas::currentTool() const {
    const EditorDocument* doc = document();
    switch (doc ? doc->selectedTool : AnnotationTool::select) {
    case AnnotationTool::select:
        return *select_;
    case AnnotationTool::marker:
        return *marker_;
    case AnnotationTool::pen:
        return *pen_;
    case AnnotationTool::step:
        return *step_;
    case AnnotationTool::crop:
        return *crop_;
    case AnnotationTool::text:
        return *text_;
    default:
        return *shape_;
    }
}

// ---- edits ----

void EditorCanvas::transact(const std::function<void(EditorDocument&)>& change) {
    if (!host_.editDocument(change))
        return;
    emit documentEdited();
    update();
}

void EditorCanvas::commitFrom(const EditorSnapshot& previous) {
    if (!document())
        return;
    host_.commitEditorChange(previous);
    emit documentEdited();
    update();
}

void EditorCanvas::finishTextEditing() {
    textEditing_->finish();
}

void EditorCanvas::annotationMoved(const QUuid& id) {
    if (textEditing_->isEditing(id))
        textEditing_->positionField();
    update();
}

void EditorCanvas::finalizeCurrentEditingState() {
    textEditing_->finish();
    selection_->finish();
    cancelGestures();
    update();
}

void EditorCanvas::deleteSelectedAnnotation() {
    EditorDocument* doc = document();
    if (!doc || !doc->selectedAnnotationID)
        return;
    const QUuid id = *doc->selectedAnnotationID;
    if (textEditing_->isEditing(id)) {
        // The commit is taken from before the editing began.
        const EditorSnapshot previous =
            textEditing_->snapshotBefore() ? *textEditing_->snapshotBefore() : doc->snapshot();
        textEditing_->close(false);
        doc->remove(id);
        doc->selectedAnnotationID.reset();
        setFocus();
        commitFrom(previous);
        return;
    }
    transact([&](EditorDocument& d) {
        d.remove(id);
        d.selectedAnnotationID.reset();
    });
}

// ---- pointer ----

void EditorCanvas::mousePressEvent(QMouseEvent* event) {
    emit backgroundTapped();
    EditorDocument* doc = document();
    if (event->button() != Qt::LeftButton || !doc || !doc->baseImage)
        return;
    setFocus(Qt::MouseFocusReason);
    pressPoint_ = event->position();
    moved_ = false;
    gesture_ = nullptr;
    const AnnotationTool tool = doc->selectedTool;
    const auto hit = ci::hitTest(doc->annotations, toImage(pressPoint_));
    bool manipulate = false;
    if (hit && !textEditing_->isEditing(hit->annotation)) {
        if (tool == AnnotationTool::marker || tool == AnnotationTool::pen) {
            // Marker and pen draw over annotations; only the selected stroke of their kind moves.
            const Annotation* a = doc->find(hit->annotation);
            manipulate = a && a->kind == createsKind(tool) && doc->selectedAnnotationID == hit->annotation;
        } else {
            manipulate = true;
        }
    }
    if (manipulate) {
        selection_->grab(*hit);
        if (selection_->press(pressPoint_))
            gesture_ = selection_.get();
        return;
    }
    if (!layout_.imageRect.contains(pressPoint_))
        return;
    CanvasTool& current = currentTool();
    if (current.press(pressPoint_))
        gesture_ = &current;
    update();
}

void EditorCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    EditorDocument* doc = document();
    if (!doc)
        return;
    if (!gesture_) {
        if (!(event->buttons() & Qt::LeftButton))
            marker_->hover(p);
        const bool overAnnotation = ci::hitTest(doc->annotations, toImage(p)).has_value();
        setCursor(currentTool().cursor(overAnnotation));
        return;
    }
    if (!moved_ && QLineF(pressPoint_, p).length() >= ci::clickThreshold)
        moved_ = true;
    gesture_->move(p, moved_);
}

void EditorCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF p = event->position();
    CanvasTool* gesture = gesture_;
    gesture_ = nullptr;
    if (!moved_ && QLineF(pressPoint_, p).length() >= ci::clickThreshold)
        moved_ = true;
    if (gesture)
        gesture->release(p, moved_);
    if (!gesture || !moved_)
        handleTap(p);
    update();
}

void EditorCanvas::leaveEvent(QEvent*) {
    marker_->leave();
}

void EditorCanvas::keyPressEvent(QKeyEvent* event) {
    const EditorDocument* doc = document();
    const bool deleteKey = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete;
    if (deleteKey && doc && doc->selectedAnnotationID && !textEditing_->isEditing()) {
        deleteSelectedAnnotation();
        event->accept();
        return;
    }
    const bool earlier = event->key() == Qt::Key_BracketLeft, later = event->key() == Qt::Key_BracketRight;
    if ((earlier || later) && doc && !textEditing_->isEditing()) {
        moveSelectedStep(earlier ? -1 : 1);
        event->accept();
        return;
    }
    event->ignore();
}

void EditorCanvas::handleTap(QPointF viewPoint) {
    EditorDocument* doc = document();
    if (!doc)
        return;
    const auto hit = ci::hitTest(doc->annotations, toImage(viewPoint));
    const bool doubleTap = hit && lastTapAnnotationID_ == hit->annotation && lastTapTime_.isValid() &&
                           lastTapTime_.elapsed() < qint64(ci::doubleTapInterval * 1000);
    lastTapTime_.restart();
    lastTapAnnotationID_ = hit ? std::optional<QUuid>(hit->annotation) : std::nullopt;
    if (!hit) {
        finishTextEditing();
        if (document() && document()->selectedAnnotationID) {
            document()->selectedAnnotationID.reset();
            emit documentEdited();
        }
        update();
        return;
    }
    const Annotation* a = doc->find(hit->annotation);
    if (a && a->kind == AnnotationKind::text && (doc->selectedTool == AnnotationTool::text || doubleTap)) {
        if (!textEditing_->isEditing(hit->annotation))
            textEditing_->begin(hit->annotation, std::nullopt);
        return;
    }
    finishTextEditing();
    doc = document();
    if (doc && doc->find(hit->annotation) && doc->selectedAnnotationID != hit->annotation) {
        doc->selectedAnnotationID = hit->annotation;
        emit documentEdited();
    }
    update();
}

// ---- painting ----

void EditorCanvas::paintAnnotation(QPainter& painter, const Annotation& a) {
    const EditorDocument* doc = document();
    if (!doc || !doc->baseImage)
        return;
    if (a.kind == AnnotationKind::text && textEditing_->isEditing(a.id)) {
        // The field shows the text; its box stays drawn behind the field.
        if (a.textBackground)
            AnnotationPainter::paintTextBackground(painter, AnnotationPainter::textBox(a), *a.textBackground);
        return;
    }
    const QRectF imageBounds(QPointF(0, 0), doc->imageSize());
    AnnotationPainter::paint(painter, a, *doc->baseImage, imageBounds, [this, doc](const Annotation& e, QRect* pixels) {
        return effects_.effect(*doc, e, pixels);
    });
}

namespace {
// Whether an annotation may paint inside `area` (image points). Strokes and steps are
// bounded by their rectangle (and a step's tail); the other kinds always paint.
bool mayPaintIn(const Annotation& a, const QRectF& area) {
    switch (a.kind) {
    case AnnotationKind::pen:
    case AnnotationKind::marker:
        return a.rect.normalized().adjusted(-2, -2, 2, 2).intersects(area);
    case AnnotationKind::step: {
        QRectF bounds = a.rect.normalized();
        if (a.arrowEnd)
            bounds |= QRectF(*a.arrowEnd, QSizeF(1, 1));
        return bounds.adjusted(-2, -2, 2, 2).intersects(area);
    }
    default:
        return true;
    }
}
} // namespace

void EditorCanvas::paintImage(QPainter& painter, const EditorDocument& doc) {
    const QRectF imageRect = layout_.imageRect;
    const double k = imageToViewScale();
    QPainterPath clip;
    if (doc.backgroundStyle.isEnabled) {
        const CanvasBackgroundStyle& style = doc.backgroundStyle;
        const double pad = std::max(style.padding, 0.0);
        painter.save();
        painter.translate(layout_.contentRect.topLeft());
        painter.scale(k, k);
        EditorRenderer::drawBackground(painter, style, layout_.contentSize, QRectF(QPointF(pad, pad), doc.imageSize()));
        painter.restore();
        const double corner =
            std::clamp(style.cornerRadius * k, 0.0, std::min(imageRect.width(), imageRect.height()) / 2);
        clip.addRoundedRect(imageRect, corner, corner);
    } else {
        clip.addRect(imageRect);
    }

    // The base image, scaled once per display size.
    const QSize target = imageRect.size().toSize() * devicePixelRatioF();
    if (scaledImage_.size() != target || scaledImageSource_ != doc.baseImage.get() ||
        scaledImageRevision_ != doc.imageRevision) {
        scaledImage_ =
            QPixmap::fromImage(doc.baseImage->scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        scaledImage_.setDevicePixelRatio(devicePixelRatioF());
        scaledImageSource_ = doc.baseImage.get();
        scaledImageRevision_ = doc.imageRevision;
    }
    painter.save();
    painter.setClipPath(clip);
    painter.drawPixmap(imageRect.topLeft(), scaledImage_);

    // Annotations and the draft of the gesture under way, in image points.
    painter.translate(imageRect.topLeft());
    painter.scale(k, k);
    painter.setPen(Qt::NoPen);
    const QRectF exposed = toImage(QRectF(exposed_));
    for (const Annotation& a : doc.annotations)
        if (mayPaintIn(a, exposed))
            paintAnnotation(painter, a);
    if (gesture_)
        gesture_->paintPreview(painter);
    painter.restore();
}

void EditorCanvas::paintEvent(QPaintEvent* event) {
    exposed_ = event->rect();
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const EditorDocument* doc = document();
    if (!doc || !doc->baseImage || doc->baseImage->isNull())
        return;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    paintImage(painter, *doc);

    // The crop framing shows whatever the tool; the other tools' frames above it.
    crop_->paintOverlay(painter);
    CanvasTool& current = currentTool();
    if (&current != crop_.get())
        current.paintOverlay(painter);
    if (doc->selectedAnnotationID && !textEditing_->isEditing())
        if (const Annotation* a = doc->find(*doc->selectedAnnotationID))
            CanvasOverlayPainter::paintSelection(painter, *a, [this](QPointF p) { return toView(p); });
    if (const auto field = textEditing_->fieldGeometry())
        CanvasOverlayPainter::paintTextFieldFrame(painter, *field);
    if (!gesture_)
        current.paintHover(painter);
}

} // namespace lumivane
