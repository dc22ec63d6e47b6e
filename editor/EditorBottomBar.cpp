#include "editor/EditorBottomBar.h"
#include "editor/EditorBarWidgets.h"
#include "editor/EditorIcons.h"
#include "editor/EditorRenderer.h"
#include "settings/AppSettings.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

namespace lumivane {

using namespace toolbar;
using barwidgets::symbolWithDisabled;

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
    zoomMenu_->setIcon(editorIcon(QStringLiteral("chevron-down"), QColor(255, 255, 255, 214), 10));
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
    zoomOut_ = round(QStringLiteral("zoom-out"), QStringLiteral("縮小"));
    zoomIn_ = round(QStringLiteral("zoom-in"), QStringLiteral("拡大"));
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
