#include "editor/EditorCanvas.h"
#include "editor/EditorRenderer.h"
#include "editor/InlineTextEditor.h"
#include "editor_model/AnnotationGeometry.h"
#include "settings/AppSettings.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace lumivane {

namespace ci = CanvasInteraction;

namespace {

QColor colorOf(const RgbaColor& c) {
    auto unit = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(unit(c.red)), float(unit(c.green)), float(unit(c.blue)), float(unit(c.alpha)));
}

QColor accentColor(double alpha = 1) {
    QColor c = colorOf(RgbaColor::accent());
    c.setAlphaF(float(alpha));
    return c;
}

bool drawsRectangle(AnnotationTool tool) {
    switch (tool) {
    case AnnotationTool::rectangle:
    case AnnotationTool::ellipse:
    case AnnotationTool::highlight:
    case AnnotationTool::blur:
    case AnnotationTool::pixelate:
    case AnnotationTool::spotlight:
    case AnnotationTool::crop:
    case AnnotationTool::text:
        return true;
    default:
        return false;
    }
}

} // namespace

EditorCanvas::EditorCanvas(EditorHost& host, QWidget* parent) : QWidget(parent), host_(host) {
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

EditorCanvas::~EditorCanvas() {
    if (textEditor_) {
        textEditor_->onCommit = nullptr;
        textEditor_->onCancel = nullptr;
    }
    if (editingTextAnnotationID_)
        host_.setEditorIsEditingText(false);
}

QTextEdit* EditorCanvas::textEditor() const {
    return editingTextAnnotationID_ ? textEditor_ : nullptr;
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
    positionTextEditor();
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
    positionTextEditor();
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

void EditorCanvas::documentChangedOutside() {
    EditorDocument* doc = document();
    gesture_ = Gesture::none;
    draftRect_.reset();
    draftArrowPoints_.reset();
    draftMarkerPoints_.clear();
    draftMarkerLineWidth_.reset();
    selectedAnnotationOriginal_.reset();
    activeHandle_.reset();
    pendingHistorySnapshot_.reset();
    isManipulatingSelection_ = false;
    markerHoverPoint_.reset();
    lastEstimateLocation_.reset();
    if (editingTextAnnotationID_ && (doc != lastDocument_ || !doc || !doc->find(*editingTextAnnotationID_))) {
        // The edited annotation is gone: drop the editing without recording it.
        closeTextEditor(false);
    }
    if (doc != lastDocument_ || !doc || doc->imageRevision != effectCacheImageRevision_)
        effectCache_.clear();
    lastDocument_ = doc;
    updateLayout();
}

// ---- history transactions ----

void EditorCanvas::beginHistoryTransactionIfNeeded() {
    if (!pendingHistorySnapshot_ && document())
        pendingHistorySnapshot_ = document()->snapshot();
}

void EditorCanvas::endHistoryTransactionIfNeeded() {
    if (!pendingHistorySnapshot_)
        return;
    const EditorSnapshot previous = std::move(*pendingHistorySnapshot_);
    pendingHistorySnapshot_.reset();
    commitFrom(previous);
}

void EditorCanvas::commitFrom(const EditorSnapshot& previous) {
    if (!document())
        return;
    host_.commitEditorChange(previous);
    emit documentEdited();
    update();
}

void EditorCanvas::finalizeCurrentEditingState() {
    finishTextEditing();
    endHistoryTransactionIfNeeded();
    gesture_ = Gesture::none;
    draftRect_.reset();
    draftArrowPoints_.reset();
    draftMarkerPoints_.clear();
    isManipulatingSelection_ = false;
    activeHandle_.reset();
    update();
}

void EditorCanvas::deleteSelectedAnnotation() {
    EditorDocument* doc = document();
    if (!doc || !doc->selectedAnnotationID)
        return;
    const QUuid id = *doc->selectedAnnotationID;
    if (editingTextAnnotationID_ == id) {
        // The commit is taken from before the editing began.
        const EditorSnapshot previous = textEditingSnapshot_ ? *textEditingSnapshot_ : doc->snapshot();
        closeTextEditor(false);
        doc->remove(id);
        doc->selectedAnnotationID.reset();
        setFocus();
        commitFrom(previous);
        return;
    }
    const EditorSnapshot previous = doc->snapshot();
    doc->remove(id);
    doc->selectedAnnotationID.reset();
    commitFrom(previous);
}

// ---- pointer ----

void EditorCanvas::mousePressEvent(QMouseEvent* event) {
    emit backgroundTapped();
    EditorDocument* doc = document();
    if (event->button() != Qt::LeftButton || !doc || !doc->baseImage)
        return;
    setFocus(Qt::MouseFocusReason);
    pressPoint_ = currentPoint_ = event->position();
    moved_ = false;
    const QPointF imagePoint = toImage(pressPoint_);
    const AnnotationTool tool = doc->selectedTool;
    const auto hit = ci::hitTest(doc->annotations, imagePoint);
    bool manipulate = false;
    if (hit && !(editingTextAnnotationID_ && *editingTextAnnotationID_ == hit->annotation)) {
        if (tool == AnnotationTool::marker) {
            const Annotation* a = doc->find(hit->annotation);
            manipulate = a && a->kind == AnnotationKind::marker && doc->selectedAnnotationID == hit->annotation;
        } else {
            manipulate = true;
        }
    }
    if (manipulate) {
        gesture_ = Gesture::manipulating;
        selectedAnnotationOriginal_ = *doc->find(hit->annotation);
        activeHandle_ = hit->handle;
        return;
    }
    if (tool == AnnotationTool::select || !layout_.imageRect.contains(pressPoint_)) {
        gesture_ = Gesture::none;
        return;
    }
    if (tool == AnnotationTool::marker) {
        gesture_ = Gesture::marker;
        draftMarkerLineWidth_ = markerHoverLineWidth_ && markerHoverPoint_
                                    ? *markerHoverLineWidth_
                                    : ci::estimateMarkerLineWidth(*doc->baseImage, imagePoint);
        draftMarkerPoints_ = {pressPoint_};
        markerHoverPoint_.reset();
    } else {
        gesture_ = Gesture::drawing;
    }
    update();
}

void EditorCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    EditorDocument* doc = document();
    if (!doc)
        return;
    if (gesture_ == Gesture::none) {
        if (!(event->buttons() & Qt::LeftButton))
            handleMarkerHover(p);
        const auto hit = ci::hitTest(doc->annotations, toImage(p));
        setCursor(doc->selectedTool == AnnotationTool::select || (hit && doc->selectedTool != AnnotationTool::marker)
                      ? (hit ? Qt::SizeAllCursor : Qt::ArrowCursor)
                      : Qt::CrossCursor);
        return;
    }
    currentPoint_ = p;
    if (!moved_ && QLineF(pressPoint_, p).length() >= ci::clickThreshold)
        moved_ = true;
    switch (gesture_) {
    case Gesture::manipulating:
        if (moved_)
            handleSelectionDragChanged(p);
        break;
    case Gesture::drawing:
        if (doc->selectedTool == AnnotationTool::arrow)
            draftArrowPoints_ = std::make_pair(pressPoint_, p);
        else if (drawsRectangle(doc->selectedTool))
            draftRect_ = QRectF(pressPoint_, p).normalized();
        update();
        break;
    case Gesture::marker:
        handleMarkerDragChanged(p);
        break;
    case Gesture::none:
        break;
    }
}

void EditorCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF p = event->position();
    const Gesture gesture = gesture_;
    gesture_ = Gesture::none;
    currentPoint_ = p;
    if (!moved_ && QLineF(pressPoint_, p).length() >= ci::clickThreshold)
        moved_ = true;
    switch (gesture) {
    case Gesture::manipulating:
        if (moved_) {
            handleSelectionDragChanged(p);
            endHistoryTransactionIfNeeded();
        } else {
            handleBackgroundTap(p);
        }
        isManipulatingSelection_ = false;
        selectedAnnotationOriginal_.reset();
        activeHandle_.reset();
        break;
    case Gesture::drawing:
        draftRect_.reset();
        draftArrowPoints_.reset();
        if (moved_)
            finishDrawing(p);
        else
            handleBackgroundTap(p);
        break;
    case Gesture::marker:
        if (moved_)
            handleMarkerDragChanged(p);
        finishMarkerDrag();
        if (!moved_)
            handleBackgroundTap(p);
        break;
    case Gesture::none:
        handleBackgroundTap(p);
        break;
    }
    update();
}

