#include "editor/EditorTopBar.h"
#include "editor/EditorBarWidgets.h"
#include "editor/PopoverFrame.h"
#include "editor/ProjectFileDialogs.h"
#include "settings/AppSettings.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <algorithm>

namespace lumivane {

using namespace toolbar;
using namespace barwidgets;

namespace {

void storeDefault(EditorHost& host, const DefaultChange& change) {
    AppSettings& settings = host.settings();
    switch (change.field) {
    case DefaultChange::Field::annotationColor:
        settings.setDefaultAnnotationColor(change.color);
        break;
    case DefaultChange::Field::textColor:
        settings.setDefaultTextColor(change.color);
        break;
    case DefaultChange::Field::markerColor:
        settings.setDefaultMarkerColor(change.color);
        break;
    case DefaultChange::Field::highlightColor:
        settings.setDefaultHighlightColor(change.color);
        break;
    case DefaultChange::Field::annotationLineWidth:
        settings.setDefaultAnnotationLineWidth(change.value);
        break;
    case DefaultChange::Field::markerLineWidth:
        settings.setDefaultMarkerLineWidth(change.value);
        break;
    case DefaultChange::Field::textFontSize:
        settings.setDefaultTextFontSize(change.value);
        break;
    case DefaultChange::Field::stepSize:
        host.sessionStyle().stepDiameter = change.value;
        break;
    case DefaultChange::Field::textBackground:
        host.sessionStyle().textBackground = change.textBackground;
        break;
    }
}

} // namespace

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
    row->setSpacing(4);

    copy_ = symbolButton(QStringLiteral("edit-copy"), QStringLiteral("コピー"), left);
    connect(copy_, &QToolButton::clicked, this, [this] {
        finalizeEditingSelection();
        if (auto* d = host_.editorDocument())
            host_.copy(*d);
    });
    save_ = symbolButton(QStringLiteral("document-save"), QStringLiteral("保存"), left);
    connect(save_, &QToolButton::clicked, this, [this] { saveEditedDocument(); });
    row->addWidget(copy_);
    row->addWidget(save_);
    if (host_.offersTextRecognition()) {
        auto* readText = symbolButton(QStringLiteral("read-text"), QStringLiteral("テキストを読み取る"), left);
        readText->setObjectName(QStringLiteral("readTextButton"));
        connect(readText, &QToolButton::clicked, this, [this] {
            finalizeEditingSelection();
            if (auto* d = host_.editorDocument())
                host_.readText(*d);
        });
        row->addWidget(readText);
    }
    row->addWidget(capsuleDivider(left));

    // The tools group by group, each group in the table's order.
    int lastGroup = 0;
    for (AnnotationTool tool : allAnnotationTools)
        lastGroup = std::max(lastGroup, barGroup(tool));
    for (int group = 0; group <= lastGroup; ++group) {
        if (group > 0)
            row->addWidget(capsuleDivider(left));
        for (AnnotationTool tool : allAnnotationTools) {
            if (barGroup(tool) != group)
                continue;
            auto* b = symbolButton(iconName(tool), title(tool), left);
            b->setObjectName(QStringLiteral("tool-") + rawValue(tool));
            connect(b, &QToolButton::clicked, this, [this, tool] { selectTool(tool); });
            toolButtons_[tool] = b;
            row->addWidget(b);
        }
    }
    row->addWidget(capsuleDivider(left));
    background_ = symbolButton(QStringLiteral("frame"), QStringLiteral("背景"), left);
    background_->setText(QStringLiteral("背景"));
    background_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(background_, &QToolButton::clicked, this, [this] { presentBackgroundPopover(); });
    row->addWidget(background_);
    row->addStretch();
    scroll->setWidget(left);
    scroll->setFixedHeight(left->sizeHint().height() + 6); // room for the thin scroll bar
    outer->addWidget(scroll, 1);

    // Right part.
    undo_ = symbolButton(QStringLiteral("edit-undo"), QStringLiteral("取り消し"), this);
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(undo_, &QToolButton::clicked, this, [this] { host_.undoEditorChange(); });
    redo_ = symbolButton(QStringLiteral("edit-redo"), QStringLiteral("やり直し"), this);
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(redo_, &QToolButton::clicked, this, [this] { host_.redoEditorChange(); });
    outer->addWidget(undo_);
    outer->addWidget(redo_);
    outer->addWidget(capsuleDivider(this));

