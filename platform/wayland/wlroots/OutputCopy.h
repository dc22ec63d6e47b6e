#pragma once
#include "platform/wayland/wlroots/WlrootsConnection.h"

#include <QString>
#include <memory>

namespace lumivane::wlroots {

// One output's pixels as the compositor copied them into a shared buffer: in the
// buffer's own orientation, which the transform (a wl_output transform) and the
// vertical flip turn into the output as the user sees it.
struct CopiedFrame {
    std::shared_ptr<ShmBuffer> buffer;
    int32_t transform = 0;
    bool yInvert = false;
};

// Copies a whole output with the best protocol the connection offers
// (ext-image-copy-capture, else wlr-screencopy) into a free buffer of the output's
// pool, made when none fits. On failure the frame has no buffer and *error says why
// (English). The caller holds the connection's lock.
CopiedFrame copyOutput(WlrootsConnection& connection, Output& output, int timeoutMs, QString* error);

// Readies the output for its next copy: learns the buffer the compositor wants, makes
// one free buffer of it with its pages touched, and (ext-image-copy-capture) opens the
// next copy session. False with *error when the compositor refuses.
bool prepareOutput(WlrootsConnection& connection, Output& output, int timeoutMs, QString* error);

} // namespace lumivane::wlroots
