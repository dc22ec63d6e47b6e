#include "platform/wayland/PngDecode.h"
#include "platform/LargeMemory.h"

#include <spng.h>

#include <memory>

namespace lumivane {

QImage decodePng(const QByteArray& png) {
    std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(SPNG_CTX_IGNORE_ADLER32), spng_ctx_free);
    if (!ctx || spng_set_png_buffer(ctx.get(), png.constData(), size_t(png.size())) != 0) return {};
    spng_set_image_limits(ctx.get(), 1u << 15, 1u << 15);
    // Desktop screenshots: skip the CRC and Adler-32 checks of data that never left this machine.
    spng_set_crc_action(ctx.get(), SPNG_CRC_USE, SPNG_CRC_USE);
    spng_ihdr ihdr{};
    if (spng_get_ihdr(ctx.get(), &ihdr) != 0) return {};
    size_t bytes = 0;
    if (spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &bytes) != 0) return {};
    const qsizetype stride = qsizetype(ihdr.width) * 4;
    if (bytes != size_t(stride) * ihdr.height) return {};
    void* mem = LargeMemory::take(bytes);
    QImage image;
    if (mem)
        image = QImage(static_cast<uchar*>(mem), int(ihdr.width), int(ihdr.height), stride, QImage::Format_RGBA8888,
                       [](void* p) { LargeMemory::give(p); }, mem);
    else
        image = QImage(int(ihdr.width), int(ihdr.height), QImage::Format_RGBA8888);
    if (image.isNull() || image.bytesPerLine() != stride) return {};
    if (spng_decode_image(ctx.get(), image.bits(), bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0) return {};
    return image;
}

} // namespace lumivane