    style_ = symbolButton(QStringLiteral("style-stroke"), QStringLiteral("スタイル"), this);
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

    canvasMenu_ = symbolButton(QStringLiteral("canvas-rotate"), QStringLiteral("Canvas"), this);
    canvasMenu_->setText(QStringLiteral("Canvas"));
    canvasMenu_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    canvasMenu_->setPopupMode(QToolButton::InstantPopup);
    auto* canvasMenu = new QMenu(canvasMenu_);
    auto action = [this](QMenu* menu, const QString& text, const std::function<void()>& run) {
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
    canvasMenu->addSeparator();
    action(canvasMenu, QStringLiteral("画面に固定"), [this] {
        if (const EditorDocument* d = host_.editorDocument())
            host_.pinToScreen(*d);
    });
    canvasMenu_->setMenu(canvasMenu);
    outer->addWidget(canvasMenu_);

    projectMenu_ = symbolButton(QStringLiteral("project-folder"), QStringLiteral("Project"), this);
    projectMenu_->setText(QStringLiteral("Project"));
    projectMenu_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    projectMenu_->setPopupMode(QToolButton::InstantPopup);
    auto* projectMenu = new QMenu(projectMenu_);
    chooseProjectSavePath = [this] { return chooseProjectSaveFile(window(), host_.settings()); };
    chooseProjectOpenPath = [this] { return chooseProjectOpenFile(window(), host_.settings()); };
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
    d.stepDiameter = host_.sessionStyle().stepDiameter;
    d.textBackground = host_.sessionStyle().textBackground;
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
    background_->setIcon(symbolWithDisabled(backgroundOn ? QStringLiteral("frame-inset") : QStringLiteral("frame")));
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
    for (QToolButton* button : {canvasMenu_, projectMenu_, background_})
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    if (fits())
        return;
    for (QToolButton* menu : {canvasMenu_, projectMenu_})
        menu->setToolButtonStyle(Qt::ToolButtonIconOnly);
    if (fits())
        return;
    background_->setToolButtonStyle(Qt::ToolButtonIconOnly); // its title stays in the tooltip
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
    cb.onStepSizeSelect = [this](double v) { applyStyleChoice({StyleChoice::Field::stepSize, {}, v}); };
    cb.onTextBackgroundSelect = [this](std::optional<TextBackground> b) {
        applyStyleChoice({StyleChoice::Field::textBackground, {}, 0, b});
    };
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

void EditorTopBar::applyStyleChoice(const StyleChoice& choice) {
    const StyleApplication result = toolbar::applyStyle(host_.editorDocument(), choice, styleDefaults());
    if (result.before)
        host_.commitEditorChange(*result.before);
    else if (result.defaultChange)
        storeDefault(host_, *result.defaultChange); // the setters persist
    refresh();
    emit documentEdited();
}

void EditorTopBar::applyAnnotationColor(const RgbaColor& color) {
    applyStyleChoice({StyleChoice::Field::annotationColor, color, 0});
}
void EditorTopBar::applyHighlightColor(const RgbaColor& color) {
    applyStyleChoice({StyleChoice::Field::highlightColor, color, 0});
}
void EditorTopBar::applyTextFontSize(double size) {
    applyStyleChoice({StyleChoice::Field::textFontSize, {}, size});
}
void EditorTopBar::applyStrokeWidth(double width) {
    applyStyleChoice({StyleChoice::Field::strokeWidth, {}, width});
}
void EditorTopBar::applyMarkerLineWidth(double width) {
    applyStyleChoice({StyleChoice::Field::markerLineWidth, {}, width});
}
void EditorTopBar::applyEffectIntensity(double intensity) {
    applyStyleChoice({StyleChoice::Field::effectIntensity, {}, intensity});
}

template <class Change>
void EditorTopBar::changeBackground(Change change) {
    if (!host_.editDocument([&](EditorDocument& d) { change(d.backgroundStyle); }))
        return;
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

} // namespace lumivane
