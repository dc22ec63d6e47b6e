#include "settings/AppSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <algorithm>

namespace lumivane {

namespace {

// Reading helpers: a present value of the wrong type fails the whole document;
// null counts as absent for optional keys.
struct Reader {
    const QJsonObject& o;
    bool ok = true;

    bool has(const char* key) const { return o.contains(key) && !o.value(key).isNull(); }

    QJsonValue required(const char* key) {
        if (!has(key))
            ok = false;
        return o.value(key);
    }

    std::optional<bool> boolean(const QJsonValue& v) {
        if (!v.isBool()) {
            ok = false;
            return std::nullopt;
        }
        return v.toBool();
    }
    std::optional<double> number(const QJsonValue& v) {
        if (!v.isDouble()) {
            ok = false;
            return std::nullopt;
        }
        return v.toDouble();
    }
    std::optional<QString> text(const QJsonValue& v) {
        if (!v.isString()) {
            ok = false;
            return std::nullopt;
        }
        return v.toString();
    }
    std::optional<RgbaColor> color(const QJsonValue& v) {
        if (!v.isObject()) {
            ok = false;
            return std::nullopt;
        }
        const QJsonObject c = v.toObject();
        RgbaColor out;
        double* parts[] = {&out.red, &out.green, &out.blue, &out.alpha};
        const char* names[] = {"red", "green", "blue", "alpha"};
        for (int i = 0; i < 4; ++i) {
            const QJsonValue p = c.value(names[i]);
            if (!p.isDouble()) {
                ok = false;
                return std::nullopt;
            }
            *parts[i] = p.toDouble();
        }
        return out;
    }
    std::optional<ScreenshotFileFormat> format(const QJsonValue& v) {
        auto t = text(v);
        auto f = t ? screenshotFileFormatFromRaw(*t) : std::nullopt;
        if (!f)
            ok = false;
        return f;
    }
};

QJsonObject colorJson(const RgbaColor& c) {
    return QJsonObject{{"red", c.red}, {"green", c.green}, {"blue", c.blue}, {"alpha", c.alpha}};
}

} // namespace

QByteArray AppSettingsPayload::encode(const AppSettingsValues& v) {
    QJsonObject o;
    QJsonObject shortcuts;
    for (auto it = v.shortcuts.begin(); it != v.shortcuts.end(); ++it)
        shortcuts.insert(rawValue(it.key()), it.value().toJson());
    o.insert("shortcuts", shortcuts);
    o.insert("openEditorAfterCapture", v.openEditorAfterCapture);
    o.insert("autoDismissPreview", v.autoDismissPreview);
    o.insert("copyRecognizedTextAtOnce", v.copyRecognizedTextAtOnce);
    if (v.defaultSaveFolderPath)
        o.insert("defaultSaveFolderPath", *v.defaultSaveFolderPath);
    if (v.defaultSaveFolderBookmarkData)
        o.insert("defaultSaveFolderBookmarkData", QString::fromLatin1(v.defaultSaveFolderBookmarkData->toBase64()));
    o.insert("screenshotFileFormat", rawValue(v.screenshotFileFormat));
    o.insert("captureQualityPreset", rawValue(v.captureQualityPreset));
    o.insert("shareFileFormat", rawValue(v.shareFileFormat));
    o.insert("recentShareServiceTitles", QJsonArray::fromStringList(v.recentShareServiceTitles));
    o.insert("fileNamePrefix", v.fileNamePrefix);
    o.insert("defaultAnnotationColor", colorJson(v.defaultAnnotationColor));
    o.insert("defaultTextColor", colorJson(v.defaultTextColor));
    o.insert("defaultMarkerColor", colorJson(v.defaultMarkerColor));
    o.insert("defaultHighlightColor", colorJson(v.defaultHighlightColor));
    o.insert("defaultAnnotationLineWidth", v.defaultAnnotationLineWidth);
    o.insert("defaultMarkerLineWidth", v.defaultMarkerLineWidth);
    o.insert("defaultTextFontSize", v.defaultTextFontSize);
    o.insert("hasSeenSetupGuide", v.hasSeenSetupGuide);
    o.insert("hasSeenShortcutConflictNotice", v.hasSeenShortcutConflictNotice);
    o.insert("hasSeenNoTrayNotice", v.hasSeenNoTrayNotice);
    o.insert("browserAutomationVerified", v.browserAutomationVerified);
    o.insert("browserJavaScriptVerified", v.browserJavaScriptVerified);
    o.insert("splitLongPages", v.splitLongPages);
    o.insert("includeWindowFrame", v.includeWindowFrame);
    if (v.lastCaptureArea)
        o.insert("lastCaptureArea", v.lastCaptureArea->toJson());
    o.insert("historyEnabled", v.historyEnabled);
    o.insert("historyMaximumEntries", v.historyMaximumEntries);
    o.insert("historyMaximumMegabytes", v.historyMaximumMegabytes);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<AppSettingsValues> AppSettingsPayload::decode(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    Reader r{o};
    AppSettingsValues v;

    // Every entry must be a valid shortcut; entries under unknown keys are then dropped.
    const QJsonValue shortcutsValue = r.required("shortcuts");
    if (!shortcutsValue.isObject())
        return std::nullopt;
    const QJsonObject shortcuts = shortcutsValue.toObject();
    QMap<QString, Shortcut> stored;
    for (auto it = shortcuts.begin(); it != shortcuts.end(); ++it) {
        auto s = Shortcut::fromJson(it.value());
        if (!s)
            return std::nullopt;
        stored.insert(it.key(), *s);
    }
    v.shortcuts.clear();
    // Actions without a default key stay out of the map until they get one.
    for (ShortcutAction action : allShortcutActions)
        if (stored.contains(rawValue(action)) || !defaultShortcut(action).isEmpty())
            v.shortcuts.insert(action, stored.value(rawValue(action), defaultShortcut(action)));

    auto openEditor = r.boolean(r.required("openEditorAfterCapture"));
    auto autoDismiss = r.boolean(r.required("autoDismissPreview"));
    if (r.has("defaultSaveFolderPath"))
        v.defaultSaveFolderPath = r.text(o.value("defaultSaveFolderPath"));
    if (r.has("defaultSaveFolderBookmarkData")) {
        if (auto t = r.text(o.value("defaultSaveFolderBookmarkData"))) {
            auto decoded = QByteArray::fromBase64Encoding(t->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                return std::nullopt;
            v.defaultSaveFolderBookmarkData = *decoded;
        }
    }
    auto format = r.format(r.required("screenshotFileFormat"));
    if (!r.ok)
        return std::nullopt;
    v.openEditorAfterCapture = *openEditor;
    v.autoDismissPreview = *autoDismiss;
    if (r.has("copyRecognizedTextAtOnce")) {
        auto copyAtOnce = r.boolean(o.value("copyRecognizedTextAtOnce"));
        if (!copyAtOnce)
            return std::nullopt;
        v.copyRecognizedTextAtOnce = *copyAtOnce;
    }
    v.screenshotFileFormat = *format;

    if (r.has("captureQualityPreset")) {
        auto t = r.text(o.value("captureQualityPreset"));
        auto p = t ? captureQualityPresetFromRaw(*t) : std::nullopt;
        if (!p)
            return std::nullopt;
        v.captureQualityPreset = *p;
    } else {
        v.captureQualityPreset = CaptureQualityPreset::medium;
    }
    v.shareFileFormat = r.has("shareFileFormat") ? r.format(o.value("shareFileFormat")).value_or(v.screenshotFileFormat)
                                                 : v.screenshotFileFormat;
    if (r.has("recentShareServiceTitles")) {
        const QJsonValue titles = o.value("recentShareServiceTitles");
        if (!titles.isArray())
            return std::nullopt;
        for (const QJsonValue& t : titles.toArray()) {
            if (!t.isString())
                return std::nullopt;
            v.recentShareServiceTitles << t.toString();
        }
    }
    auto prefix = r.text(r.required("fileNamePrefix"));
    auto annotationColor = r.color(r.required("defaultAnnotationColor"));
    auto lineWidth = r.number(r.required("defaultAnnotationLineWidth"));
    auto fontSize = r.number(r.required("defaultTextFontSize"));
    if (!r.ok)
        return std::nullopt;
    v.fileNamePrefix = *prefix;
    v.defaultAnnotationColor = *annotationColor;
    v.defaultAnnotationLineWidth = *lineWidth;
    v.defaultTextFontSize = *fontSize;

    v.defaultTextColor = r.has("defaultTextColor") ? r.color(o.value("defaultTextColor")).value_or(RgbaColor{})
                                                   : v.defaultAnnotationColor;
    v.defaultMarkerColor = r.has("defaultMarkerColor") ? r.color(o.value("defaultMarkerColor")).value_or(RgbaColor{})
                                                       : RgbaColor::defaultYellow();
    v.defaultHighlightColor = r.has("defaultHighlightColor")
                                  ? r.color(o.value("defaultHighlightColor")).value_or(RgbaColor{})
                                  : RgbaColor::highlight();
    v.defaultMarkerLineWidth = r.has("defaultMarkerLineWidth") ? r.number(o.value("defaultMarkerLineWidth")).value_or(0)
                                                               : v.defaultAnnotationLineWidth;
    auto flag = [&](const char* key) { return r.has(key) ? r.boolean(o.value(key)).value_or(false) : false; };
    v.hasSeenSetupGuide = flag("hasSeenSetupGuide");
    v.hasSeenShortcutConflictNotice = flag("hasSeenShortcutConflictNotice");
    v.hasSeenNoTrayNotice = flag("hasSeenNoTrayNotice");
    v.browserAutomationVerified = flag("browserAutomationVerified");
    v.browserJavaScriptVerified = flag("browserJavaScriptVerified");
    v.splitLongPages = flag("splitLongPages");
    v.includeWindowFrame = r.has("includeWindowFrame") ? r.boolean(o.value("includeWindowFrame")).value_or(true) : true;
    // A stored area that cannot be read is forgotten rather than failing the document.
    v.lastCaptureArea = LastCaptureArea::fromJson(o.value("lastCaptureArea"));
    if (r.has("historyEnabled"))
        v.historyEnabled = r.boolean(o.value("historyEnabled")).value_or(true);
    // Bounds outside these ranges are taken as the nearest allowed one.
    auto bounded = [&](const char* key, int fallback, int low, int high) {
        if (!r.has(key))
            return fallback;
        const double n = r.number(o.value(key)).value_or(fallback);
        return int(std::clamp(n, double(low), double(high)));
    };
    v.historyMaximumEntries = bounded("historyMaximumEntries", 50, 1, 10000);
    v.historyMaximumMegabytes = bounded("historyMaximumMegabytes", 500, 1, 1 << 20);
    if (!r.ok)
        return std::nullopt;
    return v;
}

AppSettings::AppSettings(std::unique_ptr<SettingsStore> store, QObject* parent)
    : QObject(parent), store_(std::move(store)) {
    if (store_) {
        if (auto bytes = store_->read()) {
            if (auto decoded = AppSettingsPayload::decode(*bytes))
                values_ = *decoded;
        }
    }
}

AppSettings::AppSettings(QObject* parent)
    : AppSettings(std::make_unique<FileSettingsStore>(FileSettingsStore::defaultPath()), parent) {}

template <class T>
void AppSettings::assign(T& field, const T& value) {
    field = value;
    emit changed();
    persist();
}

Shortcut AppSettings::shortcut(ShortcutAction action) const {
    return values_.shortcuts.value(action, defaultShortcut(action));
}

void AppSettings::setShortcuts(const QMap<ShortcutAction, Shortcut>& shortcuts) {
    assign(values_.shortcuts, shortcuts);
}

void AppSettings::setShortcut(const Shortcut& shortcut, ShortcutAction action) {
    auto map = values_.shortcuts;
    map.insert(action, shortcut);
    assign(values_.shortcuts, map);
}

void AppSettings::setOpenEditorAfterCapture(bool v) {
    assign(values_.openEditorAfterCapture, v);
}
void AppSettings::setAutoDismissPreview(bool v) {
    assign(values_.autoDismissPreview, v);
}
void AppSettings::setCopyRecognizedTextAtOnce(bool v) {
    assign(values_.copyRecognizedTextAtOnce, v);
}
void AppSettings::setDefaultSaveFolderPath(const std::optional<QString>& v) {
    assign(values_.defaultSaveFolderPath, v);
}
void AppSettings::setDefaultSaveFolderBookmarkData(const std::optional<QByteArray>& v) {
    values_.defaultSaveFolderBookmarkData = v;
    persist();
}
void AppSettings::setScreenshotFileFormat(ScreenshotFileFormat v) {
    assign(values_.screenshotFileFormat, v);
}
void AppSettings::setCaptureQualityPreset(CaptureQualityPreset v) {
    assign(values_.captureQualityPreset, v);
}
void AppSettings::setShareFileFormat(ScreenshotFileFormat v) {
    assign(values_.shareFileFormat, v);
}
void AppSettings::setRecentShareServiceTitles(const QStringList& v) {
    assign(values_.recentShareServiceTitles, v);
}
void AppSettings::setFileNamePrefix(const QString& v) {
    assign(values_.fileNamePrefix, v);
}
void AppSettings::setDefaultAnnotationColor(const RgbaColor& v) {
    assign(values_.defaultAnnotationColor, v);
}
void AppSettings::setDefaultTextColor(const RgbaColor& v) {
    assign(values_.defaultTextColor, v);
}
void AppSettings::setDefaultMarkerColor(const RgbaColor& v) {
    assign(values_.defaultMarkerColor, v);
}
void AppSettings::setDefaultHighlightColor(const RgbaColor& v) {
    assign(values_.defaultHighlightColor, v);
}
void AppSettings::setDefaultAnnotationLineWidth(double v) {
    assign(values_.defaultAnnotationLineWidth, v);
}
void AppSettings::setDefaultMarkerLineWidth(double v) {
    assign(values_.defaultMarkerLineWidth, v);
}
void AppSettings::setDefaultTextFontSize(double v) {
    assign(values_.defaultTextFontSize, v);
}
void AppSettings::setHasSeenSetupGuide(bool v) {
    assign(values_.hasSeenSetupGuide, v);
}
void AppSettings::setHasSeenShortcutConflictNotice(bool v) {
    assign(values_.hasSeenShortcutConflictNotice, v);
}
void AppSettings::setHasSeenNoTrayNotice(bool v) {
    assign(values_.hasSeenNoTrayNotice, v);
}
void AppSettings::setBrowserAutomationVerified(bool v) {
    assign(values_.browserAutomationVerified, v);
}
void AppSettings::setBrowserJavaScriptVerified(bool v) {
    assign(values_.browserJavaScriptVerified, v);
}
void AppSettings::setSplitLongPages(bool v) {
    assign(values_.splitLongPages, v);
}

void AppSettings::setIncludeWindowFrame(bool v) {
    assign(values_.includeWindowFrame, v);
}
void AppSettings::setLastCaptureArea(const std::optional<LastCaptureArea>& v) {
    if (values_.lastCaptureArea == v)
        return;
    values_.lastCaptureArea = v;
    persist();
}

void AppSettings::persist() {
    if (store_)
        store_->write(AppSettingsPayload::encode(values_));
}

std::optional<QUrl> AppSettings::resolvedDefaultSaveFolderURL() const {
    const auto& path = values_.defaultSaveFolderPath;
    if (!path || path->isEmpty())
        return std::nullopt;
    QString dir = *path;
    if (!dir.endsWith('/'))
        dir += '/';
    return QUrl::fromLocalFile(dir);
}

void AppSettings::setHistoryEnabled(bool v) {
    assign(values_.historyEnabled, v);
}
void AppSettings::setHistoryMaximumEntries(int v) {
    assign(values_.historyMaximumEntries, std::clamp(v, 1, 10000));
}
void AppSettings::setHistoryMaximumMegabytes(int v) {
    assign(values_.historyMaximumMegabytes, std::clamp(v, 1, 1 << 20));
}

void AppSettings::restoreDefaults() {
    const AppSettingsValues d;
    setShortcuts(d.shortcuts);
    setOpenEditorAfterCapture(d.openEditorAfterCapture);
    setAutoDismissPreview(d.autoDismissPreview);
    setCopyRecognizedTextAtOnce(d.copyRecognizedTextAtOnce);
    setDefaultSaveFolderPath(d.defaultSaveFolderPath);
    setScreenshotFileFormat(d.screenshotFileFormat);
    setCaptureQualityPreset(d.captureQualityPreset);
    setShareFileFormat(d.shareFileFormat);
    setRecentShareServiceTitles(d.recentShareServiceTitles);
    setFileNamePrefix(d.fileNamePrefix);
    setDefaultAnnotationColor(d.defaultAnnotationColor);
    setDefaultTextColor(d.defaultTextColor);
    setDefaultMarkerColor(d.defaultMarkerColor);
    setDefaultHighlightColor(d.defaultHighlightColor);
    setDefaultAnnotationLineWidth(d.defaultAnnotationLineWidth);
    setSplitLongPages(d.splitLongPages);
    setIncludeWindowFrame(d.includeWindowFrame);
    setHistoryEnabled(d.historyEnabled);
    setHistoryMaximumEntries(d.historyMaximumEntries);
    setHistoryMaximumMegabytes(d.historyMaximumMegabytes);
    setDefaultMarkerLineWidth(d.defaultMarkerLineWidth);
    setDefaultTextFontSize(d.defaultTextFontSize);
    values_.defaultSaveFolderBookmarkData.reset();
    persist();
}

} // namespace lumivane
