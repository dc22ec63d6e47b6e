#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace lumivane {

// Where the settings document lives: one value read and written whole.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored bytes, or nothing when no document is stored or it cannot be read.
    virtual std::optional<QByteArray> read() const = 0;
    // Replaces the stored document; false when it could not be written.
    virtual bool write(const QByteArray& bytes) = 0;
};

// The settings document as one JSON file, replaced atomically (temporary file
// + rename), so an interrupted write leaves the previous document intact.
class FileSettingsStore : public SettingsStore {
public:
    explicit FileSettingsStore(QString path);
    // "<config dir>/lumivane/lumivane.settings.json" (the file is named after the storage key).
    static QString defaultPath();

    std::optional<QByteArray> read() const override;
    bool write(const QByteArray& bytes) override;
    const QString& path() const { return path_; }

private:
    QString path_;
};

} // namespace lumivane
