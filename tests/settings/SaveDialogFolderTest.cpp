// Where save and open dialogs start, for a home of the test's own.
#include "settings/SaveDialogFolder.h"
#include "MemorySettingsStore.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace lumivane;

class HomeOfItsOwn : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
            saved.emplace_back(name, qgetenv(name));
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit()); // no user-dirs.dirs: ~/Pictures
    }
    void TearDown() override {
        for (const auto& [name, value] : saved)
            qputenv(name, value);
    }
    QTemporaryDir home;
    std::vector<std::pair<const char*, QByteArray>> saved;
};

TEST_F(HomeOfItsOwn, DefaultFolderElsePicturesElseHomeNeverTheWorkingFolder) {
    AppSettings settings(std::make_unique<test::MemorySettingsStore>());
    EXPECT_EQ(saveDialogFolder(settings), QDir::homePath()) << "no Pictures folder yet";
    ASSERT_TRUE(QDir(home.path()).mkpath("Pictures"));
    EXPECT_EQ(saveDialogFolder(settings), home.filePath("Pictures"));

    settings.setDefaultSaveFolderPath(home.filePath("shots"));
    EXPECT_EQ(saveDialogFolder(settings), home.filePath("Pictures")) << "a default folder that is gone";
    ASSERT_TRUE(QDir(home.path()).mkpath("shots"));
    EXPECT_EQ(saveDialogFolder(settings), home.filePath("shots"));
    EXPECT_NE(saveDialogFolder(settings), QDir::currentPath());
}

} // namespace
