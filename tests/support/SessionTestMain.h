// The GoogleTest main of the tests that run inside a headless desktop session (sway,
// KWin or GNOME): the process starts one private session, shared by all its tests,
// and runs Qt on the wayland platform in it. Where this machine cannot run the
// session at all, every test is skipped with the reason; a session that fails to
// start fails. Included by one main file per executable.
#pragma once

#include "PrivateTempDir.h"
#include "XvfbServer.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace lumivane::test {

XvfbServer* sharedXvfb() {
    return nullptr;
}

template <class Session>
class SessionCheck : public ::testing::Environment {
public:
    SessionCheck(const Session& session, std::string name) : session_(session), name_(std::move(name)) {}
    void SetUp() override {
        if (session_.isRunning())
            return;
        if (session_.isUnavailable())
            GTEST_SKIP() << "no " << name_ << " here: " << session_.errorText().toStdString();
        FAIL() << "the " << name_ << " did not start: " << session_.errorText().toStdString();
    }

private:
    const Session& session_;
    std::string name_;
};

// Starts the session (unless the tests are only listed), shares it through `share`
// and runs the tests; `beforeStop` runs after the application is gone, before the
// session stops.
template <class Session>
int runTestsInSession(int argc, char** argv, const char* name, const std::function<std::unique_ptr<Session>()>& start,
                      void (*share)(Session*), const std::function<void(Session&)>& beforeStop = {}) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0)
            listing = true;
    ::testing::InitGoogleTest(&argc, argv);
    const PrivateTempDir temporaryFolder;
    if (listing)
        return RUN_ALL_TESTS();

    std::unique_ptr<Session> session = start();
    if (session->isRunning()) {
        std::fprintf(stderr, "%s started in %.2f s\n", name, session->startSeconds());
        session->exportToProcess();
        qputenv("QT_QPA_PLATFORM", "wayland");
        share(session.get());
    } else {
        std::fprintf(stderr, "no %s: %s\n", name, qPrintable(session->errorText()));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::AddGlobalTestEnvironment(new SessionCheck<Session>(*session, name));
    int rc;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    // The application has left the compositor; now the session can go.
    if (beforeStop && session->isRunning())
        beforeStop(*session);
    share(nullptr);
    session.reset();
    return rc;
}

} // namespace lumivane::test
