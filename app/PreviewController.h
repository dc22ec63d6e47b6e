#pragma once
#include "app/AppServices.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <memory>

namespace lumivane {

class AppSettings;

// The floating preview after a capture: made on first use, shown and hidden, and
// dismissed on its own after 4 s without hover or interaction when the settings ask
// for it. UI thread.
class PreviewController : public QObject {
    Q_OBJECT
public:
    PreviewController(const AppSettings& settings, const AppServices& services, QObject* parent = nullptr);
    ~PreviewController() override;

    // Creates the window ahead of the first capture (nothing without a preview service).
    void prepare();
    // Shows the capture and starts the idle time over.
    void show(const CapturedImage& capture);
    void dismiss();
    // Hides it at once (the editor takes over).
    void removeFromScreen();
    void setCodesFound(bool found);
    void scheduleAutoDismissIfNeeded();
    void hoverChanged(bool hovering);
    void noteInteraction();
    // The preview has painted a newly shown picture.
    void notePresented() { emit presented(); }

signals:
    void presented();

private:
    PreviewPresenter& presenter();

    const AppSettings& settings_;
    const AppServices& services_;
    std::unique_ptr<PreviewPresenter> presenter_;
    QTimer dismissTimer_;
    bool hovering_ = false;
    QDateTime lastInteractionAt_;
};

} // namespace lumivane
