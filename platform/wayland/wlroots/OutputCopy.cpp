#include "platform/wayland/wlroots/OutputCopy.h"

#include "wayland-protocols/ext-image-capture-source-v1-client.h"
#include "wayland-protocols/ext-image-copy-capture-v1-client.h"
#include "wayland-protocols/wlr-screencopy-unstable-v1-client.h"

#include <wayland-client.h>

namespace lumivane::wlroots {

namespace {

// Free buffers kept per output beyond the one in use: one spare.
constexpr int spareBuffers = 1;

struct BufferWanted {
    uint32_t format = 0;
    int width = 0, height = 0, stride = 0;
    bool known() const { return width > 0 && height > 0; }
};

// A free buffer of the output that fits, else a new one kept in the pool. Free buffers
// of another size or format go, and free ones beyond the spare.
std::shared_ptr<ShmBuffer> freeBuffer(WlrootsConnection& c, Output& o, const BufferWanted& w, bool touch) {
    // Only the grab under the connection's lock lends a buffer: one seen free stays free.
    std::shared_ptr<ShmBuffer> chosen;
    int spare = 0;
    for (auto it = o.buffers.begin(); it != o.buffers.end();) {
        const auto& b = *it;
        const bool drop =
            !b->isLent() && (!b->fits(w.format, w.width, w.height, w.stride) || (chosen && ++spare > spareBuffers));
        if (drop) {
            b->releaseProtocolObject();
            it = o.buffers.erase(it);
            continue;
        }
        if (!chosen && !b->isLent())
            chosen = b;
        ++it;
    }
    if (chosen)
        return chosen;
    chosen = ShmBuffer::create(c.shm(), w.format, w.width, w.height, w.stride);
    if (!chosen)
        return nullptr;
    if (touch)
        chosen->touch();
    o.buffers.push_back(chosen);
    return chosen;
}

// --- wlr-screencopy -------------------------------------------------------------

struct ScreencopyState {
    BufferWanted shm;
    bool bufferDone = false;
    uint32_t flags = 0;
    bool ready = false;
    bool failed = false;
    uint32_t version = 1;
    bool described() const { return failed || (version >= 3 ? bufferDone : shm.known()); }
};

void scBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height,
              uint32_t stride) {
    auto* s = static_cast<ScreencopyState*>(data);
    s->shm = {format, int(width), int(height), int(stride)};
}
void scFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
    static_cast<ScreencopyState*>(data)->flags = flags;
}
void scReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
    static_cast<ScreencopyState*>(data)->ready = true;
}
void scFailed(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<ScreencopyState*>(data)->failed = true;
}
void scDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void scDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void scBufferDone(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<ScreencopyState*>(data)->bufferDone = true;
}
const zwlr_screencopy_frame_v1_listener screencopyListener = {scBuffer, scFlags,  scReady,     scFailed,
                                                              scDamage, scDmabuf, scBufferDone};

// Asks for a frame of the output and waits for the buffer it wants.
zwlr_screencopy_frame_v1* describeScreencopy(WlrootsConnection& c, Output& o, ScreencopyState& state, int timeoutMs,
                                             QString* error) {
    zwlr_screencopy_frame_v1* frame = zwlr_screencopy_manager_v1_capture_output(c.screencopy(), 0, o.output);
    state.version = zwlr_screencopy_frame_v1_get_version(frame);
    zwlr_screencopy_frame_v1_add_listener(frame, &screencopyListener, &state);
    QString why;
    if (!c.dispatchUntil([&] { return state.described(); }, timeoutMs))
        why = QStringLiteral("no answer from the compositor");
    else if (state.failed)
        why = QStringLiteral("the compositor refused to copy the output");
    else if (!isReadableShmFormat(state.shm.format))
        why = QStringLiteral("the compositor offers no 32-bit RGB shared-memory buffer (format 0x%1)")
                  .arg(state.shm.format, 0, 16);
    if (why.isEmpty())
        return frame;
    zwlr_screencopy_frame_v1_destroy(frame);
    if (error)
        *error = QStringLiteral("wlr-screencopy of %1: %2").arg(o.name, why);
    return nullptr;
}

