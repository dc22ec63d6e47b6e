#include "platform/wayland/wlroots/WlrootsConnection.h"

#include "wayland-protocols/ext-image-capture-source-v1-client.h"
#include "wayland-protocols/ext-image-copy-capture-v1-client.h"
#include "wayland-protocols/wlr-screencopy-unstable-v1-client.h"
#include "wayland-protocols/xdg-output-unstable-v1-client.h"

#include <wayland-client.h>

#include <QDeadlineTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>

namespace lumivane::wlroots {

namespace {

constexpr uint32_t shmArgb8888 = WL_SHM_FORMAT_ARGB8888;
constexpr uint32_t shmXrgb8888 = WL_SHM_FORMAT_XRGB8888;
constexpr uint32_t shmAbgr8888 = WL_SHM_FORMAT_ABGR8888;
constexpr uint32_t shmXbgr8888 = WL_SHM_FORMAT_XBGR8888;

void outputGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                    int32_t transform) {
    auto* o = static_cast<Output*>(data);
    o->position = QPoint(x, y);
    o->transform = transform;
}
void outputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (flags & WL_OUTPUT_MODE_CURRENT)
        static_cast<Output*>(data)->mode = QSize(width, height);
}
void outputDone(void*, wl_output*) {}
void outputScale(void* data, wl_output*, int32_t factor) {
    static_cast<Output*>(data)->scale = std::max(1, factor);
}
void outputName(void*, wl_output*, const char*) {}
void outputDescription(void*, wl_output*, const char*) {}
const wl_output_listener outputListener = {outputGeometry, outputMode, outputDone,
                                           outputScale,    outputName, outputDescription};

void xdgPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    static_cast<Output*>(data)->logicalPosition = QPoint(x, y);
}
void xdgSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
    static_cast<Output*>(data)->logicalSize = QSize(width, height);
}
void xdgDone(void*, zxdg_output_v1*) {}
void xdgName(void* data, zxdg_output_v1*, const char* name) {
    static_cast<Output*>(data)->name = QString::fromUtf8(name);
}
void xdgDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener xdgOutputListener = {xdgPosition, xdgSize, xdgDone, xdgName, xdgDescription};

const wl_registry_listener registryListener = {WlrootsConnection::registryGlobal,
                                               WlrootsConnection::registryGlobalRemove};

void destroyOutput(Output& o) {
    destroyCopySession(o.copySession);
    for (auto& b : o.buffers)
        b->releaseProtocolObject();
    o.buffers.clear();
    if (o.xdgOutput)
        zxdg_output_v1_destroy(o.xdgOutput);
    o.xdgOutput = nullptr;
    if (o.output) {
        if (wl_output_get_version(o.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(o.output);
        else
            wl_output_destroy(o.output);
    }
    o.output = nullptr;
}

} // namespace

bool isReadableShmFormat(uint32_t format) {
    return format == shmXrgb8888 || format == shmArgb8888 || format == shmXbgr8888 || format == shmAbgr8888;
}

QImage::Format imageFormatForShm(uint32_t format) {
    // Output pixels are opaque whatever their alpha byte says.
    if (format == shmXrgb8888 || format == shmArgb8888)
        return QImage::Format_RGB32;
    if (format == shmXbgr8888 || format == shmAbgr8888)
        return QImage::Format_RGBX8888;
    return QImage::Format_Invalid;
}

void destroyCopySession(std::unique_ptr<CopySession>& session) {
    if (!session)
        return;
    if (session->session)
        ext_image_copy_capture_session_v1_destroy(session->session);
    if (session->source)
        ext_image_capture_source_v1_destroy(session->source);
    session.reset();
}

QRect Output::logicalGeometry() const {
    if (logicalSize.isValid() && !logicalSize.isEmpty())
        return QRect(logicalPosition, logicalSize);
    // Without xdg-output: the mode, turned by the transform, over the integer scale.
    QSize size = mode;
    if (transform % 2 == 1)
        size.transpose();
    return QRect(position, size / std::max(1, scale));
}

std::unique_ptr<WlrootsConnection> WlrootsConnection::connect(const char* displayName) {
    wl_display* display = wl_display_connect(displayName);
    if (!display)
        return nullptr;
    std::unique_ptr<WlrootsConnection> c(new WlrootsConnection);
    c->display_ = display;
    c->registry_ = wl_display_get_registry(display);
    wl_registry_add_listener(c->registry_, &registryListener, c.get());
    // The globals, then what the new output objects send.
    if (!c->roundtrip(3000) || !c->shm_ || !(c->screencopy_ || c->offersImageCopyCapture()))
        return nullptr;
    if (!c->roundtrip(3000))
        return nullptr;
    return c;
}

WlrootsConnection::~WlrootsConnection() {
    for (auto& o : outputs_)
        destroyOutput(*o);
    outputs_.clear();
    if (screencopy_)
        zwlr_screencopy_manager_v1_destroy(screencopy_);
    if (sourceManager_)
        ext_output_image_capture_source_manager_v1_destroy(sourceManager_);
    if (copyManager_)
        ext_image_copy_capture_manager_v1_destroy(copyManager_);
    if (xdgOutputManager_)
        zxdg_output_manager_v1_destroy(xdgOutputManager_);
    if (shm_)
        wl_shm_destroy(shm_);
    if (registry_)
        wl_registry_destroy(registry_);
    if (display_) {
        wl_display_flush(display_);
        wl_display_disconnect(display_);
    }
}

void WlrootsConnection::registryGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                                       uint32_t version) {
    auto* c = static_cast<WlrootsConnection*>(data);
    auto bind = [&](const wl_interface* wanted, uint32_t highest) {
        return wl_registry_bind(registry, name, wanted, std::min(version, highest));
    };
    if (std::strcmp(interface, wl_shm_interface.name) == 0 && !c->shm_) {
        c->shm_ = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        c->addOutput(name, version);
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && !c->xdgOutputManager_) {
        c->xdgOutputManager_ = static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 3));
        for (auto& o : c->outputs_)
            c->watchLogicalGeometry(*o);
    } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0 && !c->screencopy_) {
        c->screencopyVersion_ = std::min(version, 3u);
        c->screencopy_ = static_cast<zwlr_screencopy_manager_v1*>(bind(&zwlr_screencopy_manager_v1_interface, 3));
    } else if (std::strcmp(interface, ext_output_image_capture_source_manager_v1_interface.name) == 0 &&
               !c->sourceManager_) {
        c->sourceManager_ = static_cast<ext_output_image_capture_source_manager_v1*>(
            bind(&ext_output_image_capture_source_manager_v1_interface, 1));
    } else if (std::strcmp(interface, ext_image_copy_capture_manager_v1_interface.name) == 0 && !c->copyManager_) {
        c->copyManager_ =
            static_cast<ext_image_copy_capture_manager_v1*>(bind(&ext_image_copy_capture_manager_v1_interface, 1));
    }
}

