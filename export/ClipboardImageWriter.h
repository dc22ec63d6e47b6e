#pragma once
#include <QByteArray>
#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <memory>
#include <optional>

namespace lumivane {

// Clipboard and drag content of one exported image: the file's URL first, the PNG
// bytes second; either may be missing.
class ClipboardImageWriter {
public:
    ClipboardImageWriter(std::optional<QUrl> fileURL, std::optional<QByteArray> pngData);

    // "text/uri-list" when there is a file, then "image/png" when there are bytes.
    QStringList writableTypes() const;
    // Null when there is nothing to offer.
    std::unique_ptr<QMimeData> mimeData() const;

private:
    std::optional<QUrl> fileURL_;
    std::optional<QByteArray> pngData_;
};

} // namespace lumivane
