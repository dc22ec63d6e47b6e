#include "app/LastCaptureAreas.h"
#include "capture/CaptureError.h"

namespace lumivane {

namespace {
double overlap(const QRectF& a, const QRectF& b) {
    const QRectF i = a & b;
    return (i.width() > 0 && i.height() > 0) ? i.width() * i.height() : 0;
}
} // namespace

std::optional<LastCaptureArea> lastCaptureAreaFor(const QRectF& rect, const std::vector<ScreenInfo>& screens) {
    const ScreenInfo* chosen = nullptr;
    for (const ScreenInfo& s : screens)
        if (s.frame.contains(rect.center())) {
            chosen = &s;
            break;
        }
    double best = -1;
    if (!chosen)
        for (const ScreenInfo& s : screens)
            if (const double a = overlap(s.frame, rect); a > best) {
                best = a;
                chosen = &s;
            }
    if (!chosen)
        return std::nullopt;
    return LastCaptureArea{rect, chosen->screenId, chosen->frame};
}

QRectF rectForLastCaptureArea(const LastCaptureArea& area, const std::vector<ScreenInfo>& screens) {
    const ScreenInfo* screen = nullptr;
    for (const ScreenInfo& s : screens) {
        const bool same = area.screenId ? s.screenId == area.screenId : s.frame == area.screenFrame;
        if (same) {
            screen = &s;
            break;
        }
    }
    if (!screen)
        throw CaptureError(CaptureError::Kind::lastAreaScreenMissing);
    const QRectF rect = area.rect.translated(screen->frame.topLeft() - area.screenFrame.topLeft());
    // Half a point of slack for frames computed from scaled pixels.
    if (!screen->frame.adjusted(-0.5, -0.5, 0.5, 0.5).contains(rect))
        throw CaptureError(CaptureError::Kind::lastAreaScreenMissing);
    return rect;
}

} // namespace lumivane
