#include "capture/SelectionOverlayController.h"
#include "capture/SelectionOverlayPanel.h"

#include <QMetaObject>

namespace lumivane {

namespace {
constexpr quint32 escapeKeysym = 0xff1b;
constexpr int escapeGrabID = 1;
} // namespace

SelectionOverlayEnvironment SelectionOverlayEnvironment::forX11(std::shared_ptr<X11Screens> x11) {
    SelectionOverlayEnvironment e;
    e.screens = x11;
    e.backdrop = [x11](const ScreenInfo& screen) {
        return x11->hasCompositingManager() ? QImage() : x11->grabRoot(screen.nativeGeometry);
    };
    e.makeKeyGrabber = [] { return makeX11GlobalKeyGrabber(); };
    return e;
}

SelectionOverlayController::SelectionOverlayController(SelectionOverlayEnvironment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {}

SelectionOverlayController::~SelectionOverlayController() { finish(std::nullopt); }

std::vector<SelectionOverlayPanel*> SelectionOverlayController::windows() const {
    std::vector<SelectionOverlayPanel*> out;
    for (const auto& w : windows_)
        if (w) out.push_back(w.data());
    return out;
}

QFuture<std::optional<QRectF>> SelectionOverlayController::beginSelection() {
    if (promise_) {
        activateOverlay();
        return future_;
    }
    promise_ = std::make_unique<QPromise<std::optional<QRectF>>>();
    promise_->start();
    future_ = promise_->future();
    showPanels();

    if (environment_.makeKeyGrabber) {
        auto grabber = environment_.makeKeyGrabber();
        if (grabber) {
            QPointer<SelectionOverlayController> self(this);
            // Delivered from inside the grabber's own event handling: finish later,
            // when releasing the grabber is safe.
            grabber->onPressed = [self](int) {
                if (self)
                    QMetaObject::invokeMethod(self.data(), [self] { if (self) self->finish(std::nullopt); },
                                              Qt::QueuedConnection);
            };
            // Without the grab (another client holds Esc) the focused panel still takes Esc.
            if (grabber->install() == GlobalKeyGrabber::statusOk &&
                grabber->grab(escapeKeysym, 0, escapeGrabID) == GlobalKeyGrabber::statusOk)
                keyGrabber_ = std::move(grabber);
        }
    }
    return future_;
}

void SelectionOverlayController::showPanels() {
    const std::vector<ScreenInfo> screens = environment_.screens ? environment_.screens->screens() : std::vector<ScreenInfo>{};
    QPointer<SelectionOverlayController> self(this);
    for (const ScreenInfo& screen : screens) {
        auto* panel = new SelectionOverlayPanel(screen, environment_.backdrop ? environment_.backdrop(screen) : QImage());
        panel->onCancel = [self] { if (self) self->finish(std::nullopt); };
        if (auto screens = environment_.screens)
            panel->preciseGlobalPointer = [screens] { return screens->pointerLocation(); };
        panel->onSelect = [self](const QRectF& r) { if (self) self->finish(r); };
        windows_.emplace_back(panel);
        panel->show();
        panel->raise();
    }
    activateOverlay();
}

SelectionOverlayPanel* SelectionOverlayController::panelUnderPointer() const {
    const auto all = windows();
    if (all.empty()) return nullptr;
    if (const auto pointer = environment_.screens ? environment_.screens->pointerLocation() : std::nullopt)
        for (SelectionOverlayPanel* w : all)
            if (w->frameInScreenCoordinates().contains(*pointer)) return w;
    return all.front();
}

void SelectionOverlayController::activateOverlay() {
    for (SelectionOverlayPanel* w : windows()) w->raise();
    if (SelectionOverlayPanel* key = panelUnderPointer()) {
        key->raise();
        key->activateWindow();
        key->setFocus(Qt::ActiveWindowFocusReason);
    }
}

void SelectionOverlayController::finish(std::optional<QRectF> rect) {
    if (!promise_) return;
    keyGrabber_.reset();
    for (const auto& w : windows_) {
        if (!w) continue;
        w->hide();
        // Possibly called from inside the panel's own event handler.
        w->deleteLater();
    }
    windows_.clear();
    auto promise = std::move(promise_);
    promise->addResult(rect);
    promise->finish();
}

} // namespace lumivane
