#include "platform/x11/X11Screens.h"
#include "core/LargeMemory.h"
#include "platform/CoordinateSpace.h"
#include "platform/DesktopBackend.h"
#include "platform/x11/X11Connection.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

namespace lumivane {

struct X11Screens::Impl {
    xcb_connection_t* conn = nullptr;
    xcb_screen_t* screen = nullptr;
    int screenNumber = 0;
    bool shm = false;
    int bitsPerPixel = 32;
    int scanlinePad = 32;
    bool lsbFirst = true;
    QString refusal;
    quint32 redMask = 0xff0000, greenMask = 0xff00, blueMask = 0xff;

    ~Impl() {
        if (!conn)
            return;
        releaseSegment();
        xcb_disconnect(conn);
    }

    struct Monitor {
        QRect native;
        bool primary = false;
        quint32 id = 0;
        bool automatic = true;
    };

    std::vector<Monitor> monitors() const {
        std::vector<Monitor> out;
        auto cookie = xcb_randr_get_monitors(conn, screen->root, 1);
        if (auto* reply = xcb_randr_get_monitors_reply(conn, cookie, nullptr)) {
            xcb_randr_monitor_info_iterator_t it = xcb_randr_get_monitors_monitors_iterator(reply);
            for (; it.rem; xcb_randr_monitor_info_next(&it)) {
                const xcb_randr_monitor_info_t* m = it.data;
                if (m->width == 0 || m->height == 0)
                    continue;
                out.push_back(
                    {QRect(m->x, m->y, m->width, m->height), bool(m->primary), quint32(m->name), bool(m->automatic)});
            }
            free(reply);
        }
        // Monitors a user defined inside an output (xrandr --setmonitor) replace that output's own monitor.
        std::vector<Monitor> kept;
        for (const Monitor& m : out) {
            bool replaced = false;
            if (m.automatic)
                for (const Monitor& other : out)
                    if (!other.automatic && m.native.contains(other.native))
                        replaced = true;
            if (!replaced)
                kept.push_back(m);
        }
        out = kept;
        if (out.empty())
            out.push_back(
                {QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels), true, quint32(screen->root)});
        return out;
    }

