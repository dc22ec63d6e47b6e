#include "editor/EditorBars.h"

#include "core/AtomicFile.h"
#include "editor/EditorRenderer.h"
#include "editor/EditorStylePopovers.h"
#include "editor_model/ProjectFile.h"
#include "platform/FileDialogs.h"
#include "settings/AppSettings.h"
#include "settings/SaveDialogFolder.h"

#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <cmath>

namespace lumivane {

using namespace toolbar;

namespace {

const QColor barForeground(255, 255, 255, int(0.88 * 255));

QString capsuleStyle(bool selected) {
    return selected ? QStringLiteral("QToolButton { background: #0a7aff; border: none; border-radius: 13px; padding: "
                                     "4px; color: white; }")
                    : QStringLiteral(
                          "QToolButton { background: rgba(0,0,0,0.18); border: none; border-radius: 13px; padding: 4px;"
                          " color: rgba(255,255,255,0.88); font-size: 11px; }"
                          "QToolButton:disabled { background: rgba(0,0,0,0.12); color: rgba(255,255,255,0.24); }"
                          "QToolButton::menu-indicator { image: none; width: 0; }");
}

QIcon symbolWithDisabled(const QString& name) {
    QIcon icon = editorSymbol(name, barForeground);
    const QIcon disabled = editorSymbol(name, QColor(255, 255, 255, int(0.24 * 255)));
    icon.addPixmap(disabled.pixmap(18, 18), QIcon::Disabled);
    return icon;
}

QToolButton* symbolButton(const QString& symbol, const QString& help, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setIcon(symbolWithDisabled(symbol));
    b->setIconSize(QSize(18, 18));
    b->setToolTip(help);
    b->setAccessibleName(help);
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(capsuleStyle(false));
    return b;
}

QWidget* capsuleDivider(QWidget* parent) {
    auto* w = new QWidget(parent);
    w->setFixedSize(3, 24);
    w->setStyleSheet(QStringLiteral("background: transparent;"));
    auto* bar = new QWidget(w);
    bar->setGeometry(1, 1, 1, 22);
    bar->setStyleSheet(QStringLiteral("background: rgba(255,255,255,0.22);"));
    return w;
}

QPushButton* textCapsule(const QString& text, bool accent, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setFixedHeight(24);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(
        accent ? QStringLiteral("QPushButton { background: #0a7aff; color: white; border: none;"
                                " border-radius: 12px; padding: 0 14px; font-size: 12px; font-weight: bold; }")
               : QStringLiteral("QPushButton { background: rgba(0,0,0,0.32); color: white; border: none;"
                                " border-radius: 12px; padding: 0 12px; font-size: 12px; font-weight: 600; }"));
    return b;
}

QString toolSymbol(AnnotationTool tool) {
    if (tool == AnnotationTool::highlight)
        return QStringLiteral("highlight-tool");
    if (tool == AnnotationTool::spotlight)
        return QStringLiteral("spotlight-tool");
    return symbolName(tool);
}

// The style chip's face: kind symbol, title, then the colour swatch and chevron for
// the colour kinds.
QIcon styleChipIcon(StyleKind kind, const QString& text, std::optional<RgbaColor> swatch, QSize* size) {
    QFont f;
    f.setPixelSize(11);
    f.setWeight(QFont::DemiBold);
    const int textWidth = QFontMetrics(f).horizontalAdvance(text);
    const int w = 18 + 4 + textWidth + 4 + (swatch ? 16 : 0) + (isColorKind(kind) ? 10 : 0), h = 18;
    *size = QSize(w, h);
    QPixmap pm(w * 2, h * 2);
    pm.setDevicePixelRatio(2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(0, 0, editorSymbol(symbolName(kind), barForeground, 18).pixmap(18, 18));
    int x = 22;
    p.setFont(f);
    p.setPen(barForeground);
    p.drawText(QRect(x, 0, textWidth + 2, h), Qt::AlignVCenter | Qt::AlignLeft, text);
    x += textWidth + 4;
    if (swatch) {
        p.setPen(QPen(QColor(255, 255, 255, 200), 1));
        p.setBrush(swatch->toQColor());
        p.drawEllipse(QRectF(x + 1, 3, 12, 12));
        x += 16;
    }
    // The colour kinds open their style with a chevron; the effect kinds read as a plain label.
    if (isColorKind(kind))
        p.drawPixmap(x, 4, editorSymbol(QStringLiteral("chevron-down"), barForeground, 10).pixmap(10, 10));
    return QIcon(pm);
}

} // namespace

// --- top bar ----------------------------------------------------------------

EditorTopBar::EditorTopBar(EditorHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    setObjectName(QStringLiteral("editorTopBar"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#editorTopBar { background: rgba(0,0,0,0.22); }"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(10, 7, 10, 7);
    outer->setSpacing(6);

    // Left part: scrolls when the window is narrow.
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setStyleSheet(QStringLiteral(
        "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"
        "QScrollBar:horizontal { height: 4px; background: transparent; margin: 0; }"
        "QScrollBar::handle:horizontal { background: rgba(255,255,255,0.3); border-radius: 2px; min-width: 24px; }"
        "QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0; }"
        "QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: transparent; }"));
    auto* left = new QWidget(scroll);
    left_ = left;
    auto* row = new QHBoxLayout(left);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);

    copy_ = symbolButton(QStringLiteral("copy"), QStringLiteral("コピー"), left);
    connect(copy_, &QToolButton::clicked, this, [this] {
        finalizeEditingSelection();
        if (auto* d = host_.editorDocument())
            host_.copy(*d);
    });
    save_ = symbolButton(QStringLiteral("photo"), QStringLiteral("保存"), left);
    connect(save_, &QToolButton::clicked, this, [this] { saveEditedDocument(); });
    row->addWidget(copy_);
    row->addWidget(save_);
    row->addWidget(capsuleDivider(left));

    const std::vector<std::vector<AnnotationTool>> groups{
        {AnnotationTool::select},
        {AnnotationTool::rectangle, AnnotationTool::ellipse, AnnotationTool::arrow, AnnotationTool::text},
        {AnnotationTool::marker, AnnotationTool::highlight, AnnotationTool::spotlight},
        {AnnotationTool::blur, AnnotationTool::pixelate},
        {AnnotationTool::crop}};
    for (size_t g = 0; g < groups.size(); ++g) {
        if (g > 0)
            row->addWidget(capsuleDivider(left));
        for (AnnotationTool tool : groups[g]) {
            auto* b = symbolButton(toolSymbol(tool), title(tool), left);
            b->setObjectName(QStringLiteral("tool-") + rawValue(tool));
            connect(b, &QToolButton::clicked, this, [this, tool] { selectTool(tool); });
            toolButtons_[tool] = b;
            row->addWidget(b);
        }
    }
    row->addWidget(capsuleDivider(left));
    background_ = symbolButton(QStringLiteral("rectangle"), QStringLiteral("背景"), left);
    background_->setText(QStringLiteral("背景"));
    background_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(background_, &QToolButton::clicked, this, [this] { presentBackgroundPopover(); });
    row->addWidget(background_);
    row->addStretch();
    scroll->setWidget(left);
    scroll->setFixedHeight(left->sizeHint().height() + 6); // room for the thin scroll bar
    outer->addWidget(scroll, 1);

    // Right part.
    undo_ = symbolButton(QStringLiteral("undo"), QStringLiteral("取り消し"), this);
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(undo_, &QToolButton::clicked, this, [this] { host_.undoEditorChange(); });
    redo_ = symbolButton(QStringLiteral("redo"), QStringLiteral("やり直し"), this);
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(redo_, &QToolButton::clicked, this, [this] { host_.redoEditorChange(); });
    outer->addWidget(undo_);
    outer->addWidget(redo_);
    outer->addWidget(capsuleDivider(this));

    style_ = symbolButton(QStringLiteral("palette"), QStringLiteral("スタイル"), this);
    style_->setToolButtonStyle(Qt::ToolButtonIconOnly); // the icon carries the title
    {
        // The chip keeps its room, as wide as its widest form, while hidden: undo and
        // redo stay where they are whatever is selected.
        QSize widest;
        style_->setIcon(
            styleChipIcon(StyleKind::stroke, QStringLiteral("スタイル"), RgbaColor::defaultBlue(), &widest));
        style_->setIconSize(widest);
        style_->setFixedWidth(style_->sizeHint().width());
        QSizePolicy keep = style_->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        style_->setSizePolicy(keep);
    }
    connect(style_, &QToolButton::clicked, this, [this] { presentStylePopover(); });
    outer->addWidget(style_);

    cropCancel_ = textCapsule(QStringLiteral("Cancel"), false, this);
    connect(cropCancel_, &QPushButton::clicked, this, [this] { host_.cancelEditorCrop(); });
    cropApply_ = textCapsule(QStringLiteral("Apply"), true, this);
    connect(cropApply_, &QPushButton::clicked, this, [this] { host_.applyCropToEditorDocument(); });
    outer->addWidget(cropCancel_);
    outer->addWidget(cropApply_);

    canvasMenu_ = symbolButton(QStringLiteral("rotate"), QStringLiteral("Canvas"), this);
    canvasMenu_->setText(QStringLiteral("Canvas"));
    canvasMenu_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    canvasMenu_->setPopupMode(QToolButton::InstantPopup);
    auto* canvasMenu = new QMenu(canvasMenu_);
    auto action = [this](QMenu* menu, const QString& text, std::function<void()> run) {
        QAction* a = menu->addAction(text);
        connect(a, &QAction::triggered, this, [this, run] {
            finalizeEditingSelection();
            run();
        });
    };
    canvasMenu->addSection(QStringLiteral("回転"));
    action(canvasMenu, QStringLiteral("左に90°回転"),
           [this] { host_.rotateEditorImage(ImageRotationDirection::counterClockwise); });
    action(canvasMenu, QStringLiteral("右に90°回転"),
           [this] { host_.rotateEditorImage(ImageRotationDirection::clockwise); });
    canvasMenu->addSection(QStringLiteral("反転"));
    action(canvasMenu, QStringLiteral("左右反転"), [this] { host_.flipEditorImage(true); });
    action(canvasMenu, QStringLiteral("上下反転"), [this] { host_.flipEditorImage(false); });
    canvasMenu->addSection(QStringLiteral("リサイズ"));
    for (const auto& [label, scale] : resizeScalePresets) {
        const double s = scale;
        action(canvasMenu, label, [this, s] { host_.resizeEditorImage(s); });
    }
    canvasMenu_->setMenu(canvasMenu);
    outer->addWidget(canvasMenu_);

    projectMenu_ = symbolButton(QStringLiteral("project"), QStringLiteral("Project"), this);
    projectMenu_->setText(QStringLiteral("Project"));
    projectMenu_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    projectMenu_->setPopupMode(QToolButton::InstantPopup);
    auto* projectMenu = new QMenu(projectMenu_);
    chooseProjectSavePath = [this]() -> std::optional<QString> {
        QString prefix = host_.settings().fileNamePrefix().trimmed();
        if (prefix.isEmpty())
            prefix = QStringLiteral("Screenshot");
        const QString name = prefix + "-" + fileNameTimestamp(QDateTime::currentDateTime()) + ".lumivane";
        const auto path = chooseFileToSave(window(), QDir(saveDialogFolder(host_.settings())).filePath(name),
                                           ProjectFile::saveDialogFilter());
        return path ? std::optional<QString>(ProjectFile::savePath(*path)) : std::nullopt;
    };
    chooseProjectOpenPath = [this]() -> std::optional<QString> {
        return chooseFileToOpen(window(), saveDialogFolder(host_.settings()), ProjectFile::openDialogFilter());
    };
    action(projectMenu, QStringLiteral("Save Project..."), [this] {
        const EditorDocument* d = host_.editorDocument();
        if (!d || !chooseProjectSavePath)
            return;
        if (auto path = chooseProjectSavePath()) {
            if ((d = host_.editorDocument()))
                host_.saveProject(*d, *path);
        }
    });
    action(projectMenu, QStringLiteral("Open Project..."), [this] {
        if (!chooseProjectOpenPath)
            return;
        if (auto path = chooseProjectOpenPath())
            host_.openProject(*path);
    });
    projectMenu_->setMenu(projectMenu);
    outer->addWidget(projectMenu_);

    saveAs_ = textCapsule(QStringLiteral("Save as..."), false, this);
    connect(saveAs_, &QPushButton::clicked, this, [this] {
        finalizeEditingSelection();
        if (auto* d = host_.editorDocument())
            host_.saveAs(*d);
    });
    done_ = textCapsule(QStringLiteral("Done"), true, this);
    connect(done_, &QPushButton::clicked, this, [this] {
        finalizeEditingSelection();
        if (auto* d = host_.editorDocument()) {
            const EditorDocument finished = *d;
            host_.finishEditing(finished);
        }
    });
    outer->addWidget(saveAs_);
    outer->addWidget(done_);

    connect(&host_, &EditorHost::editorDocumentChanged, this, &EditorTopBar::refresh);
    connect(&host_, &EditorHost::editorHistoryChanged, this, &EditorTopBar::refresh);
    refresh();
}

void EditorTopBar::finalizeEditingSelection() {
    if (finalizeInlineEditing_)
        finalizeInlineEditing_();
    if (EditorDocument* d = host_.editorDocument()) {
        if (d->selectedAnnotationID) {
            d->selectedAnnotationID.reset();
            emit documentEdited();
        }
    }
    refresh();
}

void EditorTopBar::saveEditedDocument() {
    finalizeEditingSelection();
    if (EditorDocument* d = host_.editorDocument())
        host_.saveImageQuickly(*d);
}

void EditorTopBar::selectTool(AnnotationTool tool) {
    if (!host_.editorDocument())
        return;
    // A tool change ends inline text editing first (committing it).
    if (finalizeInlineEditing_)
        finalizeInlineEditing_();
    EditorDocument* d = host_.editorDocument();
    if (!d)
        return;
    d->selectedTool = tool;
    refresh();
    emit documentEdited();
}

std::optional<StyleKind> EditorTopBar::activeStyleKind() const {
    const EditorDocument* d = host_.editorDocument();
    return d ? toolbar::activeStyleKind(*d) : std::nullopt;
}

StyleDefaults EditorTopBar::styleDefaults() const {
    const AppSettings& s = host_.settings();
    StyleDefaults d;
    d.annotationColor = s.defaultAnnotationColor();
    d.textColor = s.defaultTextColor();
    d.markerColor = s.defaultMarkerColor();
    d.highlightColor = s.defaultHighlightColor();
    d.annotationLineWidth = s.defaultAnnotationLineWidth();
    d.markerLineWidth = s.defaultMarkerLineWidth();
    d.textFontSize = s.defaultTextFontSize();
    return d;
}

void EditorTopBar::refresh() {
    const EditorDocument* d = host_.editorDocument();
    for (auto& [tool, button] : toolButtons_) {
        const bool selected = d && d->selectedTool == tool;
        button->setStyleSheet(capsuleStyle(selected));
        button->setProperty("selectedTool", selected);
    }
    const bool backgroundOn = d && d->backgroundStyle.isEnabled;
    background_->setIcon(symbolWithDisabled(backgroundOn ? QStringLiteral("background") : QStringLiteral("rectangle")));
    undo_->setEnabled(host_.editorHistory().canUndo());
    redo_->setEnabled(host_.editorHistory().canRedo());
    const bool crop = d && showsCropControls(*d);
    cropCancel_->setVisible(crop);
    cropApply_->setVisible(crop);
    refreshStyleButton();
    fitToWidth();
    // Open popovers follow the document (they stay open across choices).
    if (stylePopover_) {
        const auto kind = activeStyleKind();
        if (kind && *kind == stylePopover_->kind())
            stylePopover_->setValues(styleValues(*host_.editorDocument(), *kind, styleDefaults()));
        else
            stylePopover_->close();
    }
    if (backgroundPopover_) {
        if (d)
            backgroundPopover_->setStyle(d->backgroundStyle);
        else
            backgroundPopover_->close();
    }
}

void EditorTopBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitToWidth();
}

void EditorTopBar::fitToWidth() {
    // The left part scrolls only when even the compact right part leaves it too little
    // room: first the Canvas and Project menus drop their titles (crop mode at the
    // default width needs that), keeping every tool and the background button in view.
    const auto rightWidth = [this] {
        int w = 0, n = 0;
        for (QWidget* c :
             {static_cast<QWidget*>(undo_), static_cast<QWidget*>(redo_), static_cast<QWidget*>(style_),
              static_cast<QWidget*>(cropCancel_), static_cast<QWidget*>(cropApply_), static_cast<QWidget*>(canvasMenu_),
              static_cast<QWidget*>(projectMenu_), static_cast<QWidget*>(saveAs_), static_cast<QWidget*>(done_)}) {
            if (c->isHidden() && c != style_)
                continue; // the style chip's room is kept
            w += c->sizeHint().width();
            ++n;
        }
        return w + 3 + (n + 1) * layout()->spacing(); // the divider and the gaps
    };
    const QMargins m = layout()->contentsMargins();
    const auto fits = [&] { return m.left() + left_->sizeHint().width() + rightWidth() + m.right() <= width(); };
    for (QToolButton* menu : {canvasMenu_, projectMenu_})
        menu->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    if (fits())
        return;
    for (QToolButton* menu : {canvasMenu_, projectMenu_})
        menu->setToolButtonStyle(Qt::ToolButtonIconOnly);
}

void EditorTopBar::refreshStyleButton() {
    const auto kind = activeStyleKind();
    style_->setVisible(kind.has_value());
    if (!kind)
        return;
    const StyleValues v = styleValues(*host_.editorDocument(), *kind, styleDefaults());
    const QString text = isColorKind(*kind) ? QStringLiteral("スタイル") : QStringLiteral("効果");
    std::optional<RgbaColor> swatch;
    if (isColorKind(*kind))
        swatch = *kind == StyleKind::highlight ? v.highlightColor : v.annotationColor;
    QSize iconSize;
    style_->setText(text);
    style_->setIcon(styleChipIcon(*kind, text, swatch, &iconSize));
    style_->setIconSize(iconSize);
    style_->setToolTip(style_->text());
}

void EditorTopBar::presentStylePopover() {
    const auto kind = activeStyleKind();
    if (!kind)
        return;
    if (stylePopover_)
        stylePopover_->close();
    AnnotationStylePopover::Callbacks cb;
    cb.onAnnotationColorSelect = [this](RgbaColor c) { applyAnnotationColor(c); };
    cb.onHighlightColorSelect = [this](RgbaColor c) { applyHighlightColor(c); };
    cb.onTextSizeSelect = [this](double v) { applyTextFontSize(v); };
    cb.onStrokeWidthSelect = [this](double v) { applyStrokeWidth(v); };
    cb.onMarkerWidthSelect = [this](double v) { applyMarkerLineWidth(v); };
    cb.onEffectIntensitySelect = [this](double v) { applyEffectIntensity(v); };
    stylePopover_ =
        new AnnotationStylePopover(*kind, styleValues(*host_.editorDocument(), *kind, styleDefaults()), cb, this);
    presentPopover(stylePopover_, style_);
}

void EditorTopBar::presentBackgroundPopover() {
    EditorDocument* d = host_.editorDocument();
    if (!d)
        return;
    if (!d->backgroundStyle.isEnabled)
        applyBackgroundEnabled(true);
    if (backgroundPopover_)
        backgroundPopover_->close();
    BackgroundStylePopover::Callbacks cb;
    cb.onEnabledChange = [this](bool on) { applyBackgroundEnabled(on); };
    cb.onColorSelect = [this](RgbaColor c) { applyBackgroundColor(c); };
    cb.onPaddingSelect = [this](double v) { applyBackgroundPadding(v); };
    cb.onCornerRadiusSelect = [this](double v) { applyBackgroundCornerRadius(v); };
    cb.onShadowSelect = [this](double v) { applyBackgroundShadowOpacity(v); };
    backgroundPopover_ = new BackgroundStylePopover(host_.editorDocument()->backgroundStyle, cb, this);
    presentPopover(backgroundPopover_, background_);
}

namespace {
template <class Apply, class Fallback>
void applyStyle(EditorHost& host, Apply apply, Fallback fallback) {
    EditorDocument* d = host.editorDocument();
    if (d) {
        if (auto before = apply(*d)) {
            host.commitEditorChange(*before);
            return;
        }
    }
    fallback(host.settings()); // the setters persist
}
} // namespace

void EditorTopBar::applyAnnotationColor(const RgbaColor& color) {
    const auto kind = activeStyleKind();
    applyStyle(
        host_, [&](EditorDocument& d) { return toolbar::applyAnnotationColor(d, color); },
        [&](AppSettings& s) {
            if (kind == StyleKind::text)
                s.setDefaultTextColor(color);
            else if (kind == StyleKind::marker)
                s.setDefaultMarkerColor(color);
            else
                s.setDefaultAnnotationColor(color);
        });
    refresh();
    emit documentEdited();
}

void EditorTopBar::applyHighlightColor(const RgbaColor& color) {
    applyStyle(
        host_, [&](EditorDocument& d) { return toolbar::applyHighlightColor(d, color); },
        [&](AppSettings& s) {
            RgbaColor c = color;
            c.alpha = s.defaultHighlightColor().alpha;
            s.setDefaultHighlightColor(c);
        });
    refresh();
    emit documentEdited();
}

void EditorTopBar::applyTextFontSize(double size) {
    applyStyle(
        host_, [&](EditorDocument& d) { return toolbar::applyTextFontSize(d, size); },
        [&](AppSettings& s) { s.setDefaultTextFontSize(size); });
    refresh();
    emit documentEdited();
}

void EditorTopBar::applyStrokeWidth(double width) {
    applyStyle(
        host_, [&](EditorDocument& d) { return toolbar::applyStrokeWidth(d, width); },
        [&](AppSettings& s) { s.setDefaultAnnotationLineWidth(width); });
    refresh();
    emit documentEdited();
}

void EditorTopBar::applyMarkerLineWidth(double width) {
    applyStyle(
        host_, [&](EditorDocument& d) { return toolbar::applyMarkerLineWidth(d, width); },
        [&](AppSettings& s) { s.setDefaultMarkerLineWidth(width); });
    refresh();
    emit documentEdited();
}

void EditorTopBar::applyEffectIntensity(double intensity) {
    applyStyle(
        host_, [&](EditorDocument& d) { return toolbar::applyEffectIntensity(d, intensity); }, [](AppSettings&) {});
    refresh();
    emit documentEdited();
}

template <class Change>
void EditorTopBar::changeBackground(Change change) {
    EditorDocument* d = host_.editorDocument();
    if (!d)
        return;
    const EditorSnapshot before = d->snapshot();
    change(d->backgroundStyle);
    host_.commitEditorChange(before);
    refresh();
    emit documentEdited();
}

void EditorTopBar::applyBackgroundEnabled(bool enabled) {
    changeBackground([&](CanvasBackgroundStyle& b) { b.isEnabled = enabled; });
}
void EditorTopBar::applyBackgroundColor(const RgbaColor& color) {
    changeBackground([&](CanvasBackgroundStyle& b) { b.color = color; });
}
void EditorTopBar::applyBackgroundPadding(double value) {
    changeBackground([&](CanvasBackgroundStyle& b) { b.padding = value; });
}
void EditorTopBar::applyBackgroundCornerRadius(double value) {
    changeBackground([&](CanvasBackgroundStyle& b) { b.cornerRadius = value; });
}
void EditorTopBar::applyBackgroundShadowOpacity(double value) {
    changeBackground([&](CanvasBackgroundStyle& b) { b.shadowOpacity = value; });
}

// --- drag control -----------------------------------------------------------

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

// --- bottom bar -------------------------------------------------------------

EditorBottomBar::EditorBottomBar(EditorHost& host, EditorExportContext context, QWidget* parent)
    : QWidget(parent), host_(host), context_(std::move(context)) {
    setObjectName(QStringLiteral("editorBottomBar"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#editorBottomBar { background: rgba(0,0,0,0.22); }"));
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(12, 6, 12, 6);
    row_->setSpacing(8);

    zoomMenu_ = new QToolButton(this);
    zoomMenu_->setPopupMode(QToolButton::InstantPopup);
    zoomMenu_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    zoomMenu_->setLayoutDirection(Qt::RightToLeft); // chevron after the percentage
    zoomMenu_->setIcon(editorSymbol(QStringLiteral("chevron-down"), QColor(255, 255, 255, 214), 10));
    zoomMenu_->setIconSize(QSize(10, 10));
    zoomMenu_->setFixedHeight(24);
    zoomMenu_->setStyleSheet(QStringLiteral(
        "QToolButton { background: rgba(0,0,0,0.18); color: rgba(255,255,255,0.84); border: none; border-radius: 12px;"
        " padding: 0 10px; font-size: 12px; font-weight: 600; } QToolButton::menu-indicator { image: none; width: 0; "
        "}"));
    auto* menu = new QMenu(zoomMenu_);
    for (double preset : zoomPresets) {
        QAction* a = menu->addAction(zoomLabel(preset));
        connect(a, &QAction::triggered, this, [this, preset] {
            setZoomScale(preset);
            emit zoomScaleChosen(preset);
        });
    }
    zoomMenu_->setMenu(menu);
    row_->addWidget(zoomMenu_);

    auto round = [this](const QString& symbol, const QString& help) {
        auto* b = new QToolButton(this);
        b->setFixedSize(26, 26);
        b->setIcon(symbolWithDisabled(symbol));
        b->setIconSize(QSize(13, 13));
        b->setToolTip(help);
        b->setAccessibleName(help);
        b->setStyleSheet(
            QStringLiteral("QToolButton { background: rgba(0,0,0,0.18); border: none; border-radius: 13px; }"
                           "QToolButton:disabled { background: rgba(0,0,0,0.1); }"));
        return b;
    };
    zoomOut_ = round(QStringLiteral("minus"), QStringLiteral("縮小"));
    zoomIn_ = round(QStringLiteral("plus"), QStringLiteral("拡大"));
    connect(zoomOut_, &QToolButton::clicked, this, [this] { stepZoom(-1); });
    connect(zoomIn_, &QToolButton::clicked, this, [this] { stepZoom(+1); });
    row_->addWidget(zoomOut_);
    row_->addWidget(zoomIn_);
    row_->addStretch();

    drag_ = new DragExportButton(this);
    drag_->keyProvider = [this] { return exportGeneration_; };
    drag_->sourceProvider = [this]() -> DragExportCache::ImageSource {
        // A copy of the document as of this refresh, rendered wherever the source runs.
        const ImageRef capture = context_.captureImage ? context_.captureImage() : nullptr;
        return [document = documentCopy_, capture]() -> ImageRef {
            if (document) {
                if (std::optional<QImage> rendered = EditorRenderer::render(*document))
                    return makeImage(*rendered);
            }
            return capture;
        };
    };
    drag_->optionsProvider = [this] {
        const ImageExportProfile profile =
            context_.exportProfile ? context_.exportProfile() : ImageExportProfile::standard;
        return ImageExportOptions::drag(profile, host_.settings().captureQualityPreset());
    };
    row_->addWidget(drag_);
    row_->addStretch();
    // The share button's slot (right end) stays empty until it is available.

    connect(&host_, &EditorHost::editorDocumentChanged, this, &EditorBottomBar::refresh);
    setZoomScale(1.0);
    refresh();
}

void EditorBottomBar::setShareButton(QWidget* button) {
    if (share_) {
        row_->removeWidget(share_);
        share_->deleteLater();
    }
    share_ = button;
    if (!share_)
        return;
    share_->setParent(this);
    row_->addWidget(share_);
    share_->setEnabled(exportImageIsAvailable());
    share_->show();
}

void EditorBottomBar::setZoomScale(double zoom) {
    zoom_ = zoom;
    zoomMenu_->setText(zoomLabel(zoom));
    zoomOut_->setEnabled(canZoomOut(zoomPresets, zoom));
    zoomIn_->setEnabled(canZoomIn(zoomPresets, zoom));
}

void EditorBottomBar::stepZoom(int direction) {
    if (direction < 0 ? !canZoomOut(zoomPresets, zoom_) : !canZoomIn(zoomPresets, zoom_))
        return;
    const double next = toolbar::stepZoom(zoomPresets, zoom_, direction);
    setZoomScale(next);
    emit zoomScaleChosen(next);
}

void EditorBottomBar::refresh() {
    const EditorDocument* d = host_.editorDocument();
    // A new picture gets a new key (and a new background encoding); a refresh that
    // changes only the selection or the tool keeps the prepared one.
    const bool samePicture = d && documentCopy_ && documentCopy_->rendersLike(*d);
    if (!samePicture) {
        documentCopy_ = d ? std::optional<EditorDocument>(*d) : std::nullopt;
        ++exportGeneration_;
    }
    const bool available = exportImageIsAvailable();
    drag_->setAvailable(available);
    if (available)
        drag_->prepareDragPayloadIfNeeded();
    else
        drag_->cache().clear();
    if (share_)
        share_->setEnabled(available);
}

bool EditorBottomBar::exportImageIsAvailable() const {
    return host_.editorDocument() != nullptr || (context_.captureImage && context_.captureImage());
}

std::optional<QImage> EditorBottomBar::exportImage() const {
    if (documentCopy_) {
        if (auto rendered = EditorRenderer::render(*documentCopy_))
            return rendered;
    }
    const ImageRef capture = context_.captureImage ? context_.captureImage() : nullptr;
    if (capture)
        return *capture;
    return std::nullopt;
}

} // namespace lumivane
