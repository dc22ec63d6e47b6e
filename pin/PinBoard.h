#pragma once
#include "core/Image.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <functional>
#include <vector>

class QScreen;

namespace lumivane {

class PinWindow;

// The pins on screen, any number at once. Each new pin appears centred on the
// screen under the pointer (the primary screen where the pointer is unknown), a
// little lower and to the right of the last one still there. UI thread.
class PinBoard : public QObject {
    Q_OBJECT
public:
    explicit PinBoard(std::function<void(const ImageRef&)> copy, QObject* parent = nullptr);
    ~PinBoard() override;

    // The new pin, or null without an image.
    PinWindow* pin(const ImageRef& image);
    // The pins still open, oldest first.
    std::vector<PinWindow*> pins() const;
    void closeAll();

private:
    std::function<void(const ImageRef&)> copy_;
    std::vector<QPointer<PinWindow>> pins_;
};

} // namespace lumivane