CopiedFrame copyWithScreencopy(WlrootsConnection& c, Output& o, int timeoutMs, QString* error) {
    ScreencopyState state;
    zwlr_screencopy_frame_v1* frame = describeScreencopy(c, o, state, timeoutMs, error);
    if (!frame)
        return {};
    auto buffer = freeBuffer(c, o, state.shm, false);
    CopiedFrame out;
    if (!buffer) {
        if (error)
            *error = QStringLiteral("no memory for a %1x%2 capture buffer").arg(state.shm.width).arg(state.shm.height);
    } else {
        zwlr_screencopy_frame_v1_copy(frame, buffer->protocolObject());
        if (!c.dispatchUntil([&] { return state.ready || state.failed; }, timeoutMs)) {
            if (error)
                *error = QStringLiteral("wlr-screencopy of %1: no frame from the compositor").arg(o.name);
        } else if (state.failed) {
            if (error)
                *error = QStringLiteral("wlr-screencopy of %1: the copy failed").arg(o.name);
        } else {
            out.buffer = buffer;
            out.transform = o.transform;
            out.yInvert = state.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
        }
    }
    zwlr_screencopy_frame_v1_destroy(frame);
    return out;
}

// --- ext-image-copy-capture -----------------------------------------------------

void sessionBufferSize(void* data, ext_image_copy_capture_session_v1*, uint32_t width, uint32_t height) {
    static_cast<CopySession*>(data)->bufferSize = QSize(int(width), int(height));
}
void sessionShmFormat(void* data, ext_image_copy_capture_session_v1*, uint32_t format) {
    static_cast<CopySession*>(data)->shmFormats.push_back(format);
}
void sessionDmabufDevice(void*, ext_image_copy_capture_session_v1*, wl_array*) {}
void sessionDmabufFormat(void*, ext_image_copy_capture_session_v1*, uint32_t, wl_array*) {}
void sessionDone(void* data, ext_image_copy_capture_session_v1*) {
    static_cast<CopySession*>(data)->constraintsDone = true;
}
void sessionStopped(void* data, ext_image_copy_capture_session_v1*) {
    static_cast<CopySession*>(data)->stopped = true;
}
const ext_image_copy_capture_session_v1_listener sessionListener = {
    sessionBufferSize, sessionShmFormat, sessionDmabufDevice, sessionDmabufFormat, sessionDone, sessionStopped};