    xcb_atom_t atom(const char* name) const {
        auto* reply = xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 1, uint16_t(strlen(name)), name), nullptr);
        if (!reply)
            return XCB_ATOM_NONE;
        const xcb_atom_t a = reply->atom;
        free(reply);
        return a;
    }

    // 32-bit values of a window property; empty when absent.
    std::vector<quint32> cardinals(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint32_t count) const {
        std::vector<quint32> out;
        if (property == XCB_ATOM_NONE)
            return out;
        auto* prop = xcb_get_property_reply(conn, xcb_get_property(conn, 0, window, property, type, 0, count), nullptr);
        if (!prop)
            return out;
        if (prop->format == 32) {
            const auto* v = static_cast<const quint32*>(xcb_get_property_value(prop));
            out.assign(v, v + xcb_get_property_value_length(prop) / 4);
        }
        free(prop);
        return out;
    }

    // The window manager's work area of the current desktop (_NET_WORKAREA holds
    // x, y, width, height for every desktop), in X11 pixels.
    std::optional<QRect> workArea() const {
        const std::vector<quint32> desktop =
            cardinals(screen->root, atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 1);
        const quint32 index = desktop.empty() ? 0 : desktop.front();
        const std::vector<quint32> v =
            cardinals(screen->root, atom("_NET_WORKAREA"), XCB_ATOM_CARDINAL, 4 * (std::min<quint32>(index, 63) + 1));
        if (v.size() < 4 * (size_t(index) + 1))
            return std::nullopt;
        const quint32* a = v.data() + 4 * index;
        const QRect area{int(a[0]), int(a[1]), int(a[2]), int(a[3])};
        return area.isEmpty() ? std::nullopt : std::optional<QRect>(area);
    }

    // Space reserved by docks and panels (_NET_WM_STRUT_PARTIAL, else _NET_WM_STRUT) of
    // the mapped top-level windows (the managed clients, or the root's children when no
    // window manager lists them), as rectangles of the root window.
    std::vector<QRect> struts() const {
        std::vector<xcb_window_t> windows;
        for (quint32 w : cardinals(screen->root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096))
            windows.push_back(w);
        if (auto* tree = xcb_query_tree_reply(conn, xcb_query_tree(conn, screen->root), nullptr)) {
            const xcb_window_t* children = xcb_query_tree_children(tree);
            windows.insert(windows.end(), children, children + xcb_query_tree_children_length(tree));
            free(tree);
        }
        const xcb_atom_t partial = atom("_NET_WM_STRUT_PARTIAL"), plain = atom("_NET_WM_STRUT");
        if (partial == XCB_ATOM_NONE && plain == XCB_ATOM_NONE)
            return {};
        // All requests first, then the replies: one round trip for the lot.
        std::vector<xcb_get_property_cookie_t> cookies;
        std::vector<xcb_get_window_attributes_cookie_t> attributes;
        for (xcb_window_t w : windows) {
            cookies.push_back(
                xcb_get_property(conn, 0, w, partial != XCB_ATOM_NONE ? partial : plain, XCB_ATOM_CARDINAL, 0, 12));
            attributes.push_back(xcb_get_window_attributes(conn, w));
        }
        const int rootW = screen->width_in_pixels, rootH = screen->height_in_pixels;
        std::vector<QRect> out;
        for (size_t i = 0; i < windows.size(); ++i) {
            auto* prop = xcb_get_property_reply(conn, cookies[i], nullptr);
            auto* attr = xcb_get_window_attributes_reply(conn, attributes[i], nullptr);
            const bool viewable = attr && attr->map_state == XCB_MAP_STATE_VIEWABLE;
            free(attr);
            if (!prop)
                continue;
            const int n = prop->format == 32 ? xcb_get_property_value_length(prop) / 4 : 0;
            const auto* v = static_cast<const quint32*>(xcb_get_property_value(prop));
            if (viewable && n >= 4) {
                const int left = int(v[0]), right = int(v[1]), top = int(v[2]), bottom = int(v[3]);
                const bool ranged = n >= 12;
                auto span = [&](int k, int whole) {
                    return ranged ? std::pair<int, int>(int(v[k]), int(v[k + 1])) : std::pair<int, int>(0, whole - 1);
                };
                if (left > 0) {
                    auto [a, b] = span(4, rootH);
                    out.emplace_back(0, a, left, b - a + 1);
                }
                if (right > 0) {
                    auto [a, b] = span(6, rootH);
                    out.emplace_back(rootW - right, a, right, b - a + 1);
                }
                if (top > 0) {
                    auto [a, b] = span(8, rootW);
                    out.emplace_back(a, 0, b - a + 1, top);
                }
                if (bottom > 0) {
                    auto [a, b] = span(10, rootW);
                    out.emplace_back(a, rootH - bottom, b - a + 1, bottom);
                }
            }
            free(prop);
        }
        return out;
    }

    // A monitor without the panels along its edges and outside the work area.
    static QRect visibleArea(const QRect& monitor, const std::optional<QRect>& area, const std::vector<QRect>& struts) {
        QRect visible = area ? (monitor & *area) : monitor;
        if (visible.isEmpty())
            visible = monitor;
        for (const QRect& s : struts) {
            const QRect overlap = visible & s;
            if (overlap.isEmpty())
                continue;
            // Cut the side of the monitor the reserved band lies against.
            if (overlap.width() == visible.width()) {
                if (overlap.top() == visible.top())
                    visible.setTop(overlap.bottom() + 1);
                else if (overlap.bottom() == visible.bottom())
                    visible.setBottom(overlap.top() - 1);
            } else if (overlap.height() == visible.height()) {
                if (overlap.left() == visible.left())
                    visible.setLeft(overlap.right() + 1);
                else if (overlap.right() == visible.right())
                    visible.setRight(overlap.left() - 1);
            }
        }
        return visible.isEmpty() ? monitor : visible;
    }

    // Scales from Qt, by monitor origin (Qt keeps a screen's X11 origin).
    mutable std::mutex scalesLock;
    std::map<std::pair<int, int>, double> qtScales;
    bool followsQt = false;

    std::optional<double> xftDpi() const {
        auto* prop = xcb_get_property_reply(
            conn, xcb_get_property(conn, 0, screen->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1 << 16),
            nullptr);
        if (!prop)
            return std::nullopt;
        const QByteArray text(static_cast<const char*>(xcb_get_property_value(prop)),
                              xcb_get_property_value_length(prop));
        free(prop);
        for (const QByteArray& line : text.split('\n')) {
            if (!line.startsWith("Xft.dpi:"))
                continue;
            bool ok = false;
            const double dpi = line.mid(8).trimmed().toDouble(&ok);
            if (ok && dpi > 0)
                return dpi;
        }
        return std::nullopt;
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

    const Monitor& mainOf(const std::vector<Monitor>& ms) const {
        for (const Monitor& m : ms)
            if (m.primary)
                return m;
        for (const Monitor& m : ms)
            if (m.native.contains(0, 0))
                return m;
        return ms.front();
    }

    // A Z-pixmap of width × height pixels, rows padded to the scanline pad, as
    // an opaque RGB32 image, converted in one pass straight into the result.
    QImage convert(const uint8_t* data, int width, int height) const {
        QImage out = allocateImage(width, height);
        if (out.isNull())
            return out;
        convertInto(out, 0, data, width, height);
        return out;
    }

    int strideFor(int width) const {
        return ((width * bitsPerPixel + scanlinePad - 1) / scanlinePad) * (scanlinePad / 8);
    }

    void convertInto(QImage& out, int firstRow, const uint8_t* data, int width, int rows) const {
        const int stride = strideFor(width);
        const int bytesPerPixel = bitsPerPixel / 8;
        if (bitsPerPixel == 32 && lsbFirst && redMask == 0xff0000 && greenMask == 0xff00 && blueMask == 0xff) {
            // RGB32 needs the padding byte set to 0xff.
            for (int y = 0; y < rows; ++y) {
                const auto* src = reinterpret_cast<const quint32*>(data + size_t(y) * stride);
                auto* dst = reinterpret_cast<quint32*>(out.scanLine(firstRow + y));
                for (int x = 0; x < width; ++x)
                    dst[x] = src[x] | 0xff000000u;
            }
            return;
        }
        auto channel = [](quint32 pixel, quint32 mask) -> int {
            if (!mask)
                return 0;
            const int shift = __builtin_ctz(mask);
            const quint32 max = mask >> shift;
            return int(((pixel & mask) >> shift) * 255 / max);
        };
        for (int y = 0; y < rows; ++y) {
            const uint8_t* row = data + size_t(y) * stride;
            auto* dst = reinterpret_cast<QRgb*>(out.scanLine(firstRow + y));
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = row + x * bytesPerPixel;
                quint32 pixel = 0;
                for (int b = 0; b < bytesPerPixel; ++b)
                    pixel |= quint32(p[b]) << (lsbFirst ? 8 * b : 8 * (bytesPerPixel - 1 - b));
                dst[x] = qRgb(channel(pixel, redMask), channel(pixel, greenMask), channel(pixel, blueMask));
            }
        }
    }

    static QImage allocateImage(int width, int height) {
        const size_t bytesPerLine = size_t(width) * 4;
        void* mem = LargeMemory::take(bytesPerLine * size_t(height));
        if (!mem)
            return QImage(width, height, QImage::Format_RGB32);
        return QImage(
            static_cast<uchar*>(mem), width, height, qsizetype(bytesPerLine), QImage::Format_RGB32,
            [](void* p) { LargeMemory::give(p); }, mem);
    }

    // Reads go through one small shared-memory segment per connection, kept for the
    // connection's life, in bands of rows: its pages are faulted in once, by the X server
    // and by this process, however large the screen (a screen-sized segment costs
    // thousands of page faults on both sides whenever it is fresh, and its size in
    // memory for as long as it is kept). The segment has two halves: the server fills
    // one while the other is converted.
    static constexpr size_t bandBytes = size_t(2) << 20;
    struct SharedSegment {
        std::mutex lock;
        xcb_shm_seg_t seg = 0;
        void* mem = nullptr;
        size_t size = 0;
        bool failed = false;
    };
    mutable SharedSegment shmSegment;

    // Under shmSegment.lock.
    bool ensureSegment(size_t size) const {
        SharedSegment& s = shmSegment;
        if (s.mem && s.size >= size)
            return true;
        releaseSegment();
        const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (id < 0)
            return false;
        void* mem = shmat(id, nullptr, 0);
        if (mem == reinterpret_cast<void*>(-1)) {
            shmctl(id, IPC_RMID, nullptr);
            return false;
        }
        const xcb_shm_seg_t seg = xcb_generate_id(conn);
        xcb_generic_error_t* error = xcb_request_check(conn, xcb_shm_attach_checked(conn, seg, id, 0));
        // Both sides are attached now (or never will be); the segment goes away with the last detach.
        shmctl(id, IPC_RMID, nullptr);
        if (error) {
            free(error);
            shmdt(mem);
            return false;
        }
        s.seg = seg;
        s.mem = mem;
        s.size = size;
        return true;
    }

    void releaseSegment() const {
        SharedSegment& s = shmSegment;
        if (!s.mem)
            return;
        xcb_shm_detach(conn, s.seg);
        xcb_flush(conn);
        shmdt(s.mem);
        s.mem = nullptr;
        s.size = 0;
    }

    // One read of the root into the whole segment: the server faults its pages in,
    // then this process does.
    void prepareSegment() const {
        std::lock_guard guard(shmSegment.lock);
        if (shmSegment.failed || shmSegment.mem)
            return;
        if (!ensureSegment(2 * bandBytes)) {
            shmSegment.failed = true;
            return;
        }
        const int width = std::min<int>(screen->width_in_pixels, int(bandBytes / 4));
        const int rows = std::min<int>(screen->height_in_pixels, int(2 * bandBytes / size_t(strideFor(width))));
        if (width <= 0 || rows <= 0)
            return;
        free(xcb_shm_get_image_reply(conn,
                                     xcb_shm_get_image(conn, screen->root, 0, 0, uint16_t(width), uint16_t(rows), ~0u,
                                                       XCB_IMAGE_FORMAT_Z_PIXMAP, shmSegment.seg, 0),
                                     nullptr));
        volatile const uint8_t* p = static_cast<const uint8_t*>(shmSegment.mem);
        const long page = sysconf(_SC_PAGESIZE);
        for (size_t i = 0; i < shmSegment.size; i += size_t(page > 0 ? page : 4096))
            (void)p[i];
    }

    QImage grabShm(const QRect& r) const {
        std::lock_guard guard(shmSegment.lock);
        if (shmSegment.failed)
            return {};
        const size_t stride = size_t(strideFor(r.width()));
        const int bandRows = int(std::clamp<size_t>(bandBytes / stride, 1, size_t(r.height())));
        const size_t half = stride * size_t(bandRows);
        if (!ensureSegment(std::max(2 * half, 2 * bandBytes))) {
            shmSegment.failed = true; // e.g. a remote server: plain reads from now on
            return {};
        }
        QImage out = allocateImage(r.width(), r.height());
        if (out.isNull())
            return out;
        auto request = [&](int band) {
            const int y0 = band * bandRows;
            const int rows = std::min(bandRows, r.height() - y0);
            return xcb_shm_get_image(conn, screen->root, int16_t(r.x()), int16_t(r.y() + y0), uint16_t(r.width()),
                                     uint16_t(rows), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, shmSegment.seg,
                                     uint32_t((band % 2) * half));
        };
        const int bands = (r.height() + bandRows - 1) / bandRows;
        xcb_shm_get_image_cookie_t cookie = request(0);
        for (int band = 0; band < bands; ++band) {
            auto* reply = xcb_shm_get_image_reply(conn, cookie, nullptr);
            if (!reply)
                return {}; // nothing else is in flight
            free(reply);
            // The next band goes into the other half while this one is converted.
            if (band + 1 < bands)
                cookie = request(band + 1);
            const int y0 = band * bandRows;
            convertInto(out, y0, static_cast<const uint8_t*>(shmSegment.mem) + (band % 2) * half, r.width(),
                        std::min(bandRows, r.height() - y0));
        }
        return out;
    }

    QImage grabPlain(const QRect& r) const {
        // Stay under the maximum request length by reading bands.
        const int bandRows = std::max(1, int((4 << 20) / std::max(1, strideFor(r.width()))));
        QImage out = allocateImage(r.width(), r.height());
        if (out.isNull())
            return out;
        for (int y0 = 0; y0 < r.height(); y0 += bandRows) {
            const int rows = std::min(bandRows, r.height() - y0);
            auto cookie =
                xcb_get_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, r.x(), r.y() + y0, r.width(), rows, ~0u);
            auto* reply = xcb_get_image_reply(conn, cookie, nullptr);
            if (!reply)
                return {};
            convertInto(out, y0, xcb_get_image_data(reply), r.width(), rows);
            free(reply);
        }
        return out;
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
    impl->screenNumber = screenNumber;
    const xcb_setup_t* setup = xcb_get_setup(conn);
    impl->screen = screen;
    impl->lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == impl->screen->root_depth) {
            impl->bitsPerPixel = f.data->bits_per_pixel;
            impl->scanlinePad = f.data->scanline_pad;
        }
    }
    for (auto d = xcb_screen_allowed_depths_iterator(impl->screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == impl->screen->root_visual) {
                impl->redMask = v.data->red_mask;
                impl->greenMask = v.data->green_mask;
                impl->blueMask = v.data->blue_mask;
            }
        }
    }
    if (auto* ext = xcb_get_extension_data(conn, &xcb_shm_id); ext && ext->present) {
        if (auto* version = xcb_shm_query_version_reply(conn, xcb_shm_query_version(conn), nullptr)) {
            impl->shm = true;
            free(version);
        }
    }

    if (impl->bitsPerPixel != 16 && impl->bitsPerPixel != 24 && impl->bitsPerPixel != 32)
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
    return impl_->shm;
}

