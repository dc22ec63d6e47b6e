// GoogleTest main for tests that run inside a headless KWin session.
//
// Run with --lumivane-pattern-window, the executable is instead a client that
// covers every output with fullscreen windows painted by test::patternColour (in
// device pixels) and prints "ready" once they are shown: tests use it to put known
// pixels on the screens of a second session.
#include "KWinSession.h"
#include "PatternWindow.h"
#include "SessionTestMain.h"

int main(int argc, char** argv) {
    using lumivane::test::KWinSession;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--lumivane-pattern-window") == 0)
            return lumivane::test::runPatternWindows(argc, argv);
    return lumivane::test::runTestsInSession<KWinSession>(
        argc, argv, "KWin session", [] { return std::make_unique<KWinSession>(); }, lumivane::test::setSharedKWin);
}
