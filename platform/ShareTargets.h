#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace lumivane {

// An application the desktop offers for a file type.
struct ShareTarget {
    QString id;       // desktop-entry id ("org.gnome.eog.desktop")
    QString title;    // localised display name
    QString iconName; // theme icon name, or an absolute icon path; may be empty
};

// The desktop's "open with" applications: the share destinations on a desktop
// without a system share sheet. UI thread only.
class ShareTargets {
public:
    virtual ~ShareTargets() = default;
    // Applications registered for the MIME type, the default one first, then by title.
    virtual std::vector<ShareTarget> applicationsFor(const QString& mimeType) = 0;
    // Starts the application with the files; false with a reason when it cannot start.
    virtual bool open(const QString& targetId, const QStringList& filePaths, QString* error) = 0;
    // Shows the file in the file manager (its folder with the file selected where the
    // file manager supports it); false with a reason when nothing can show folders.
    virtual bool revealInFolder(const QString& filePath, QString* error) = 0;
};

// Desktop entries and MIME associations through GIO (XDG data dirs, mimeapps.list);
// folders through the org.freedesktop.FileManager1 D-Bus service when one runs,
// else the "inode/directory" application.
std::shared_ptr<ShareTargets> makeDesktopShareTargets();

} // namespace lumivane