bool X11Screens::hasCompositingManager() const {
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(impl_->screenNumber);
    const xcb_atom_t a = impl_->atom(name.constData());
    if (a == XCB_ATOM_NONE)
        return false;
    auto* owner = xcb_get_selection_owner_reply(impl_->conn, xcb_get_selection_owner(impl_->conn, a), nullptr);
    const bool running = owner && owner->owner != XCB_NONE;
    free(owner);
    return running;
}

std::optional<double> X11Screens::xftDpi() const {
    return impl_->xftDpi();
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
    auto monitors = impl_->monitors();
    const Impl::Monitor main = impl_->mainOf(monitors);
    const auto area = impl_->workArea();
    const auto struts = impl_->struts();
    const auto dpi = impl_->xftDpi();
    const double mainScale = impl_->scaleFor(main.native, dpi);
    std::vector<ScreenInfo> out;
    auto add = [&](const Impl::Monitor& m) {
        ScreenInfo s;
        s.nativeGeometry = m.native;
        s.scale = impl_->scaleFor(m.native, dpi);
        s.frame = CoordinateSpace::frameForNative(m.native, m.native, s.scale, main.native, mainScale);
        s.visibleFrame = CoordinateSpace::frameForNative(Impl::visibleArea(m.native, area, struts), m.native, s.scale,
                                                         main.native, mainScale);
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
    auto monitors = impl_->monitors();
    const auto& main = impl_->mainOf(monitors);
    const auto dpi = impl_->xftDpi();
    const Impl::Monitor* on = &main;
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
    if (!impl_->refusal.isEmpty() || !impl_->shm)
        return;
    impl_->prepareSegment();
}

QImage X11Screens::grabRoot(const QRect& rootRect) const {
    if (!impl_->refusal.isEmpty())
        return {};
    const QRect bounds(0, 0, impl_->screen->width_in_pixels, impl_->screen->height_in_pixels);
    const QRect r = rootRect & bounds;
    if (r.isEmpty())
        return {};
    QImage img = impl_->shm ? impl_->grabShm(r) : QImage();
    if (img.isNull())
        img = impl_->grabPlain(r);
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
