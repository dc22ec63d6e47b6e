// GoogleTest main for tests that run inside a headless KWin session: the process
// starts one private session (shared by all its tests) and runs Qt on the wayland
// platform in it. Where this machine cannot run KWin at all, every test is skipped
// with the reason; a session that fails to start fails.
//
// Run with --lumivane-pattern-window, the executable is instead a client that
// covers every output with fullscreen windows painted by test::patternColour (in
// device pixels) and prints "ready" once they are shown: tests use it to put known
// pixels on the screens of a second session.
#include "KWinSession.h"
#include "PatternWindow.h"
#include "PrivateTempDir.h"
#include "XvfbServer.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {
std::unique_ptr<lumivane::test::KWinSession> g_session;

class SessionCheck : public ::testing::Environment {
public:
    void SetUp() override {
        if (g_session->isRunning())
            return;
        if (g_session->isUnavailable())
            GTEST_SKIP() << "no KWin here: " << g_session->errorText().toStdString();
        FAIL() << "the KWin session did not start: " << g_session->errorText().toStdString();
    }
};
} // namespace

namespace lumivane::test {
XvfbServer* sharedXvfb() {
    return nullptr;
}
} // namespace lumivane::test

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--lumivane-pattern-window") == 0)
            return lumivane::test::runPatternWindows(argc, argv);
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0)
            listing = true;
    ::testing::InitGoogleTest(&argc, argv);
    const lumivane::test::PrivateTempDir temporaryFolder;
    if (listing)
        return RUN_ALL_TESTS();

    g_session = std::make_unique<lumivane::test::KWinSession>();
    if (g_session->isRunning()) {
        std::fprintf(stderr, "KWin session started in %.2f s\n", g_session->startSeconds());
        g_session->exportToProcess();
        qputenv("QT_QPA_PLATFORM", "wayland");
        lumivane::test::setSharedKWin(g_session.get());
    } else {
        std::fprintf(stderr, "no KWin session: %s\n", qPrintable(g_session->errorText()));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::AddGlobalTestEnvironment(new SessionCheck);
    int rc;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    g_session.reset();
    return rc;
}
