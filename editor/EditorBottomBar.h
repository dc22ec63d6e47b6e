#pragma once
#include "editor/DragExportButton.h"
#include "editor/EditorHost.h"

#include <QWidget>
#include <functional>
#include <optional>

class QHBoxLayout;
class QToolButton;

namespace lumivane {

// What the bottom bar's exports need beyond the document: the current capture.
struct EditorExportContext {
    std::function<ImageRef()> captureImage;            // null when there is no capture
    std::function<ImageExportProfile()> exportProfile; // of the capture's source
};

// The bar below the canvas: zoom menu and steps, drag-out control, share slot.
class EditorBottomBar : public QWidget {
    Q_OBJECT
public:
    EditorBottomBar(EditorHost& host, EditorExportContext context, QWidget* parent = nullptr);

    void setZoomScale(double zoom);
    double zoomScale() const { return zoom_; }
    void stepZoom(int direction);
    // Takes a copy of the document for the exports and re-evaluates availability.
    void refresh();
    // The rendered document, else the capture's image.
    std::optional<QImage> exportImage() const;
    bool exportImageIsAvailable() const;

    QToolButton* zoomMenuButton() const { return zoomMenu_; }
    QToolButton* zoomOutButton() const { return zoomOut_; }
    QToolButton* zoomInButton() const { return zoomIn_; }
    DragExportButton* dragButton() const { return drag_; }
    QWidget* shareButton() const { return share_; }
    // Key of the picture the exports show; changes only when the picture does.
    quint64 exportGeneration() const { return exportGeneration_; }
    // Puts the share control into its slot at the right end (the bar takes it over).
    void setShareButton(QWidget* button);

signals:
    void zoomScaleChosen(double zoom);

private:
    EditorHost& host_;
    EditorExportContext context_;
    double zoom_ = 1.0;
    std::optional<EditorDocument> documentCopy_;
    quint64 exportGeneration_ = 0; // one per refresh: the drag cache's key
    QToolButton *zoomMenu_, *zoomOut_, *zoomIn_;
    DragExportButton* drag_;
    QWidget* share_ = nullptr;
    QHBoxLayout* row_;
};

} // namespace lumivane
