#include "export/ClipboardImageWriter.h"

#include <gtest/gtest.h>

using namespace lumivane;

// What the clipboard offers other clients: the file first when there is one, then the PNG bytes.
TEST(Clipboard, WriterOffersOnlyWhatItHas) {
    EXPECT_EQ(ClipboardImageWriter(QUrl::fromLocalFile("/tmp/a.png"), QByteArray("x")).writableTypes(),
              (QStringList{"text/uri-list", "image/png"}));
    EXPECT_EQ(ClipboardImageWriter(std::nullopt, QByteArray("x")).writableTypes(), QStringList{"image/png"});
    EXPECT_TRUE(ClipboardImageWriter(std::nullopt, QByteArray()).writableTypes().isEmpty());
    EXPECT_FALSE(ClipboardImageWriter(std::nullopt, std::nullopt).mimeData());
}
