#pragma once
#include <QString>

namespace lumivane {

class AppSettings;

// The names of saved and copied images: "<prefix>-<timestamp>" (prefix "Screenshot"
// when blank) with the configured format's extension.
class FileNaming {
public:
    explicit FileNaming(const AppSettings& settings) : settings_(settings) {}

    // The current local time as file names carry it.
    static QString timestamp();
    QString baseName() const;
    QString fileName() const;
    // A free path in the folder: "<base>.<ext>", else "<base>-2.<ext>", "-3"…
    QString uniqueImagePath(const QString& folder) const;
    // The clipboard's temporary file name for a base: "/" and ":" become "-".
    static QString clipboardFileName(const QString& base);

private:
    QString extension() const;

    const AppSettings& settings_;
};

} // namespace lumivane
