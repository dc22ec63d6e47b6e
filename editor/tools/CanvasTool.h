#pragma once
#include <QCursor>
#include <QPointF>

class QPainter;

namespace lumivane {

class EditorCanvas;

// One pointer gesture of the editor canvas: a tool that draws, or the manipulation
// of an existing annotation. The canvas routes a press on the image to the tool
// (unless it hits an annotation to manipulate), then the moves and the release to
// whichever gesture started. Points are view coordinates. UI thread only.
class CanvasTool {
public:
    explicit CanvasTool(EditorCanvas& canvas) : canvas_(canvas) {}
    virtual ~CanvasTool() = default;
    CanvasTool(const CanvasTool&) = delete;
    CanvasTool& operator=(const CanvasTool&) = delete;

    // Starts a gesture at a press on the image; false when the tool does not draw.
    virtual bool press(QPointF view) = 0;
    // `moved`: the pointer went beyond the click threshold since the press.
    virtual void move(QPointF view, bool moved) = 0;
    // Ends the gesture. A release that did not move is a tap the canvas handles after.
    virtual void release(QPointF view, bool moved) = 0;
    // Pointer moves without a gesture, and the pointer leaving the canvas.
    virtual void hover(QPointF) {}
    virtual void leave() {}
    // Forgets the gesture under way without editing the document.
    virtual void cancel() = 0;

    // The gesture's draft, drawn in image points like the annotation it becomes.
    virtual void paintPreview(QPainter&) const {}
    // Frames in view coordinates above the annotations, below the selection handles.
    virtual void paintOverlay(QPainter&) const {}
    // Hover feedback in view coordinates, above everything.
    virtual void paintHover(QPainter&) const {}
    // The cursor over the canvas while no gesture runs.
    virtual Qt::CursorShape cursor(bool overAnnotation) const {
        return overAnnotation ? Qt::SizeAllCursor : Qt::CrossCursor;
    }

protected:
    EditorCanvas& canvas_;
};

// The select tool: it only picks and manipulates annotations, which the canvas routes.
class SelectTool : public CanvasTool {
public:
    using CanvasTool::CanvasTool;
    bool press(QPointF) override { return false; }
    void move(QPointF, bool) override {}
    void release(QPointF, bool) override {}
    void cancel() override {}
    Qt::CursorShape cursor(bool overAnnotation) const override {
        return overAnnotation ? Qt::SizeAllCursor : Qt::ArrowCursor;
    }
};

} // namespace lumivane
