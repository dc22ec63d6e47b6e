#include "platform/x11/X11Screens.h"
#include "platform/CoordinateSpace.h"
#include "platform/DesktopBackend.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11RootReader.h"
#include "platform/x11/X11ScreenLayout.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <xcb/xcb.h>

#include <cstdlib>
#include <map>
#include <mutex>

namespace lumivane {

struct X11Screens::Impl {
    xcb_connection_t* conn = nullptr;
    xcb_screen_t* screen = nullptr;
    int screenNumber = 0;
    QString refusal;
    std::unique_ptr<X11RootReader> reader;

    // Scales from Qt, by monitor origin (Qt keeps a screen's X11 origin).
    mutable std::mutex scalesLock;
    std::map<std::pair<int, int>, double> qtScales;
    bool followsQt = false;

    ~Impl() {
        reader.reset(); // detaches its segment first
        if (conn)
            xcb_disconnect(conn);
    }

    double scaleFor(const QRect& monitor, const std::optional<double>& dpi) const {
        {
            std::lock_guard guard(scalesLock);
            auto it = qtScales.find({monitor.x(), monitor.y()});
            if (it != qtScales.end())
                return it->second;
        }
        return dpi ? *dpi / 96.0 : 1.0;
    }
};

std::shared_ptr<X11Screens> X11Screens::connect() {
    int screenNumber = 0;
    xcb_screen_t* screen = nullptr;
    xcb_connection_t* conn = connectX11(&screen, &screenNumber);
    if (!conn)
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->conn = conn;
    impl->screen = screen;
    impl->screenNumber = screenNumber;
    impl->reader = std::make_unique<X11RootReader>(conn, screen);
    if (!impl->reader->supportsPixelFormat())
        return nullptr;
    if (sessionWindowSystem() == WindowSystem::wayland)
        impl->refusal = QStringLiteral("X11 screen capture refused: this is a Wayland session, where X11 reads through "
                                       "Xwayland return black pixels.");
    else if (auto* xwayland = xcb_query_extension_reply(conn, xcb_query_extension(conn, 8, "XWAYLAND"), nullptr)) {
        if (xwayland->present)
            impl->refusal = QStringLiteral("X11 screen capture refused: the X server is Xwayland, whose root-window "
                                           "reads return black pixels.");
        free(xwayland);
    }
    return std::shared_ptr<X11Screens>(new X11Screens(std::move(impl)));
}

X11Screens::X11Screens(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11Screens::~X11Screens() = default;

bool X11Screens::usesSharedMemory() const {
    return impl_->reader->usesSharedMemory();
}

bool X11Screens::hasCompositingManager() const {
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(impl_->screenNumber);
    const xcb_atom_t a = X11ScreenLayout::atom(impl_->conn, name.constData());
    if (a == XCB_ATOM_NONE)
        return false;
    auto* owner = xcb_get_selection_owner_reply(impl_->conn, xcb_get_selection_owner(impl_->conn, a), nullptr);
    const bool running = owner && owner->owner != XCB_NONE;
    free(owner);
    return running;
}

std::optional<double> X11Screens::xftDpi() const {
    return X11ScreenLayout::xftDpi(impl_->conn, impl_->screen);
}

void X11Screens::followQtScreenScales() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    Impl* impl = impl_.get();
    auto refresh = [impl] {
        std::map<std::pair<int, int>, double> scales;
        for (QScreen* s : QGuiApplication::screens())
            scales[{s->geometry().x(), s->geometry().y()}] = s->devicePixelRatio();
        std::lock_guard guard(impl->scalesLock);
        impl->qtScales = std::move(scales);
    };
    refresh();
    if (impl->followsQt)
        return;
    impl->followsQt = true;
    auto watch = [refresh](QScreen* s) {
        QObject::connect(s, &QScreen::geometryChanged, s, refresh);
        QObject::connect(s, &QScreen::logicalDotsPerInchChanged, s, refresh);
    };
    for (QScreen* s : QGuiApplication::screens())
        watch(s);
    QObject::connect(app, &QGuiApplication::screenAdded, app, [refresh, watch](QScreen* s) {
        watch(s);
        refresh();
    });
    QObject::connect(app, &QGuiApplication::screenRemoved, app, [refresh] { refresh(); });
}

std::vector<ScreenInfo> X11Screens::screens() const {
    auto monitors = X11ScreenLayout::monitors(impl_->conn, impl_->screen);
    const X11ScreenLayout::Monitor main = X11ScreenLayout::mainMonitor(monitors);
    const auto area = X11ScreenLayout::workArea(impl_->conn, impl_->screen);
    const auto struts = X11ScreenLayout::struts(impl_->conn, impl_->screen);
    const auto dpi = X11ScreenLayout::xftDpi(impl_->conn, impl_->screen);
    const double mainScale = impl_->scaleFor(main.native, dpi);
    std::vector<ScreenInfo> out;
    auto add = [&](const X11ScreenLayout::Monitor& m) {
        ScreenInfo s;
        s.nativeGeometry = m.native;
        s.scale = impl_->scaleFor(m.native, dpi);
        s.frame = CoordinateSpace::frameForNative(m.native, m.native, s.scale, main.native, mainScale);
        s.visibleFrame = CoordinateSpace::frameForNative(X11ScreenLayout::visibleArea(m.native, area, struts), m.native,
                                                         s.scale, main.native, mainScale);
        s.screenId = m.id;
        out.push_back(s);
    };
    add(main);
    for (const auto& m : monitors)
        if (m.native != main.native || m.id != main.id)
            add(m);
    return out;
}

std::optional<ScreenInfo> X11Screens::mainScreen() const {
    auto all = screens();
    if (all.empty())
        return std::nullopt;
    return all.front();
}

std::optional<QPointF> X11Screens::pointerLocation() const {
    auto* reply = xcb_query_pointer_reply(impl_->conn, xcb_query_pointer(impl_->conn, impl_->screen->root), nullptr);
    if (!reply)
        return std::nullopt;
    const QPoint native(reply->root_x, reply->root_y);
    free(reply);
    auto monitors = X11ScreenLayout::monitors(impl_->conn, impl_->screen);
    const auto& main = X11ScreenLayout::mainMonitor(monitors);
    const auto dpi = X11ScreenLayout::xftDpi(impl_->conn, impl_->screen);
    const X11ScreenLayout::Monitor* on = &main;
    for (const auto& m : monitors)
        if (m.native.contains(native)) {
            on = &m;
            break;
        }
    const double scale = impl_->scaleFor(on->native, dpi);
    const QPointF logical = CoordinateSpace::logicalPointForNative(QPointF(native), on->native, scale);
    return CoordinateSpace::globalPointForLogical(
        logical, CoordinateSpace::mainBottom(main.native, impl_->scaleFor(main.native, dpi)));
}

QString X11Screens::refusal() const {
    return impl_->refusal;
}

void X11Screens::prepare() const {
    if (impl_->refusal.isEmpty())
        impl_->reader->prepare();
}

QImage X11Screens::grabRoot(const QRect& rootRect) const {
    if (!impl_->refusal.isEmpty())
        return {};
    const QRect bounds(0, 0, impl_->screen->width_in_pixels, impl_->screen->height_in_pixels);
    const QRect r = rootRect & bounds;
    if (r.isEmpty())
        return {};
    QImage img = impl_->reader->read(r);
    if (img.isNull() || r == rootRect)
        return img;
    QImage out(rootRect.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage(r.topLeft() - rootRect.topLeft(), img);
    return out;
}

QImage X11Screens::grab(const ScreenInfo& screen, const QRectF& sourceRect, QSize pixelSize) const {
    const QRect pixels = CoordinateSpace::nativeRectForScreenLocal(screen.nativeGeometry, screen.scale, sourceRect);
    QImage img = grabRoot(pixels);
    if (img.isNull())
        return img;
    if (img.size() != pixelSize)
        img = img.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return img;
}

} // namespace lumivane
