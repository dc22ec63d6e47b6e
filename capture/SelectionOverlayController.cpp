#include "capture/SelectionOverlayController.h"
#include "capture/CaptureService.h"
#include "capture/SelectionOverlayPanel.h"

#include <QGuiApplication>
#include <QScreen>

#include <QMetaObject>

namespace lumivane {

namespace {
constexpr quint32 escapeEvdevCode = 1; // the Esc key (KEY_ESC)
constexpr int escapeGrabID = 1;
} // namespace

SelectionOverlayEnvironment SelectionOverlayEnvironment::forDesktop(const DesktopBackend& desktop) {
    SelectionOverlayEnvironment e;
    e.screens = desktop.screens;
    e.backdrop = desktop.overlayBackdrop;
    e.makeKeyGrabber = desktop.makeKeyGrabber;
    e.fullScreenPanels = !desktop.capabilities.placesOwnWindows;
    e.windowFrames = desktop.visibleWindowFrames;
    return e;
}

std::vector<QRectF> windowRectsOnScreen(const std::vector<QRect>& frames, const ScreenInfo& screen) {
    std::vector<QRectF> out;
    const QRect& n = screen.nativeGeometry;
    if (n.isEmpty())
        return out;
    const double k = screen.frame.width() / n.width(); // points per native unit
    const QRectF view(QPointF(0, 0), screen.frame.size());
    for (const QRect& f : frames) {
        const QRectF local =
            QRectF((f.x() - n.x()) * k, (f.y() - n.y()) * k, f.width() * k, f.height() * k).intersected(view);
        if (!local.isEmpty())
            out.push_back(local);
    }
    return out;
}

SelectionOverlayController::SelectionOverlayController(SelectionOverlayEnvironment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {}

SelectionOverlayController::~SelectionOverlayController() {
    finish(std::nullopt);
}

std::vector<SelectionOverlayPanel*> SelectionOverlayController::windows() const {
    std::vector<SelectionOverlayPanel*> out;
    for (const auto& w : windows_)
        if (w)
            out.push_back(w.data());
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
    frozen_.reset();
    if (environment_.freeze) {
        QPointer<SelectionOverlayController> self(this);
        auto* promise = promise_.get();
        environment_.freeze()
            .then(this,
                  [self, promise](DesktopSnapshot snapshot) {
                      // Cancelled (or another selection began) while the snapshot was taken.
                      if (!self || self->promise_.get() != promise)
                          return;
                      self->frozen_ = std::move(snapshot);
                      self->showPanels();
                  })
            .onFailed(this, [self, promise](const QException& error) {
                if (!self || self->promise_.get() != promise)
                    return;
                self->fail(error);
            });
    } else {
        showPanels();
    }

    if (environment_.makeKeyGrabber) {
        auto grabber = environment_.makeKeyGrabber();
        if (grabber) {
            QPointer<SelectionOverlayController> self(this);
            // Delivered from inside the grabber's own event handling: finish later,
            // when releasing the grabber is safe.
            grabber->onPressed = [self](int) {
                if (self)
                    QMetaObject::invokeMethod(
                        self.data(),
                        [self] {
                            if (self)
                                self->finish(std::nullopt);
                        },
                        Qt::QueuedConnection);
            };
            // Without the grab (another client holds Esc) the focused panel still takes Esc.
            if (grabber->install() == GlobalKeyGrabber::statusOk &&
                grabber->grab(escapeEvdevCode, 0, escapeGrabID) == GlobalKeyGrabber::statusOk)
                keyGrabber_ = std::move(grabber);
        }
    }
    return future_;
}

void SelectionOverlayController::fail(const QException& error) {
    if (!promise_)
        return;
    keyGrabber_.reset();
    auto promise = std::move(promise_);
    promise->setException(error);
    promise->finish();
}

QImage SelectionOverlayController::backdropFor(const ScreenInfo& screen) const {
    if (frozen_) {
        // The screen at its own scale: sharp on high-density outputs.
        QImage image = CaptureService::composeFromSnapshot(
            *frozen_, CaptureService::planSegments({screen}, screen.frame), screen.frame);
        image.setDevicePixelRatio(screen.scale);
        return image;
    }
    return environment_.backdrop ? environment_.backdrop(screen) : QImage();
}

void SelectionOverlayController::showPanels() {
    const std::vector<ScreenInfo> screens =
        environment_.screens ? environment_.screens->screens() : std::vector<ScreenInfo>{};
    // Listed before the panels show, so that they are not among them.
    const std::vector<QRect> frames = environment_.windowFrames ? environment_.windowFrames() : std::vector<QRect>{};
    QPointer<SelectionOverlayController> self(this);
    for (const ScreenInfo& screen : screens) {
        auto* panel = new SelectionOverlayPanel(screen, backdropFor(screen));
        panel->setWindowRects(windowRectsOnScreen(frames, screen));
        panel->onCancel = [self] {
            if (self)
                self->finish(std::nullopt);
        };
        if (auto screens = environment_.screens)
            panel->preciseGlobalPointer = [screens] { return screens->pointerLocation(); };
        panel->onSelect = [self](const QRectF& r) {
            if (self)
                self->finish(r);
        };
        windows_.emplace_back(panel);
        if (environment_.fullScreenPanels) {
            for (QScreen* s : QGuiApplication::screens())
                if (s->geometry() == screen.nativeGeometry)
                    panel->setScreen(s);
            panel->showFullScreen();
        } else {
            panel->show();
        }
        panel->raise();
    }
    activateOverlay();
}

SelectionOverlayPanel* SelectionOverlayController::panelUnderPointer() const {
    const auto all = windows();
    if (all.empty())
        return nullptr;
    if (const auto pointer = environment_.screens ? environment_.screens->pointerLocation() : std::nullopt)
        for (SelectionOverlayPanel* w : all)
            if (w->frameInScreenCoordinates().contains(*pointer))
                return w;
    return all.front();
}

void SelectionOverlayController::activateOverlay() {
    for (SelectionOverlayPanel* w : windows())
        w->raise();
    if (SelectionOverlayPanel* key = panelUnderPointer()) {
        key->raise();
        key->activateWindow();
        key->setFocus(Qt::ActiveWindowFocusReason);
    }
}

void SelectionOverlayController::finish(std::optional<QRectF> rect) {
    if (!promise_)
        return;
    keyGrabber_.reset();
    for (const auto& w : windows_) {
        if (!w)
            continue;
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
