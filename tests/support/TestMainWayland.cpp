// GoogleTest main for tests that run inside a headless sway desktop. Built with
// LUMIVANE_WAYLAND_WITHOUT_PORTAL, the session has no screenshot portal.
#include "SessionTestMain.h"
#include "WaylandSession.h"

int main(int argc, char** argv) {
    using lumivane::test::WaylandSession;
    return lumivane::test::runTestsInSession<WaylandSession>(
        argc, argv, "Wayland test desktop",
        [] {
#ifdef LUMIVANE_WAYLAND_WITHOUT_PORTAL
            return std::make_unique<WaylandSession>(false);
#else
            return std::make_unique<WaylandSession>();
#endif
        },
        lumivane::test::setSharedWayland);
}
