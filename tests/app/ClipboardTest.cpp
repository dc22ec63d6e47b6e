#include "app/QtClipboardWriter.h"
#include "export/ClipboardImageWriter.h"

#include "XClipboard.h"
#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

TEST(Clipboard, OffersTheFileUrlFirstAndPngBytesToOtherClients) {
    QTemporaryDir dir;
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "PNG"));
    const QString path = dir.filePath("Shot-2026-01-02-03-04-05.png");

    QtClipboardWriter writer;
    writer.clear();
    writer.write(path, png);

    const QList<QByteArray> targets = test::readXClipboard("TARGETS").split('\n');
    const qsizetype uri = targets.indexOf("text/uri-list"), pngAt = targets.indexOf("image/png");
    ASSERT_GE(uri, 0);
    ASSERT_GE(pngAt, 0);
    EXPECT_EQ(test::readXClipboard("image/png"), png);
    EXPECT_EQ(test::readXClipboard("text/uri-list").trimmed(), QUrl::fromLocalFile(path).toEncoded());
}

TEST(Clipboard, WriterOffersOnlyWhatItHas) {
    EXPECT_EQ(ClipboardImageWriter(QUrl::fromLocalFile("/tmp/a.png"), QByteArray("x")).writableTypes(),
              (QStringList{"text/uri-list", "image/png"}));
    EXPECT_EQ(ClipboardImageWriter(std::nullopt, QByteArray("x")).writableTypes(), QStringList{"image/png"});
    EXPECT_TRUE(ClipboardImageWriter(std::nullopt, QByteArray()).writableTypes().isEmpty());
    EXPECT_FALSE(ClipboardImageWriter(std::nullopt, std::nullopt).mimeData());
}
