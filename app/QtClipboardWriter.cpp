#include "app/QtClipboardWriter.h"
#include "export/ClipboardImagePasteboardWriter.h"

#include <QClipboard>
#include <QGuiApplication>

namespace lumivane {

void QtClipboardWriter::clear() { QGuiApplication::clipboard()->clear(); }

void QtClipboardWriter::write(const std::optional<QString>& filePath, const std::optional<QByteArray>& png) {
    const ClipboardImagePasteboardWriter writer(filePath ? std::optional<QUrl>(QUrl::fromLocalFile(*filePath))
                                                         : std::nullopt,
                                                png);
    if (auto data = writer.mimeData()) QGuiApplication::clipboard()->setMimeData(data.release());
}

void QtClipboardWriter::writeImage(const ImageRef& image) {
    if (image) QGuiApplication::clipboard()->setImage(*image);
}

} // namespace lumivane
