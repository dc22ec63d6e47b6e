// GoogleTest main for tests that need a Qt application but no X server.
#include "PrivateTempDir.h"
#include "XvfbServer.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace lumivane::test {
XvfbServer* sharedXvfb() {
    return nullptr;
}
int xftDpi() {
    return 0;
}
} // namespace lumivane::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const lumivane::test::PrivateTempDir temporaryFolder;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