struct CaptureFrameState {
    int32_t transform = 0;
    bool ready = false;
    bool failed = false;
    uint32_t reason = 0;
};
void frameTransform(void* data, ext_image_copy_capture_frame_v1*, uint32_t transform) {
    static_cast<CaptureFrameState*>(data)->transform = int32_t(transform);
}
void frameDamage(void*, ext_image_copy_capture_frame_v1*, int32_t, int32_t, int32_t, int32_t) {}
void framePresentation(void*, ext_image_copy_capture_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void frameReady(void* data, ext_image_copy_capture_frame_v1*) {
    static_cast<CaptureFrameState*>(data)->ready = true;
}
void frameFailed(void* data, ext_image_copy_capture_frame_v1*, uint32_t reason) {
    auto* s = static_cast<CaptureFrameState*>(data);
    s->failed = true;
    s->reason = reason;
}
const ext_image_copy_capture_frame_v1_listener captureFrameListener = {frameTransform, frameDamage, framePresentation,
                                                                       frameReady, frameFailed};

void openCopySession(WlrootsConnection& c, Output& o) {
    if (o.copySession)
        return;
    auto s = std::make_unique<CopySession>();
    s->source = ext_output_image_capture_source_manager_v1_create_source(c.sourceManager(), o.output);
    s->session = ext_image_copy_capture_manager_v1_create_session(c.copyManager(), s->source, 0);
    ext_image_copy_capture_session_v1_add_listener(s->session, &sessionListener, s.get());
    o.copySession = std::move(s);
}

// The buffer the session's constraints ask for, preferring formats read as they lie.
BufferWanted wantedBy(const CopySession& s) {
    BufferWanted w;
    for (uint32_t preferred : {uint32_t(WL_SHM_FORMAT_XRGB8888), uint32_t(WL_SHM_FORMAT_ARGB8888),
                               uint32_t(WL_SHM_FORMAT_XBGR8888), uint32_t(WL_SHM_FORMAT_ABGR8888)}) {
        for (uint32_t offered : s.shmFormats) {
            if (offered != preferred)
                continue;
            w = {offered, s.bufferSize.width(), s.bufferSize.height(), s.bufferSize.width() * 4};
            return w;
        }
    }
    return w;
}

// Waits for the fresh session's buffer constraints.
bool describeCopySession(WlrootsConnection& c, Output& o, int timeoutMs, BufferWanted* wanted, QString* error) {
    openCopySession(c, o);
    CopySession& s = *o.copySession;
    QString why;
    if (!c.dispatchUntil([&] { return s.constraintsDone || s.stopped; }, timeoutMs))
        why = QStringLiteral("no answer from the compositor");
    else if (s.stopped)
        why = QStringLiteral("the compositor ended the capture session");
    else if (!(*wanted = wantedBy(s)).known())
        why = QStringLiteral("the compositor offers no 32-bit RGB shared-memory buffer");
    if (why.isEmpty())
        return true;
    destroyCopySession(o.copySession);
    if (error)
        *error = QStringLiteral("ext-image-copy-capture of %1: %2").arg(o.name, why);
    return false;
}

CopiedFrame copyWithImageCopyCapture(WlrootsConnection& c, Output& o, int timeoutMs, QString* error) {
    BufferWanted wanted;
    if (!describeCopySession(c, o, timeoutMs, &wanted, error))
        return {};
    auto buffer = freeBuffer(c, o, wanted, false);
    if (!buffer) {
        destroyCopySession(o.copySession);
        if (error)
            *error = QStringLiteral("no memory for a %1x%2 capture buffer").arg(wanted.width).arg(wanted.height);
        return {};
    }
    CaptureFrameState state;
    ext_image_copy_capture_frame_v1* frame = ext_image_copy_capture_session_v1_create_frame(o.copySession->session);
    ext_image_copy_capture_frame_v1_add_listener(frame, &captureFrameListener, &state);
    ext_image_copy_capture_frame_v1_attach_buffer(frame, buffer->protocolObject());
    ext_image_copy_capture_frame_v1_damage_buffer(frame, 0, 0, wanted.width, wanted.height);
    ext_image_copy_capture_frame_v1_capture(frame);
    CopiedFrame out;
    if (!c.dispatchUntil([&] { return state.ready || state.failed; }, timeoutMs)) {
        if (error)
            *error = QStringLiteral("ext-image-copy-capture of %1: no frame from the compositor").arg(o.name);
    } else if (state.failed) {
        if (error)
            *error = QStringLiteral("ext-image-copy-capture of %1: the copy failed (reason %2)")
                         .arg(o.name)
                         .arg(state.reason);
    } else {
        out.buffer = buffer;
        out.transform = state.transform;
    }
    ext_image_copy_capture_frame_v1_destroy(frame);
    // A session copies at once only its first frame: the next capture takes a new one.
    destroyCopySession(o.copySession);
    openCopySession(c, o);
    return out;
}

} // namespace

CopiedFrame copyOutput(WlrootsConnection& c, Output& o, int timeoutMs, QString* error) {
    if (c.offersImageCopyCapture())
        return copyWithImageCopyCapture(c, o, timeoutMs, error);
    return copyWithScreencopy(c, o, timeoutMs, error);
}

bool prepareOutput(WlrootsConnection& c, Output& o, int timeoutMs, QString* error) {
    const bool sessionReady = !c.offersImageCopyCapture() || (o.copySession && o.copySession->constraintsDone);
    for (const auto& b : o.buffers)
        if (sessionReady && !b->isLent() && b->protocolObject())
            return true;
    BufferWanted wanted;
    if (c.offersImageCopyCapture()) {
        if (!describeCopySession(c, o, timeoutMs, &wanted, error))
            return false;
    } else {
        // A frame asked for and dropped unused: it tells the buffer, copies nothing.
        ScreencopyState state;
        zwlr_screencopy_frame_v1* frame = describeScreencopy(c, o, state, timeoutMs, error);
        if (!frame)
            return false;
        zwlr_screencopy_frame_v1_destroy(frame);
        wanted = state.shm;
    }
    return freeBuffer(c, o, wanted, true) != nullptr;
}

} // namespace lumivane::wlroots
