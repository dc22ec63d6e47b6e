#pragma once
#include "setup/SetupHost.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace lumivane {

class SetupChecklistView;

// The setup window: 820 points wide, 680 high for onboarding and 620 for the standard
// mode, titled by the mode, centred when created. Closing it (by its close button or
// close()) calls onClose once; the window is destroyed with the controller.
class SetupWindowController : public QObject {
    Q_OBJECT
public:
    SetupWindowController(SetupHost& host, SetupPresentationMode mode, QObject* parent = nullptr);
    ~SetupWindowController() override;

    std::function<void()> onClose;

    SetupPresentationMode mode() const { return mode_; }
    QWidget* window() const { return window_; }
    SetupChecklistView* view() const { return view_; }

    // Shows the window, raises it and gives it the focus.
    void present();
    // Hides the window (kept, shown again by present()).
    void removeFromScreen();
    bool isVisible() const;
    void close();

    static QSize windowSize(SetupPresentationMode mode) {
        return {820, mode == SetupPresentationMode::onboarding ? 680 : 620};
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SetupPresentationMode mode_;
    QPointer<QWidget> window_;
    SetupChecklistView* view_ = nullptr;
    bool closed_ = false;
};

} // namespace lumivane
