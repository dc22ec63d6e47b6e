#include "export/ClipboardImageWriter.h"

namespace lumivane {

ClipboardImageWriter::ClipboardImageWriter(std::optional<QUrl> fileURL, std::optional<QByteArray> pngData)
    : fileURL_(std::move(fileURL)), pngData_(std::move(pngData)) {
    if (fileURL_ && !fileURL_->isValid())
        fileURL_.reset();
    if (pngData_ && pngData_->isEmpty())
        pngData_.reset();
}

QStringList ClipboardImageWriter::writableTypes() const {
    QStringList types;
    if (fileURL_)
        types << QStringLiteral("text/uri-list");
    if (pngData_)
        types << QStringLiteral("image/png");
    return types;
}

std::unique_ptr<QMimeData> ClipboardImageWriter::mimeData() const {
    if (!fileURL_ && !pngData_)
        return nullptr;
    auto data = std::make_unique<QMimeData>();
    if (fileURL_)
        data->setUrls({*fileURL_});
    if (pngData_)
        data->setData(QStringLiteral("image/png"), *pngData_);
    return data;
}

} // namespace lumivane
