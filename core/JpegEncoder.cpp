#include "core/Encoders.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace lumivane::detail {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void silence(j_common_ptr, int) {}

// Writes straight into a QByteArray sized for the worst case up front: only the
// pages the stream reaches are ever touched, where libjpeg's own memory
// destination reallocates (and faults in) a fresh buffer each time it doubles.
struct ByteArrayDestination {
    jpeg_destination_mgr base;
    QByteArray* out;
    size_t written = 0; // bytes handed over in full buffers so far
};

void initDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<ByteArrayDestination*>(cinfo->dest);
    d->base.next_output_byte = reinterpret_cast<JOCTET*>(d->out->data());
    d->base.free_in_buffer = size_t(d->out->size());
}

boolean growDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<ByteArrayDestination*>(cinfo->dest);
    // The whole buffer is full.
    d->written = size_t(d->out->size());
    d->out->resize(d->out->size() * 2);
    d->base.next_output_byte = reinterpret_cast<JOCTET*>(d->out->data()) + d->written;
    d->base.free_in_buffer = size_t(d->out->size()) - d->written;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<ByteArrayDestination*>(cinfo->dest);
    d->out->truncate(qsizetype(d->out->size() - qsizetype(d->base.free_in_buffer)));
}

} // namespace

std::optional<QByteArray> encodeJpeg(const QImage& source, double quality) {
    if (source.isNull() || source.width() < 1 || source.height() < 1)
        return std::nullopt;
    // JPEG has no alpha: composite nothing, just drop it (normalised images are opaque
    // or premultiplied, so transparent areas come out black).
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;

    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.emit_message = silence;
    // Worst case of a baseline stream is about the size of the raw pixels; a larger one grows.
    QByteArray out;
    out.resize(qsizetype(std::min<qint64>(qint64(image.width()) * image.height() * 3 + 65536, qint64(1) << 30)));
    ByteArrayDestination destination{};
    destination.out = &out;
    destination.base.init_destination = initDestination;
    destination.base.empty_output_buffer = growDestination;
    destination.base.term_destination = termDestination;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return std::nullopt;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &destination.base;
    cinfo.image_width = static_cast<JDIMENSION>(image.width());
    cinfo.image_height = static_cast<JDIMENSION>(image.height());
    cinfo.input_components = 4;
    // Format_RGB32 is 0xffRRGGBB in native (little-endian) order: B, G, R, X in memory.
    cinfo.in_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&cinfo);
    const int q = static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100.0));
    jpeg_set_quality(&cinfo, std::max(1, q), TRUE);
    // Standard Huffman tables: optimised ones save about 4 % but need a second pass
    // over a whole-image coefficient buffer, which costs more than twice the time.
    cinfo.optimize_coding = FALSE;
    cinfo.density_unit = 0;
    cinfo.X_density = 1;
    cinfo.Y_density = 1;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return out;
}

} // namespace lumivane::detail
