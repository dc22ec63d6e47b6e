#pragma once
// Hand-made PNG bytes: a well-formed header claiming any size, over pixel data that
// does not decode.
#include <QByteArray>
#include <QtEndian>
#include <zlib.h>

namespace lumivane::test {

inline QByteArray pngChunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type, 4) + data;
    QByteArray length(4, '\0'), crc(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), length.data());
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))),
                          crc.data());
    return length + body + crc;
}

// An RGBA PNG whose header claims width × height, with a tiny broken IDAT.
inline QByteArray pngClaiming(quint32 width, quint32 height) {
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(width, ihdr.data());
    qToBigEndian<quint32>(height, ihdr.data() + 4);
    ihdr[8] = 8; // bit depth
    ihdr[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", QByteArray(12, 'x')) +
           pngChunk("IEND", {});
}

} // namespace lumivane::test
