// GIO first: its headers use the word "signals", which Qt defines as a macro.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "platform/ShareTargets.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

namespace lumivane {

namespace {

template <class T, void (*Free)(T*)>
struct GPtr {
    T* p = nullptr;
    explicit GPtr(T* value = nullptr) : p(value) {}
    GPtr(const GPtr&) = delete;
    GPtr& operator=(const GPtr&) = delete;
    ~GPtr() {
        if (p)
            Free(p);
    }
};

void freeError(GError* error) {
    g_error_free(error);
}
void freeFileList(GList* list) {
    g_list_free_full(list, g_object_unref);
}

using ErrorPtr = GPtr<GError, freeError>;

QString iconNameOf(GAppInfo* info) {
    GIcon* icon = g_app_info_get_icon(info); // owned by the app info
    if (!icon)
        return {};
    if (G_IS_THEMED_ICON(icon)) {
        const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        return names && names[0] ? QString::fromUtf8(names[0]) : QString();
    }
    if (G_IS_FILE_ICON(icon)) {
        GFile* file = g_file_icon_get_file(G_FILE_ICON(icon));
        if (char* path = g_file_get_path(file)) {
            QString result = QString::fromUtf8(path);
            g_free(path);
            return result;
        }
    }
    return {};
}

// Files as a GFile list for launching; the list owns its references.
GList* fileList(const QStringList& paths) {
    GList* list = nullptr;
    for (const QString& path : paths)
        list = g_list_append(list, g_file_new_for_path(QFile::encodeName(path).constData()));
    return list;
}

bool launch(GAppInfo* app, const QStringList& paths, QString* error) {
    GPtr<GList, freeFileList> files(fileList(paths));
    GAppLaunchContext* context = g_app_launch_context_new();
    GError* raw = nullptr;
    const gboolean ok = g_app_info_launch(app, files.p, context, &raw);
    g_object_unref(context);
    ErrorPtr failure(raw);
    if (!ok && error) {
        *error = failure.p ? QString::fromUtf8(failure.p->message)
                           : QStringLiteral("アプリケーションを起動できませんでした。");
    }
    return ok;
}

// ShowItems of the session's file manager; false when there is no bus or no service.
bool showItemsOverDBus(const QString& filePath) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return false;
    GError* raw = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &raw);
    ErrorPtr busError(raw);
    if (!bus)
        return false;
    GVariantBuilder uris;
    g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
    const QByteArray uri = QUrl::fromLocalFile(filePath).toEncoded();
    g_variant_builder_add(&uris, "s", uri.constData());
    raw = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
        "ShowItems", g_variant_new("(ass)", &uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &raw);
    ErrorPtr callError(raw);
    g_object_unref(bus);
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}

class GioShareTargets final : public ShareTargets {
public:
    std::vector<ShareTarget> applicationsFor(const QString& mimeType) override {
        const QByteArray type = mimeType.toUtf8();
        std::vector<ShareTarget> result;
        QString defaultId;
        if (GAppInfo* preferred = g_app_info_get_default_for_type(type.constData(), FALSE)) {
            if (const char* id = g_app_info_get_id(preferred))
                defaultId = QString::fromUtf8(id);
            g_object_unref(preferred);
        }
        GList* all = g_app_info_get_all_for_type(type.constData());
        for (GList* node = all; node; node = node->next) {
            GAppInfo* info = G_APP_INFO(node->data);
            const char* id = g_app_info_get_id(info);
            if (!id || !g_app_info_should_show(info))
                continue;
            ShareTarget target{QString::fromUtf8(id), QString::fromUtf8(g_app_info_get_display_name(info)),
                               iconNameOf(info)};
            const bool seen =
                std::any_of(result.begin(), result.end(), [&](const ShareTarget& t) { return t.id == target.id; });
            if (!seen)
                result.push_back(std::move(target));
        }
        g_list_free_full(all, g_object_unref);
        std::stable_sort(result.begin(), result.end(), [&](const ShareTarget& a, const ShareTarget& b) {
            const bool aDefault = a.id == defaultId, bDefault = b.id == defaultId;
            if (aDefault != bDefault)
                return aDefault;
            return QString::localeAwareCompare(a.title, b.title) < 0;
        });
        return result;
    }

    bool open(const QString& targetId, const QStringList& filePaths, QString* error) override {
        GDesktopAppInfo* app = g_desktop_app_info_new(targetId.toUtf8().constData());
        if (!app) {
            if (error)
                *error = QStringLiteral("アプリケーション「%1」が見つかりません。").arg(targetId);
            return false;
        }
        const bool ok = launch(G_APP_INFO(app), filePaths, error);
        g_object_unref(app);
        return ok;
    }

    bool revealInFolder(const QString& filePath, QString* error) override {
        if (showItemsOverDBus(filePath))
            return true;
        GAppInfo* folders = g_app_info_get_default_for_type("inode/directory", FALSE);
        if (!folders) {
            if (error)
                *error = QStringLiteral("フォルダを開くアプリケーションが見つかりません。");
            return false;
        }
        const bool ok = launch(folders, {QFileInfo(filePath).absolutePath()}, error);
        g_object_unref(folders);
        return ok;
    }
};

} // namespace

std::shared_ptr<ShareTargets> makeDesktopShareTargets() {
    return std::make_shared<GioShareTargets>();
}

} // namespace lumivane
