#include "app/ClipboardController.h"
#include "MemorySettingsStore.h"
#include "app/FileNaming.h"
#include "settings/AppSettings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

// Takes nothing: the desktop's clipboard owner is gone.
class RefusingClipboard : public ClipboardWriter {
public:
    int writes = 0;
    void clear() override {}
    bool write(const std::optional<QString>&, const std::optional<QByteArray>&) override {
        ++writes;
        return false;
    }
    bool writeImage(const ImageRef&) override {
        ++writes;
        return false;
    }
};

ImageRef filled(int w, int h) {
    QImage i(w, h, QImage::Format_RGB32);
    i.fill(Qt::darkMagenta);
    return makeImage(i);
}

} // namespace

// A copy the desktop refused is reported to the user and to the caller, from the
// cache and after encoding alike, never as a success.
TEST(ClipboardController, ARefusedCopyIsReportedNotTakenForSuccess) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    AppSettings settings(std::make_unique<test::MemorySettingsStore>());
    AppServices services;
    auto clipboard = std::make_shared<RefusingClipboard>();
    services.clipboard = clipboard;
    services.temporaryDirectory = temp.path();
    FileNaming naming(settings);
    const ImageRef image = filled(32, 24);
    ClipboardController controller(settings, services, naming);
    QSignalSpy failures(&controller, &ClipboardController::failed);

    // The first copy encodes in the background and fills the cache; the second copies from it at once.
    for (const char* copy : {"encoded", "cached"}) {
        std::optional<bool> taken;
        controller.copy(image, CaptureSource::standard, [&](bool ok) { taken = ok; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return taken.has_value(); }, 10000)) << copy;
        EXPECT_FALSE(*taken) << copy;
        EXPECT_EQ(clipboard->writes, 1) << copy;
        ASSERT_EQ(failures.size(), 1) << copy;
        EXPECT_FALSE(failures.front().front().toString().isEmpty()) << copy;
        failures.clear();
        clipboard->writes = 0;
    }
}
