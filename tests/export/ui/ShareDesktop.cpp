#include "ShareDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <filesystem>

namespace lumivane::test {

namespace {

void writeFile(const QString& path, const QByteArray& text, bool executable = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        std::abort();
    f.write(text);
    f.close();
    if (executable)
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QByteArray entry(const char* name, const QString& exec, const char* mime, const char* extra = "") {
    return QByteArray("[Desktop Entry]\nType=Application\nName=") + name + "\nExec=" + exec.toUtf8() +
           "\nMimeType=" + mime + "\nIcon=image-x-generic\n" + extra;
}

ShareDesktop install() {
    ShareDesktop d;
    char pattern[] = "/tmp/lumivane-share-desktop-XXXXXX";
    d.root = QString::fromLocal8Bit(mkdtemp(pattern));
    d.recordFolder = d.root + "/records";
    QDir().mkpath(d.recordFolder);
    QDir().mkpath(d.root + "/empty");

    const QString record = d.root + "/bin/record";
    writeFile(record,
              QByteArray("#!/bin/sh\nname=$1; shift\nprintf '%s\\n' \"$@\" > \"") + d.recordFolder.toUtf8() +
                  "/$name.tmp\" && mv \"" + d.recordFolder.toUtf8() + "/$name.tmp\" \"" + d.recordFolder.toUtf8() +
                  "/$name.args\"\n",
              true);
    d.vanishingTool = d.root + "/bin/vanishing";
    writeFile(d.vanishingTool, "#!/bin/sh\nexit 0\n", true);

    const QString apps = d.root + "/data/applications/";
    writeFile(apps + "fake-viewer.desktop", entry("Fake Viewer", record + " viewer %F", "image/png;image/jpeg;"));
    writeFile(apps + "another-painter.desktop", entry("Another Painter", record + " painter %f", "image/png;"));
    writeFile(apps + "hidden-helper.desktop",
              entry("Hidden Helper", record + " hidden %f", "image/png;", "NoDisplay=true\n"));
    writeFile(apps + "vanishing-tool.desktop", entry("Vanishing Tool", d.vanishingTool + " %f", "image/jpeg;"));
    writeFile(apps + "fake-files.desktop", entry("Fake Files", record + " folder %f", "inode/directory;"));
    // GIO maps types to entries through the cache that update-desktop-database keeps.
    writeFile(apps + "mimeinfo.cache",
              "[MIME Cache]\nimage/png=another-painter.desktop;fake-viewer.desktop;hidden-helper.desktop;\n"
              "image/jpeg=fake-viewer.desktop;vanishing-tool.desktop;\ninode/directory=fake-files.desktop;\n");
    writeFile(d.root + "/config/mimeapps.list",
              "[Default Applications]\nimage/png=another-painter.desktop\ninode/directory=fake-files.desktop\n");

    setenv("XDG_DATA_HOME", qPrintable(d.root + "/data"), 1);
    setenv("XDG_DATA_DIRS", qPrintable(d.root + "/empty"), 1);
    setenv("XDG_CONFIG_HOME", qPrintable(d.root + "/config"), 1);
    setenv("XDG_CONFIG_DIRS", qPrintable(d.root + "/empty"), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS"); // folders open through the inode/directory entry
    return d;
}

// Installed during static initialisation: before main creates the application.
const ShareDesktop g_desktop = install();

struct Cleanup {
    ~Cleanup() { std::filesystem::remove_all(g_desktop.root.toStdString()); }
} g_cleanup;

} // namespace

QStringList ShareDesktop::recordedArguments(const QString& app) const {
    QFile f(recordFolder + "/" + app + ".args");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

const ShareDesktop& shareDesktop() {
    return g_desktop;
}

} // namespace lumivane::test
