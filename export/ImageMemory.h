#pragma once
#include <QImage>

namespace lumivane {

// A new, zero-filled image. Large buffers come from anonymous memory advised for
// transparent huge pages: first touch then costs one fault per 2 MB instead of one
// per 4 KB, which dominates filling a fresh 4K canvas on virtual machines.
// Null when the memory cannot be had.
QImage allocateImage(QSize size, QImage::Format format);

} // namespace lumivane
