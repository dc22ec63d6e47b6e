#pragma once
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <png.h>

#include <cstring>
#include <optional>
#include <vector>

namespace lumivane::test {

// PNG decoded by libpng (independent of the encoder under test).
struct DecodedPng {
    int width = 0;
    int height = 0;
    int colorType = -1;
    int interlace = -1;
    int bitDepth = 0;
    std::vector<std::string> chunkNames;
    std::vector<uint8_t> rgba; // always 4 bytes per pixel after decoding
};

inline std::optional<DecodedPng> decodeWithLibpng(const QByteArray& data) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.constData(), static_cast<size_t>(data.size())))
        return std::nullopt;
    image.format = PNG_FORMAT_RGBA;
    DecodedPng out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr))
        return std::nullopt;
    // Header fields and chunk list straight from the stream.
    const auto* p = reinterpret_cast<const uint8_t*>(data.constData());
    out.bitDepth = p[24];
    out.colorType = p[25];
    out.interlace = p[28];
    for (qsizetype off = 8; off + 8 <= data.size();) {
        const uint32_t len = (uint32_t(p[off]) << 24) | (uint32_t(p[off + 1]) << 16) | (uint32_t(p[off + 2]) << 8) |
                             uint32_t(p[off + 3]);
        out.chunkNames.emplace_back(data.constData() + off + 4, 4);
        off += 12 + static_cast<qsizetype>(len);
    }
    return out;
}

// Screenshot-like content: flat panels, bars, lines of "text".
inline QImage uiLikeImage(int w, int h, quint32 seed = 7) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(246, 247, 249));
    QRandomGenerator rng(seed);
    QPainter p(&img);
    p.fillRect(0, 0, w, std::max(1, h / 24), QColor(40, 44, 52));
    p.fillRect(0, h / 24, w / 6, h, QColor(232, 234, 238));
    QFont font("Noto Sans", std::max(6, h / 90));
    p.setFont(font);
    const int lineH = std::max(8, h / 60);
    for (int y = h / 12; y < h - lineH; y += lineH) {
        p.setPen(QColor::fromHsv(int(rng.bounded(360)), 60 + int(rng.bounded(100)), 60 + int(rng.bounded(80))));
        QString line;
        const int words = 4 + int(rng.bounded(14));
        for (int i = 0; i < words; ++i)
            line += QString("word%1 ").arg(rng.bounded(1000));
        p.drawText(w / 6 + 20, y + lineH - 2, line);
        if (rng.bounded(9) == 0)
            p.fillRect(w / 6 + 20, y, w / 3, lineH - 2, QColor(70, 130, 220));
    }
    p.end();
    return img;
}

// Photo-like content: smooth gradients plus sensor-like noise.
inline QImage photoLikeImage(int w, int h, quint32 seed = 11) {
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const quint32 n = rng.generate();
            const int r = (x * 200) / w + int(n & 31);
            const int g = (y * 180) / h + int((n >> 8) & 31);
            const int b = ((x + y) * 120) / (w + h) + 60 + int((n >> 16) & 31);
            row[x] = qRgb(std::min(r, 255), std::min(g, 255), std::min(b, 255));
        }
    }
    return img;
}

} // namespace lumivane::test
