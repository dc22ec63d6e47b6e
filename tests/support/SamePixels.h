#pragma once
#include <QImage>
#include <gtest/gtest.h>

namespace lumivane::test {

// Equal colour for colour (alpha left out), or where the first difference is.
inline ::testing::AssertionResult samePixels(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << ", expected "
                                             << expected.width() << "x" << expected.height();
    const QImage a = actual.convertToFormat(QImage::Format_RGB32), e = expected.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* re = reinterpret_cast<const QRgb*>(e.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if ((ra[x] & 0xffffff) != (re[x] & 0xffffff))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << "," << y << ") is " << std::hex << ra[x] << ", expected " << re[x];
    }
    return ::testing::AssertionSuccess();
}

} // namespace lumivane::test
