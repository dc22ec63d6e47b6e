#pragma once
// For suites that link the capture area.
#include "capture/SelectionOverlayController.h"
#include "capture/SelectionOverlayPanel.h"

#include <QTest>
#include <QWindow>

namespace lumivane::test {

// Waits until the controller shows count full-screen panels, all exposed.
inline bool waitForPanels(SelectionOverlayController& overlay, size_t count) {
    return QTest::qWaitFor(
        [&] {
            const auto panels = overlay.windows();
            if (panels.size() != count)
                return false;
            for (auto* p : panels)
                if (!p->isVisible() || !p->isFullScreen() || !p->windowHandle() || !p->windowHandle()->isExposed())
                    return false;
            return true;
        },
        30000);
}

} // namespace lumivane::test
