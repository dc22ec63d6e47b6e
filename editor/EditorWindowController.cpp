#include "editor/EditorWindowController.h"

#include "editor/EditorStylePopovers.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "editor/EditorCanvas.h"

namespace lumivane {

namespace {

// Keeps the canvas told about the viewport it is fitted into.
class CanvasScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    std::function<void(QSize)> onViewportResize;

protected:
    void resizeEvent(QResizeEvent* e) override {
        QScrollArea::resizeEvent(e);
        if (onViewportResize)
            onViewportResize(viewport()->size());
    }
};

} // namespace

// --- canvas host -------------------------------------------------------------

EditorCanvasHost::EditorCanvasHost(EditorHost& host, EditorExportContext context, QWidget* parent)
    : QWidget(parent), host_(host) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    topBar_ = new EditorTopBar(host, this);
    v->addWidget(topBar_);

    auto* scroll = new CanvasScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setAlignment(Qt::AlignCenter);
    // Thin light handles on a dark track, like the rest of the dark editor.
    scroll->setStyleSheet(QStringLiteral(
        "QScrollArea { background: transparent; } QScrollArea > QWidget > QWidget { background: transparent; }"
        "QScrollBar:vertical { width: 10px; background: rgb(38,38,38); margin: 0; }"
        "QScrollBar:horizontal { height: 10px; background: rgb(38,38,38); margin: 0; }"
        "QScrollBar::handle { background: rgba(255,255,255,0.32); border-radius: 3px; margin: 2px; }"
        "QScrollBar::handle:hover { background: rgba(255,255,255,0.5); }"
        "QScrollBar::handle:vertical { min-height: 28px; } QScrollBar::handle:horizontal { min-width: 28px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }"
        "QAbstractScrollArea::corner { background: rgb(38,38,38); }"));
    auto* canvas = new EditorCanvas(host, scroll);
    canvas_ = canvas;
    scroll->setWidgetResizable(false);
    scroll->setWidget(canvas);
    scroll->onViewportResize = [canvas](QSize size) {
        canvas->setViewportSize(size);
        canvas->adjustSize();
    };
    topBar_->setInlineEditingFinalizer([canvas] { canvas->finalizeCurrentEditingState(); });
    connect(canvas, &EditorCanvas::zoomScaleChanged, this, [this](double z) {
        zoomScale_ = z;
        bottomBar_->setZoomScale(z);
    });
    connect(canvas, &EditorCanvas::documentEdited, this, &EditorCanvasHost::refresh);
    connect(topBar_, &EditorTopBar::documentEdited, canvas, &EditorCanvas::documentEditedElsewhere);
    canvas_->setObjectName(QStringLiteral("editorCanvas"));
    v->addWidget(scroll, 1);

    bottomBar_ = new EditorBottomBar(host, std::move(context), this);
    v->addWidget(bottomBar_);
    connect(bottomBar_, &EditorBottomBar::zoomScaleChosen, this, &EditorCanvasHost::setZoomScale);
    connect(topBar_, &EditorTopBar::documentEdited, bottomBar_, &EditorBottomBar::refresh);
}

void EditorCanvasHost::setZoomScale(double zoom) {
    zoomScale_ = zoom;
    bottomBar_->setZoomScale(zoom);
    canvas_->setZoomScale(zoom);
}

void EditorCanvasHost::refresh() {
    topBar_->refresh();
    bottomBar_->refresh();
}

// --- window view --------------------------------------------------------------

EditorWindowView::EditorWindowView(EditorHost& host, EditorExportContext context, QWidget* parent)
    : QWidget(parent), host_(host) {
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);

    empty_ = new QWidget(this);
    auto* ev = new QVBoxLayout(empty_);
    ev->addStretch();
    auto* symbol = new QLabel(empty_);
    symbol->setPixmap(editorSymbol(QStringLiteral("camera"), QColor(255, 255, 255, 150), 44).pixmap(44, 44));
    symbol->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(QStringLiteral("No Capture"), empty_);
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.86); font-size: 20px; font-weight: bold;"));
    emptyDescription_ = new QLabel(QStringLiteral("先にスクリーンショットを撮影すると編集できます。"), empty_);
    emptyDescription_->setAlignment(Qt::AlignCenter);
    emptyDescription_->setStyleSheet(QStringLiteral("color: rgba(255,255,255,0.6); font-size: 13px;"));
    ev->addWidget(symbol);
    ev->addSpacing(6);
    ev->addWidget(title);
    ev->addWidget(emptyDescription_);
    ev->addStretch();
    stack_->addWidget(empty_);

    canvasHost_ = new EditorCanvasHost(host, std::move(context), this);
    stack_->addWidget(canvasHost_);
    connect(&host_, &EditorHost::editorDocumentChanged, this, &EditorWindowView::refresh);
    refresh();
}

bool EditorWindowView::showsEmptyState() const {
    return stack_->currentWidget() == empty_;
}

void EditorWindowView::refresh() {
    stack_->setCurrentWidget(host_.editorDocument() ? static_cast<QWidget*>(canvasHost_) : empty_);
    if (host_.editorDocument())
        canvasHost_->refresh();
}

// --- controller -----------------------------------------------------------------

EditorWindowController::EditorWindowController(EditorHost& host, EditorExportContext context)
    : window_(std::make_unique<QWidget>(nullptr, Qt::Window)) {
    visibleScreenSize = [this]() -> std::optional<QSizeF> {
        QScreen* screen = window_->screen();
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (!screen)
            return std::nullopt;
        return QSizeF(screen->availableGeometry().size());
    };
    window_->setWindowTitle(QStringLiteral("Lumivane"));
    window_->setObjectName(QStringLiteral("editorWindow"));
    window_->setAttribute(Qt::WA_StyledBackground);
    // Calibrated white 0.18.
    window_->setStyleSheet(QStringLiteral("#editorWindow { background: rgb(46,46,46); }"));
    QPalette pal = window_->palette();
    pal.setColor(QPalette::Window, QColor(46, 46, 46));
    window_->setPalette(pal);
    window_->setMinimumSize(minimumWindowSize.toSize());
    window_->resize(defaultWindowSize.toSize());
    auto* layout = new QVBoxLayout(window_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new EditorWindowView(host, std::move(context), window_.get());
    layout->addWidget(view_);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), defaultWindowSize.toSize());
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
}

EditorWindowController::~EditorWindowController() = default;

void EditorWindowController::present() {
    window_->show();
    updateLayout();
    window_->raise();
    window_->activateWindow();
}

void EditorWindowController::updateLayout(QSizeF) {
    const std::optional<QSizeF> visible = visibleScreenSize();
    const QSize size = toolbar::editorWindowSize(visible).toSize();
    const QPoint center = window_->geometry().center();
    QRect frame(QPoint(), size);
    frame.moveCenter(center);
    window_->setGeometry(frame);
}

void EditorWindowController::removeFromScreen() {
    window_->hide();
}

} // namespace lumivane
