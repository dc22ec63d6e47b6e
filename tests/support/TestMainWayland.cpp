// GoogleTest main for tests that run inside a headless Wayland desktop: the
// process starts one private session (shared by all its tests) and runs Qt on
// the wayland platform in it. Where this machine cannot run a session at all,
// every test is skipped with the reason; a session that fails to start fails. Built
// with LUMIVANE_WAYLAND_WITHOUT_PORTAL, the session has no portal.
#include "PrivateTempDir.h"
#include "WaylandSession.h"
#include "XvfbServer.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {
std::unique_ptr<lumivane::test::WaylandSession> g_session;

class SessionCheck : public ::testing::Environment {
public:
    void SetUp() override {
        if (g_session->isRunning())
            return;
        if (g_session->isUnavailable())
            GTEST_SKIP() << "no Wayland test desktop here: " << g_session->errorText().toStdString();
        FAIL() << "the Wayland test desktop did not start: " << g_session->errorText().toStdString();
    }
};
} // namespace

namespace lumivane::test {
XvfbServer* sharedXvfb() {
    return nullptr;
}
} // namespace lumivane::test

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0)
            listing = true;
    ::testing::InitGoogleTest(&argc, argv);
    const lumivane::test::PrivateTempDir temporaryFolder;
    if (listing)
        return RUN_ALL_TESTS();

#ifdef LUMIVANE_WAYLAND_WITHOUT_PORTAL
    g_session = std::make_unique<lumivane::test::WaylandSession>(false);
#else
    g_session = std::make_unique<lumivane::test::WaylandSession>();
#endif
    if (g_session->isRunning()) {
        std::fprintf(stderr, "wayland session %s started in %.2f s\n", qPrintable(g_session->value("WAYLAND_DISPLAY")),
                     g_session->startSeconds());
        g_session->exportToProcess();
        qputenv("QT_QPA_PLATFORM", "wayland");
        lumivane::test::setSharedWayland(g_session.get());
    } else {
        std::fprintf(stderr, "no wayland session: %s\n", qPrintable(g_session->errorText()));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::AddGlobalTestEnvironment(new SessionCheck);
    int rc;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    // The application has left the compositor; now the session can go.
    g_session.reset();
    return rc;
}
