#pragma once
#include "editor/EditorBottomBar.h"
#include "editor/EditorHost.h"
#include "editor/EditorTopBar.h"

#include <QSizeF>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QStackedLayout;

namespace lumivane {

class EditorCanvas;

// The editing surface: top bar, canvas, bottom bar, sharing one zoom factor.
class EditorCanvasHost : public QWidget {
    Q_OBJECT
public:
    EditorCanvasHost(EditorHost& host, EditorExportContext context, QWidget* parent = nullptr);

    double zoomScale() const { return zoomScale_; }
    void setZoomScale(double zoom);
    EditorTopBar* topBar() const { return topBar_; }
    EditorBottomBar* bottomBar() const { return bottomBar_; }
    EditorCanvas* canvas() const { return canvas_; }
    // Re-reads the document into the bars.
    void refresh();

private:
    EditorHost& host_;
    double zoomScale_ = 1.0;
    EditorTopBar* topBar_;
    EditorCanvas* canvas_;
    EditorBottomBar* bottomBar_;
};

// The window's content: the editing surface, or an empty state without a document.
class EditorWindowView : public QWidget {
    Q_OBJECT
public:
    EditorWindowView(EditorHost& host, EditorExportContext context, QWidget* parent = nullptr);
    bool showsEmptyState() const;
    EditorCanvasHost* canvasHost() const { return canvasHost_; }
    QLabel* emptyDescription() const { return emptyDescription_; }
    void refresh();

private:
    EditorHost& host_;
    QStackedLayout* stack_;
    QWidget* empty_;
    QLabel* emptyDescription_;
    EditorCanvasHost* canvasHost_;
};

// Owns the editor window; created once and kept.
class EditorWindowController {
public:
    explicit EditorWindowController(EditorHost& host, EditorExportContext context = {});
    ~EditorWindowController();

    static constexpr QSizeF minimumWindowSize = toolbar::editorMinimumWindowSize;
    static constexpr QSizeF defaultWindowSize = toolbar::editorDefaultWindowSize;

    // Shows the window, lays it out and makes it key and front.
    void present();
    // The computed size centred on the window's current centre (the image size is unused).
    void updateLayout(QSizeF imageSize = {});
    void removeFromScreen();
    QWidget* window() const { return window_.get(); }
    // Visible area of the window's screen; replaceable for layouts on other screens.
    std::function<std::optional<QSizeF>()> visibleScreenSize;
    EditorWindowView* view() const { return view_; }

private:
    std::unique_ptr<QWidget> window_;
    EditorWindowView* view_;
};

} // namespace lumivane