void EditorCanvas::leaveEvent(QEvent*) {
    if (markerHoverPoint_) {
        markerHoverPoint_.reset();
        update();
    }
}

void EditorCanvas::keyPressEvent(QKeyEvent* event) {
    const EditorDocument* doc = document();
    const bool deleteKey = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete;
    if (deleteKey && doc && doc->selectedAnnotationID && !editingTextAnnotationID_) {
        deleteSelectedAnnotation();
        event->accept();
        return;
    }
    event->ignore();
}

void EditorCanvas::handleBackgroundTap(QPointF viewPoint) {
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
        if (editingTextAnnotationID_ != hit->annotation)
            beginTextEditing(hit->annotation, std::nullopt);
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

void EditorCanvas::handleSelectionDragChanged(QPointF viewPoint) {
    EditorDocument* doc = document();
    if (!doc || !selectedAnnotationOriginal_)
        return;
    if (!isManipulatingSelection_) {
        // The selection is part of the gesture's result, not of its starting point.
        doc->selectedAnnotationID = selectedAnnotationOriginal_->id;
        beginHistoryTransactionIfNeeded();
        isManipulatingSelection_ = true;
    }
    const Annotation& original = *selectedAnnotationOriginal_;
    Annotation a = original;
    const QPointF p = toImage(viewPoint);
    if (activeHandle_) {
        if (*activeHandle_ == AnnotationHandle::arrowStart || *activeHandle_ == AnnotationHandle::arrowEnd) {
            QPointF start = original.arrowStart.value_or(original.rect.topLeft());
            QPointF end = original.arrowEnd.value_or(original.rect.bottomRight());
            (*activeHandle_ == AnnotationHandle::arrowStart ? start : end) = p;
            a.arrowStart = start;
            a.arrowEnd = end;
            a.rect = ci::arrowRect(start, end, a.lineWidth);
        } else {
            a.rect = ci::resizedRect(original.rect, *activeHandle_, p);
        }
    } else {
        const QPointF delta = p - toImage(pressPoint_);
        a.rect = original.rect.translated(delta);
        if (a.arrowStart)
            a.arrowStart = *a.arrowStart + delta;
        if (a.arrowEnd)
            a.arrowEnd = *a.arrowEnd + delta;
        for (QPointF& m : a.markerPoints)
            m += delta;
    }
    doc->update(a);
    if (editingTextAnnotationID_ == a.id)
        positionTextEditor();
    update();
}

void EditorCanvas::finishDrawing(QPointF viewPoint) {
    EditorDocument* doc = document();
    if (!doc)
        return;
    const AnnotationTool tool = doc->selectedTool;
    const QRectF viewRect = QRectF(pressPoint_, viewPoint).normalized();
    const QRectF rect = toImage(viewRect).normalized();
    if (tool == AnnotationTool::text) {
        createTextAnnotation(viewRect);
        return;
    }
    finishTextEditing();
    const EditorSnapshot previous = doc->snapshot();
    if (tool == AnnotationTool::crop) {
        doc->cropRect = rect;
        commitFrom(previous);
        return;
    }
    const auto kind = createsKind(tool);
    if (!kind)
        return;
    const double lineWidth = host_.settings().defaultAnnotationLineWidth();
    Annotation a = ci::newAnnotation(*kind, rect, host_.configuredAnnotationColor(*kind), lineWidth);
    if (*kind == AnnotationKind::arrow) {
        if (!(QLineF(pressPoint_, viewPoint).length() > ci::minimumArrowLength))
            return;
        a.arrowStart = toImage(pressPoint_);
        a.arrowEnd = toImage(viewPoint);
        a.rect = ci::arrowRect(*a.arrowStart, *a.arrowEnd, a.lineWidth);
    }
    doc->add(a);
    commitFrom(previous);
}

void EditorCanvas::createTextAnnotation(const QRectF& viewRect) {
    finishTextEditing();
    EditorDocument* doc = document();
    if (!doc)
        return;
    const double displayScale = ci::markerDisplayScale(layout_.imageRect, doc->imageSize());
    const double f = ci::newTextFontSize(host_.settings().defaultTextFontSize(), displayScale);
    Annotation a = ci::newAnnotation(AnnotationKind::text, ci::newTextRect(toImage(viewRect), f),
                                     host_.configuredAnnotationColor(AnnotationKind::text), 0);
    a.fontSize = f;
    const EditorSnapshot previous = doc->snapshot();
    doc->add(a);
    commitFrom(previous);
    beginTextEditing(a.id, previous);
}

void EditorCanvas::handleMarkerHover(QPointF viewPoint) {
    const EditorDocument* doc = document();
    const bool show =
        doc && doc->baseImage && doc->selectedTool == AnnotationTool::marker && layout_.imageRect.contains(viewPoint);
    if (!show) {
        if (markerHoverPoint_) {
            markerHoverPoint_.reset();
            update();
        }
        return;
    }
    if (!lastEstimateLocation_ || QLineF(*lastEstimateLocation_, viewPoint).length() >= 15 || !markerHoverLineWidth_) {
        const double estimate = ci::estimateMarkerLineWidth(*doc->baseImage, toImage(viewPoint));
        markerHoverLineWidth_ = markerHoverLineWidth_ ? (*markerHoverLineWidth_ + estimate) / 2 : estimate;
        lastEstimateLocation_ = viewPoint;
    }
    markerHoverPoint_ = viewPoint;
    update();
}

void EditorCanvas::handleMarkerDragChanged(QPointF viewPoint) {
    const EditorDocument* doc = document();
    if (!doc || draftMarkerPoints_.empty() || !draftMarkerLineWidth_)
        return;
    const double displayScale = ci::markerDisplayScale(layout_.imageRect, doc->imageSize());
    const double spacing = ci::markerPointSpacing(*draftMarkerLineWidth_, displayScale);
    if (QLineF(draftMarkerPoints_.back(), viewPoint).length() > spacing) {
        draftMarkerPoints_.push_back(viewPoint);
        update();
    }
}

void EditorCanvas::finishMarkerDrag() {
    EditorDocument* doc = document();
    std::vector<QPointF> viewPoints = std::move(draftMarkerPoints_);
    draftMarkerPoints_.clear();
    const std::optional<double> width = draftMarkerLineWidth_;
    draftMarkerLineWidth_.reset();
    draftRect_.reset();
    if (!doc || !width || viewPoints.size() < 2 || !(ci::pathLength(viewPoints) > ci::minimumMarkerLength))
        return;
    std::vector<QPointF> points;
    points.reserve(viewPoints.size());
    for (QPointF p : viewPoints)
        points.push_back(toImage(p));
    finishTextEditing();
    Annotation a =
        ci::newAnnotation(AnnotationKind::marker, QRectF(), host_.configuredAnnotationColor(AnnotationKind::marker), 0);
    a.lineWidth = *width;
    a.markerPoints = refinedMarkerPoints(points, *width);
    const double pad = MarkerMetrics(*width).visualPadding;
    if (auto bounds = markerBounds(a.markerPoints))
        a.rect = bounds->adjusted(-pad, -pad, pad, pad);
    const EditorSnapshot previous = doc->snapshot();
    doc->add(a);
    commitFrom(previous);
}

// ---- inline text editing ----

void EditorCanvas::beginTextEditing(const QUuid& annotationID, std::optional<EditorSnapshot> originalSnapshot) {
    if (editingTextAnnotationID_ && *editingTextAnnotationID_ != annotationID)
        finishTextEditing();
    EditorDocument* doc = document();
    if (!doc || !doc->find(annotationID))
        return;
    doc->selectedAnnotationID = annotationID;
    editingTextAnnotationID_ = annotationID;
    textEditingSnapshot_ = doc->snapshot();
    textEditingOriginalSnapshot_ = originalSnapshot ? std::move(originalSnapshot) : textEditingSnapshot_;
    host_.setEditorIsEditingText(true);
    if (!textEditor_) {
        textEditor_ = new InlineTextEditor(this);
        connect(textEditor_, &QTextEdit::textChanged, this, [this] {
            if (textEditor_)
                textEdited(textEditor_->toPlainText());
        });
    }
    textEditor_->onCommit = [this] { finishTextEditing(); };
    textEditor_->onCancel = [this] { cancelTextEditing(); };
    textEditor_->setCommitting(true); // the set-up below must not commit through focus changes
    textEditor_->setTextIfDifferent(doc->find(annotationID)->text);
    positionTextEditor();
    // The field's own undo starts here, after the text and its line format were set.
    textEditor_->document()->clearUndoRedoStacks();
    textEditor_->setCommitting(false);
    textEditor_->show();
    textEditor_->raise();
    emit documentEdited();
    QTimer::singleShot(0, textEditor_, [this, annotationID] {
        if (textEditor_ && editingTextAnnotationID_ == annotationID)
            textEditor_->focusAtEnd();
    });
    update();
}

void EditorCanvas::textEdited(const QString& text) {
    EditorDocument* doc = document();
    if (!doc || !editingTextAnnotationID_)
        return;
    Annotation* a = doc->find(*editingTextAnnotationID_);
    if (!a || a->text == text)
        return;
    a->text = text;
    positionTextEditor();
    update();
}

void EditorCanvas::positionTextEditor() {
    if (!textEditor_)
        return;
    const EditorDocument* doc = document();
    const Annotation* a = doc && editingTextAnnotationID_ ? doc->find(*editingTextAnnotationID_) : nullptr;
    if (!a)
        return;
    const double scale = ci::markerDisplayScale(layout_.imageRect, doc->imageSize());
    const double displayFont = a->fontSize * scale;
    const QRectF viewRect = toView(a->rect.normalized());
    const QSizeF display = TextAnnotationLayout::displaySize(a->text, displayFont);
    const QRectF expanded(viewRect.topLeft(), QSizeF(std::max(viewRect.width(), display.width()),
                                                     std::max(viewRect.height(), display.height())));
    textEditor_->setStyle(displayFont, colorOf(a->color));
    // A spare line of room (the field is transparent) keeps it from scrolling: its own
    // lines can be a little taller than the drawn ones, and it scrolls by whole lines.
    const int spareLine = int(std::ceil(textEditor_->fontMetrics().lineSpacing()));
    textEditor_->setGeometry(expanded.toAlignedRect().adjusted(0, 0, 4, spareLine));
    // The field holds the whole text; a scroll made before it grew would hide the first lines.
    textEditor_->verticalScrollBar()->setValue(0);
}

void EditorCanvas::finishTextEditing() {
    if (!editingTextAnnotationID_ || finishingText_)
        return;
    // Text still being composed in an input method is part of what is committed.
    textEditor_->commitComposition();
    finishingText_ = true;
    textEditor_->setCommitting(true);
    EditorDocument* doc = document();
    const QUuid id = *editingTextAnnotationID_;
    editingTextAnnotationID_.reset();
    if (doc) {
        if (Annotation* a = doc->find(id); a && a->text.trimmed().isEmpty())
            doc->remove(id);
    }
    const std::optional<EditorSnapshot> previous = std::move(textEditingSnapshot_);
    closeTextEditor(true);
    finishingText_ = false;
    if (doc && previous)
        commitFrom(*previous);
    update();
}

void EditorCanvas::closeTextEditor(bool restoreFocus) {
    editingTextAnnotationID_.reset();
    textEditingSnapshot_.reset();
    textEditingOriginalSnapshot_.reset();
    if (textEditor_) {
        const bool hadFocus = textEditor_->hasFocus();
        textEditor_->setCommitting(true); // hiding moves the focus, which must not commit
        textEditor_->hide();
        if (restoreFocus && hadFocus)
            setFocus(Qt::OtherFocusReason);
        textEditor_->setCommitting(false);
    }
    host_.setEditorIsEditingText(false);
}

void EditorCanvas::cancelTextEditing() {
    if (!editingTextAnnotationID_ || finishingText_)
        return;
    finishingText_ = true;
    textEditor_->setCommitting(true);
    EditorDocument* doc = document();
    const std::optional<EditorSnapshot> original =
        textEditingOriginalSnapshot_ ? std::move(textEditingOriginalSnapshot_) : std::move(textEditingSnapshot_);
    editingTextAnnotationID_.reset();
    if (doc && original) {
        doc->annotations = original->annotations;
        doc->selectedAnnotationID = original->selectedAnnotationID;
    }
    closeTextEditor(true);
    finishingText_ = false;
    emit documentEdited();
    update();
}

// ---- painting ----

const QImage& EditorCanvas::effectPreview(const Annotation& a, QRect* pixelRect) {
    const EditorDocument* doc = document();
    if (doc->imageRevision != effectCacheImageRevision_) {
        effectCache_.clear();
        effectCacheImageRevision_ = doc->imageRevision;
    }
    const QString identity = ci::effectPreviewIdentity(a);
    auto it = effectCache_.find(identity);
    if (it == effectCache_.end()) {
        // Previews of annotations that no longer exist in this shape are dropped.
        if (effectCache_.size() > 64)
            effectCache_.clear();
        EffectCacheEntry entry;
        entry.image = EditorRenderer::effectImage(*doc->baseImage, a, &entry.pixelRect);
        it = effectCache_.insert(identity, std::move(entry));
    }
    *pixelRect = it->pixelRect;
    return it->image;
}

void EditorCanvas::paintAnnotation(QPainter& painter, const Annotation& a) {
    const EditorDocument* doc = document();
    const QRectF imageBounds(QPointF(0, 0), doc->imageSize());
    switch (a.kind) {
    case AnnotationKind::blur:
    case AnnotationKind::pixelate: {
        QRect pixels;
        const QImage& effect = effectPreview(a, &pixels);
        if (!effect.isNull())
            painter.drawImage(QRectF(pixels), effect);
        break;
    }
    case AnnotationKind::text: {
        if (editingTextAnnotationID_ == a.id || a.text.isEmpty())
            break;
        // Text in view pixels, so the font size follows the display scale exactly.
        painter.save();
        const QTransform t = painter.transform();
        painter.resetTransform();
        const double scale = t.m11();
        const double fontSize = a.fontSize * scale;
        const QRectF r = t.mapRect(a.rect.normalized());
        const QSizeF display = TextAnnotationLayout::displaySize(a.text, fontSize);
        const QRectF box(r.topLeft(),
                         QSizeF(std::max(r.width(), display.width()), std::max(r.height(), display.height())));
        QFont font = TextAnnotationLayout::font(fontSize);
        font.setPointSizeF(TextAnnotationLayout::effectiveFontSize(fontSize) * 72.0 / logicalDpiY());
        const QFontMetricsF fm(font, this);
        painter.setFont(font);
        painter.setPen(colorOf(a.color));
        painter.setClipRect(box, Qt::IntersectClip);
        double baseline = box.top() + TextAnnotationLayout::insetY + fm.ascent();
        for (const QString& line : a.text.split(QLatin1Char('\n'))) {
            painter.drawText(QPointF(box.left() + TextAnnotationLayout::insetX, baseline), line);
            baseline += fm.lineSpacing() + TextAnnotationLayout::lineSpacing;
        }
        painter.restore();
        break;
    }
    case AnnotationKind::spotlight:
        EditorRenderer::drawSpotlight(painter, a.rect.normalized(), imageBounds, a.effectIntensity);
        break;
    default:
        EditorRenderer::drawAnnotation(painter, a, *doc->baseImage, imageBounds);
        break;
    }
}

void EditorCanvas::paintHandles(QPainter& painter, const Annotation& a) {
    const QRectF outline = toView(ci::interactiveRect(a)).normalized();
    painter.setBrush(Qt::NoBrush);
    if (a.kind != AnnotationKind::arrow) {
        QPen dashed(accentColor(0.9), 1, Qt::DashLine);
        painter.setPen(dashed);
        painter.drawRect(outline.adjusted(-2, -2, 2, 2));
    }
    painter.setPen(Qt::NoPen);
    for (AnnotationHandle h : ci::handles(a.kind)) {
        const QPointF c = toView(ci::handlePosition(a, h));
        const double r = ci::handleDiameter / 2;
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.12f));
        painter.drawEllipse(c + QPointF(0, 1), r + 1, r + 1);
        painter.setBrush(Qt::white);
        painter.drawEllipse(c, r, r);
        painter.setBrush(accentColor());
        painter.drawEllipse(c, ci::handleDotDiameter / 2, ci::handleDotDiameter / 2);
    }
}

void EditorCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const EditorDocument* doc = document();
    if (!doc || !doc->baseImage || doc->baseImage->isNull())
        return;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    const QImage& base = *doc->baseImage;
    const QRectF imageRect = layout_.imageRect;
    const double k = imageRect.width() / std::max(1.0, doc->imageSize().width());

    QPainterPath clip;
    if (doc->backgroundStyle.isEnabled) {
        const CanvasBackgroundStyle& style = doc->backgroundStyle;
        const double pad = std::max(style.padding, 0.0);
        painter.save();
        painter.translate(layout_.contentRect.topLeft());
        painter.scale(k, k);
        EditorRenderer::drawBackground(painter, style, layout_.contentSize,
                                       QRectF(QPointF(pad, pad), doc->imageSize()));
        painter.restore();
        const double corner =
            std::clamp(style.cornerRadius * k, 0.0, std::min(imageRect.width(), imageRect.height()) / 2);
        clip.addRoundedRect(imageRect, corner, corner);
    } else {
        clip.addRect(imageRect);
    }

    // The base image, scaled once per display size.
    const QSize target = imageRect.size().toSize() * devicePixelRatioF();
    if (scaledImage_.size() != target || scaledImageSource_ != doc->baseImage.get() ||
        scaledImageRevision_ != doc->imageRevision) {
        scaledImage_ = QPixmap::fromImage(base.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        scaledImage_.setDevicePixelRatio(devicePixelRatioF());
        scaledImageSource_ = doc->baseImage.get();
        scaledImageRevision_ = doc->imageRevision;
    }
    painter.save();
    painter.setClipPath(clip);
    painter.drawPixmap(imageRect.topLeft(), scaledImage_);

    // Annotations in image points.
    painter.translate(imageRect.topLeft());
    painter.scale(k, k);
    painter.setPen(Qt::NoPen);
    for (const Annotation& a : doc->annotations)
        paintAnnotation(painter, a);

    // Drafts, drawn like the annotations they become.
    if (draftRect_ && doc->selectedTool != AnnotationTool::crop && doc->selectedTool != AnnotationTool::text) {
        if (const auto kind = createsKind(doc->selectedTool)) {
            Annotation draft =
                ci::newAnnotation(*kind, toImage(*draftRect_).normalized(), host_.configuredAnnotationColor(*kind),
                                  host_.settings().defaultAnnotationLineWidth());
            if (*kind == AnnotationKind::blur || *kind == AnnotationKind::pixelate)
                draft.id = QUuid();
            paintAnnotation(painter, draft);
        }
    }
    if (draftArrowPoints_ &&
        QLineF(draftArrowPoints_->first, draftArrowPoints_->second).length() > ci::minimumArrowLength) {
        Annotation draft =
            ci::newAnnotation(AnnotationKind::arrow, QRectF(), host_.configuredAnnotationColor(AnnotationKind::arrow),
                              host_.settings().defaultAnnotationLineWidth());
        draft.arrowStart = toImage(draftArrowPoints_->first);
        draft.arrowEnd = toImage(draftArrowPoints_->second);
        draft.rect = ci::arrowRect(*draft.arrowStart, *draft.arrowEnd, draft.lineWidth);
        paintAnnotation(painter, draft);
    }
    if (draftMarkerPoints_.size() >= 2 && draftMarkerLineWidth_) {
        Annotation draft = ci::newAnnotation(AnnotationKind::marker, QRectF(),
                                             host_.configuredAnnotationColor(AnnotationKind::marker), 0);
        draft.lineWidth = *draftMarkerLineWidth_;
        for (QPointF p : draftMarkerPoints_)
            draft.markerPoints.push_back(toImage(p));
        paintAnnotation(painter, draft);
    }
    painter.restore();

    // Crop framing: the outside dimmed, the frame dashed.
    std::optional<QRectF> crop;
    if (draftRect_ && doc->selectedTool == AnnotationTool::crop)
        crop = *draftRect_;
    else if (doc->cropRect)
        crop = toView(doc->cropRect->normalized()).normalized();
    if (crop) {
        QPainterPath outside;
        outside.setFillRule(Qt::OddEvenFill);
        outside.addRect(imageRect);
        outside.addRect(*crop & imageRect);
        painter.fillPath(outside, QColor::fromRgbF(0, 0, 0, 0.45f));
        painter.setPen(QPen(Qt::white, 1.5, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(*crop);
    }
    if (draftRect_ && doc->selectedTool == AnnotationTool::text) {
        painter.setPen(QPen(accentColor(0.75), 1.5, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(*draftRect_, 6, 6);
    }

    // Selection and handles.
    if (doc->selectedAnnotationID && !editingTextAnnotationID_)
        if (const Annotation* a = doc->find(*doc->selectedAnnotationID))
            paintHandles(painter, *a);

    // The inline editor's frame.
    if (editingTextAnnotationID_ && textEditor_ && textEditor_->isVisible()) {
        painter.setPen(QPen(accentColor(0.75), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(textEditor_->geometry()).adjusted(0.75, 0.75, -0.75, -0.75), 6, 6);
    }

    // Marker nib preview.
    if (markerHoverPoint_ && markerHoverLineWidth_ && gesture_ == Gesture::none) {
        const auto stamp = MarkerChiselPath::stampSize(*markerHoverLineWidth_);
        QColor ink = colorOf(host_.configuredAnnotationColor(AnnotationKind::marker));
        ink.setAlphaF(0.45f);
        const QRectF nib(markerHoverPoint_->x() - stamp.width * k / 2, markerHoverPoint_->y() - stamp.height * k / 2,
                         stamp.width * k, stamp.height * k);
        QPainterPath path;
        MarkerChiselPath::addContinuousRoundedRect(path, nib, stamp.cornerRadius * k);
        painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.35f), 1));
        painter.setBrush(ink);
        painter.drawPath(path);
    }
}

} // namespace lumivane
