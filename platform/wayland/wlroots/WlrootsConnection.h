#pragma once
#include "platform/wayland/wlroots/ShmBuffer.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_shm;
struct wl_output;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_screencopy_manager_v1;
struct ext_output_image_capture_source_manager_v1;
struct ext_image_copy_capture_manager_v1;
struct ext_image_capture_source_v1;
struct ext_image_copy_capture_session_v1;

namespace lumivane::wlroots {

// The pixel formats a capture buffer may have (wl_shm codes) and the image format
// that reads them as they lie: 32-bit words 0xAARRGGBB, or bytes R G B A.
bool isReadableShmFormat(uint32_t format);
QImage::Format imageFormatForShm(uint32_t format);

// A fresh copy session of one output (ext-image-copy-capture): the compositor copies
// the first frame of a session at once, later ones only after the output changes, so
// every capture takes a fresh session and leaves a new one behind.
struct CopySession {
    ext_image_capture_source_v1* source = nullptr;
    ext_image_copy_capture_session_v1* session = nullptr;
    QSize bufferSize;
    std::vector<uint32_t> shmFormats;
    bool constraintsDone = false;
    bool stopped = false;
};

struct Output {
    uint32_t globalName = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    // What wl_output tells: position, transform, integer scale, current mode.
    QPoint position;
    int32_t transform = 0;
    int32_t scale = 1;
    QSize mode;
    // xdg-output's logical geometry; empty without it.
    QPoint logicalPosition;
    QSize logicalSize;
    QString name;
    std::unique_ptr<CopySession> copySession;
    std::vector<std::shared_ptr<ShmBuffer>> buffers;

    // The output in the compositor's logical space (points).
    QRect logicalGeometry() const;
};

// A Wayland connection of its own (not Qt's) to the compositor named by
// WAYLAND_DISPLAY, with the globals output capture needs and the outputs. Not
// thread-safe: one thread at a time (the grabber holds a lock around every use).
class WlrootsConnection {
public:
    // Null when no compositor answers or it offers neither capture protocol.
    static std::unique_ptr<WlrootsConnection> connect(const char* displayName = nullptr);
    ~WlrootsConnection();
    WlrootsConnection(const WlrootsConnection&) = delete;
    WlrootsConnection& operator=(const WlrootsConnection&) = delete;

    wl_shm* shm() const { return shm_; }
    zwlr_screencopy_manager_v1* screencopy() const { return screencopy_; }
    ext_output_image_capture_source_manager_v1* sourceManager() const { return sourceManager_; }
    ext_image_copy_capture_manager_v1* copyManager() const { return copyManager_; }
    bool offersImageCopyCapture() const { return sourceManager_ && copyManager_; }
    // "ext-image-copy-capture-v1" or "wlr-screencopy-unstable-v1 version N".
    QString protocolName() const;

    const std::vector<std::unique_ptr<Output>>& outputs() const { return outputs_; }
    // The output showing this logical rectangle: the one equal to it, else the one
    // covering most of it; null when none does.
    Output* outputFor(const QRect& logical) const;

    // Handles events until done() holds; false on a connection error or when
    // timeoutMs pass first.
    bool dispatchUntil(const std::function<bool()>& done, int timeoutMs);
    // Waits until the compositor has handled every request sent so far.
    bool roundtrip(int timeoutMs);
    // Handles whatever events have arrived, without waiting.
    bool dispatchPending();
    bool isBroken() const;

    static void registryGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                               uint32_t version);
    static void registryGlobalRemove(void* data, wl_registry* registry, uint32_t name);

private:
    WlrootsConnection() = default;
    void addOutput(uint32_t name, uint32_t version);
    void watchLogicalGeometry(Output& output);

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_shm* shm_ = nullptr;
    zxdg_output_manager_v1* xdgOutputManager_ = nullptr;
    zwlr_screencopy_manager_v1* screencopy_ = nullptr;
    uint32_t screencopyVersion_ = 0;
    ext_output_image_capture_source_manager_v1* sourceManager_ = nullptr;
    ext_image_copy_capture_manager_v1* copyManager_ = nullptr;
    std::vector<std::unique_ptr<Output>> outputs_;
};

// Ends an output's copy session (and its source).
void destroyCopySession(std::unique_ptr<CopySession>& session);

} // namespace lumivane::wlroots
