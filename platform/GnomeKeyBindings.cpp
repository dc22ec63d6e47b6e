// GIO first: its headers use the word "signals", which Qt defines as a macro.
#include <gio/gio.h>

#include "platform/GnomeKeyBindings.h"

#include <QStringList>

namespace lumivane {

namespace {

const char* const listSchema = "org.gnome.settings-daemon.plugins.media-keys";
const char* const listKey = "custom-keybindings";
const char* const bindingSchema = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
const QString listPath = QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/");
const QString ourPrefix = listPath + QStringLiteral("lumivane-");

bool schemaInstalled(const char* id) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, id, TRUE);
    if (!schema)
        return false;
    g_settings_schema_unref(schema);
    return true;
}

struct GObjectDeleter {
    void operator()(gpointer p) const { g_object_unref(p); }
};
using SettingsPtr = std::unique_ptr<GSettings, GObjectDeleter>;

QString text(GSettings* settings, const char* key) {
    gchar* value = g_settings_get_string(settings, key);
    const QString out = QString::fromUtf8(value);
    g_free(value);
    return out;
}

} // namespace

struct GnomeKeyBindings::Settings {
    SettingsPtr list;

    QStringList paths() const {
        QStringList out;
        gchar** values = g_settings_get_strv(list.get(), listKey);
        for (gchar** v = values; v && *v; ++v)
            out << QString::fromUtf8(*v);
        g_strfreev(values);
        return out;
    }
    bool setPaths(const QStringList& paths) {
        std::vector<QByteArray> bytes;
        for (const QString& p : paths)
            bytes.push_back(p.toUtf8());
        std::vector<const gchar*> values;
        for (const QByteArray& b : bytes)
            values.push_back(b.constData());
        values.push_back(nullptr);
        return g_settings_set_strv(list.get(), listKey, values.data());
    }
    static SettingsPtr binding(const QString& path) {
        return SettingsPtr(g_settings_new_with_path(bindingSchema, path.toUtf8().constData()));
    }
};

std::unique_ptr<GnomeKeyBindings> GnomeKeyBindings::open() {
    // g_settings_new aborts on a missing schema: look first.
    if (!schemaInstalled(listSchema) || !schemaInstalled(bindingSchema))
        return nullptr;
    auto settings = std::make_unique<Settings>();
    settings->list.reset(g_settings_new(listSchema));
    return std::unique_ptr<GnomeKeyBindings>(new GnomeKeyBindings(std::move(settings)));
}

GnomeKeyBindings::GnomeKeyBindings(std::unique_ptr<Settings> settings) : settings_(std::move(settings)) {}

GnomeKeyBindings::~GnomeKeyBindings() {
    // Writes still on their way to the settings daemon are sent before the process goes on.
    g_settings_sync();
}

QString GnomeKeyBindings::pathFor(const QString& id) {
    return ourPrefix + id + QLatin1Char('/');
}

std::vector<DesktopKeyBinding> GnomeKeyBindings::bindings() const {
    std::vector<DesktopKeyBinding> out;
    for (const QString& path : settings_->paths()) {
        if (!path.startsWith(ourPrefix) || !path.endsWith(QLatin1Char('/')))
            continue;
        const SettingsPtr b = Settings::binding(path);
        out.push_back({path.mid(ourPrefix.size()).chopped(1), text(b.get(), "name"), text(b.get(), "command"),
                       text(b.get(), "binding")});
    }
    return out;
}

bool GnomeKeyBindings::setBindings(const std::vector<DesktopKeyBinding>& bindings) {
    QStringList wanted;
    for (const DesktopKeyBinding& binding : bindings) {
        const QString path = pathFor(binding.id);
        wanted << path;
        const SettingsPtr b = Settings::binding(path);
        g_settings_delay(b.get());
        g_settings_set_string(b.get(), "name", binding.name.toUtf8().constData());
        g_settings_set_string(b.get(), "command", binding.command.toUtf8().constData());
        g_settings_set_string(b.get(), "binding", binding.accelerator.toUtf8().constData());
        g_settings_apply(b.get());
    }
    // The list keeps the user's entries where they are; ours that are no longer wanted go.
    QStringList paths;
    for (const QString& path : settings_->paths()) {
        if (path.startsWith(ourPrefix) && !wanted.contains(path)) {
            const SettingsPtr b = Settings::binding(path);
            for (const char* key : {"name", "command", "binding"})
                g_settings_reset(b.get(), key);
            continue;
        }
        paths << path;
    }
    for (const QString& path : wanted)
        if (!paths.contains(path))
            paths << path;
    const bool ok = paths == settings_->paths() || settings_->setPaths(paths);
    g_settings_sync();
    return ok;
}

bool GnomeKeyBindings::removeBindings() {
    return setBindings({});
}

} // namespace lumivane
