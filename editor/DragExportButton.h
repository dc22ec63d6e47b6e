#pragma once
#include "export/DragExportCache.h"

#include <QWidget>
#include <functional>
#include <optional>

namespace lumivane {

// The drag-out control: a press and a 3-point move drag the rendered image as PNG.
// The PNG is encoded ahead in the background for every new state of the picture.
class DragExportButton : public QWidget {
    Q_OBJECT
public:
    explicit DragExportButton(QWidget* parent = nullptr);
    using Payload = DragExportCache::Payload;
    // A key per state of the picture and a source that renders that state (the
    // source may run on the export thread).
    std::function<quint64()> keyProvider;
    std::function<DragExportCache::ImageSource()> sourceProvider;
    std::function<ImageExportOptions()> optionsProvider;
    void setAvailable(bool available);
    bool isAvailable() const { return available_; }
    QString title() const { return QStringLiteral("Drag Me"); }
    // Starts encoding the current picture unless it is done or under way.
    void prepareDragPayloadIfNeeded();
    // The current picture's payload: file URL first, PNG bytes second; encodes on
    // the spot while the background encoding has not finished (a drag gesture
    // waits for the background instead).
    std::optional<Payload> dragPayload();
    DragExportCache& cache() { return cache_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    void payloadPrepared(quint64 key);

    DragExportCache cache_;
    bool available_ = false;
    bool waitingForPayload_ = false; // a drag waits for the background encoding
    std::optional<QPoint> pressAt_;
    bool started_ = false;
};

} // namespace lumivane
