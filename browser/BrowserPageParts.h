#pragma once
#include "core/ImageExportPipeline.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <utility>
#include <vector>

namespace lumivane::browser_parts {

// Narrower than this, a page's text is no longer readable.
inline constexpr double readableWidth = 1000.0;
// A part is never cut lower than this many pixels to meet the byte budget.
inline constexpr int minimumPartHeight = 400;

// True when the output limits would shrink a stitch of this size (device pixels) below
// the readable width (or below its own width, when that is narrower).
bool needsSplit(QSize full);
// The scale of the parts: the readable width, never enlarged.
double partScale(QSize full);
// The rows [top, bottom) of the full-size stitch that each part shows, from the top;
// each part fits the output limits at partScale().
std::vector<std::pair<qint64, qint64>> partRows(QSize full);

// Encodes the parts for a file of this format; a part whose file would exceed the
// byte budget of (profile, preset) is cut in two (again as needed) rather than shrunk.
// Empty when a part cannot be encoded.
std::vector<QByteArray> encodedParts(const std::vector<ImageRef>& parts, ScreenshotFileFormat format,
                                     ImageExportProfile profile, CaptureQualityPreset preset);

// "page.png" → "page-part3.png" (index from 1).
QString numberedPartPath(const QString& path, int index);

} // namespace lumivane::browser_parts
