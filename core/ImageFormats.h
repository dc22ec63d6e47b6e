#pragma once
#include <QString>
#include <array>
#include <optional>

namespace lumivane {

enum class ScreenshotFileFormat { png, jpeg };
inline constexpr std::array<ScreenshotFileFormat, 2> allScreenshotFileFormats = {ScreenshotFileFormat::png,
                                                                                 ScreenshotFileFormat::jpeg};

inline QString rawValue(ScreenshotFileFormat f) {
    return f == ScreenshotFileFormat::png ? "png" : "jpeg";
}
// Extension written for the format ("jpg" for JPEG).
inline QString fileExtension(ScreenshotFileFormat f) {
    return f == ScreenshotFileFormat::png ? "png" : "jpg";
}
inline std::optional<ScreenshotFileFormat> screenshotFileFormatFromRaw(const QString& raw) {
    if (raw == "png")
        return ScreenshotFileFormat::png;
    if (raw == "jpeg")
        return ScreenshotFileFormat::jpeg;
    return std::nullopt;
}

// Index 0, 1, 2 into the export tables.
enum class CaptureQualityPreset { low, medium, high };
inline constexpr std::array<CaptureQualityPreset, 3> allCaptureQualityPresets = {
    CaptureQualityPreset::low, CaptureQualityPreset::medium, CaptureQualityPreset::high};

inline int presetIndex(CaptureQualityPreset p) {
    return static_cast<int>(p);
}
inline QString rawValue(CaptureQualityPreset p) {
    switch (p) {
    case CaptureQualityPreset::low:
        return "low";
    case CaptureQualityPreset::medium:
        return "medium";
    case CaptureQualityPreset::high:
        return "high";
    }
    return {};
}
inline std::optional<CaptureQualityPreset> captureQualityPresetFromRaw(const QString& raw) {
    if (raw == "low")
        return CaptureQualityPreset::low;
    if (raw == "medium")
        return CaptureQualityPreset::medium;
    if (raw == "high")
        return CaptureQualityPreset::high;
    return std::nullopt;
}
inline QString title(CaptureQualityPreset p) {
    switch (p) {
    case CaptureQualityPreset::low:
        return "Low";
    case CaptureQualityPreset::medium:
        return "Medium";
    case CaptureQualityPreset::high:
        return "High";
    }
    return {};
}
inline QString presetDescription(CaptureQualityPreset p) {
    switch (p) {
    case CaptureQualityPreset::low:
        return QStringLiteral("最優先で軽くする");
    case CaptureQualityPreset::medium:
        return QStringLiteral("軽さと見やすさの標準");
    case CaptureQualityPreset::high:
        return QStringLiteral("細部の読みやすさを優先");
    }
    return {};
}
// JPEG compression factor of the preset.
inline double jpegCompressionFactor(CaptureQualityPreset p) {
    switch (p) {
    case CaptureQualityPreset::low:
        return 0.78;
    case CaptureQualityPreset::medium:
        return 0.88;
    case CaptureQualityPreset::high:
        return 0.94;
    }
    return 0.88;
}

} // namespace lumivane