void WlrootsConnection::registryGlobalRemove(void* data, wl_registry*, uint32_t name) {
    auto* c = static_cast<WlrootsConnection*>(data);
    auto& all = c->outputs_;
    for (auto it = all.begin(); it != all.end(); ++it) {
        if ((*it)->globalName != name)
            continue;
        destroyOutput(**it);
        all.erase(it);
        return;
    }
}

void WlrootsConnection::addOutput(uint32_t name, uint32_t version) {
    auto o = std::make_unique<Output>();
    o->globalName = name;
    o->output = static_cast<wl_output*>(wl_registry_bind(registry_, name, &wl_output_interface, std::min(version, 3u)));
    wl_output_add_listener(o->output, &outputListener, o.get());
    watchLogicalGeometry(*o);
    outputs_.push_back(std::move(o));
}

void WlrootsConnection::watchLogicalGeometry(Output& o) {
    if (!xdgOutputManager_ || o.xdgOutput)
        return;
    o.xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputManager_, o.output);
    zxdg_output_v1_add_listener(o.xdgOutput, &xdgOutputListener, &o);
}

QString WlrootsConnection::protocolName() const {
    if (offersImageCopyCapture())
        return QStringLiteral("ext-image-copy-capture-v1");
    return QStringLiteral("wlr-screencopy-unstable-v1 version %1").arg(screencopyVersion_);
}

Output* WlrootsConnection::outputFor(const QRect& logical) const {
    Output* best = nullptr;
    qint64 bestArea = 0;
    for (const auto& o : outputs_) {
        const QRect g = o->logicalGeometry();
        if (g == logical)
            return o.get();
        const QRect common = g.intersected(logical);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = o.get();
            bestArea = area;
        }
    }
    return best;
}

bool WlrootsConnection::isBroken() const {
    return wl_display_get_error(display_) != 0;
}

bool WlrootsConnection::dispatchPending() {
    return wl_display_dispatch_pending(display_) >= 0;
}

bool WlrootsConnection::dispatchUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        if (wl_display_dispatch_pending(display_) < 0)
            return false;
        if (done())
            return true;
        while (wl_display_prepare_read(display_) != 0)
            if (wl_display_dispatch_pending(display_) < 0)
                return false;
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            return false;
        }
        pollfd p{wl_display_get_fd(display_), POLLIN, 0};
        const int left = int(std::max<qint64>(0, deadline.remainingTime()));
        const int r = poll(&p, 1, left);
        if (r <= 0) {
            wl_display_cancel_read(display_);
            if (r < 0 && errno == EINTR)
                continue;
            return false;
        }
        if (wl_display_read_events(display_) < 0)
            return false;
    }
}

bool WlrootsConnection::roundtrip(int timeoutMs) {
    bool done = false;
    static const wl_callback_listener listener = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback* callback = wl_display_sync(display_);
    wl_callback_add_listener(callback, &listener, &done);
    const bool ok = dispatchUntil([&] { return done; }, timeoutMs);
    wl_callback_destroy(callback);
    return ok;
}

} // namespace lumivane::wlroots
