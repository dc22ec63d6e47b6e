#pragma once
#include "app/AppServices.h"

namespace lumivane {

// The desktop clipboard through Qt (the desktop's CLIPBOARD selection).
class QtClipboardWriter final : public ClipboardWriter {
public:
    void clear() override;
    void write(const std::optional<QString>& filePath, const std::optional<QByteArray>& png) override;
    void writeImage(const ImageRef& image) override;
};

} // namespace lumivane
