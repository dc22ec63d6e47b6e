#pragma once
#include "app/AppServices.h"

#include <memory>

namespace lumivane {

class PressWatch;

// The desktop clipboard through Qt (the desktop's CLIPBOARD selection). Where the
// compositor takes a client's own offer only right after that client's input (Wayland), a
// copy made with no recent press in a focused window of ours (the tray menu, right after
// a hot key) goes through the desktop's clipboard service instead, offering the PNG alone.
class QtClipboardWriter final : public ClipboardWriter {
public:
    explicit QtClipboardWriter(std::shared_ptr<const DesktopBackend> desktop = nullptr);
    void clear() override;
    bool write(const std::optional<QString>& filePath, const std::optional<QByteArray>& png) override;
    bool writeImage(const ImageRef& image) override;

private:
    bool offerWithoutFocus(const QByteArray& png);
    bool offersItself() const;

    std::shared_ptr<const DesktopBackend> desktop_;
    std::shared_ptr<PressWatch> pressWatch_; // where the desktop has its own way in
};

} // namespace lumivane
