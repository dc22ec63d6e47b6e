#include "editor_model/ProjectFile.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QImageReader>
#include <cmath>
#include <nlohmann/json.hpp>

namespace lumivane {

using nlohmann::json;

namespace {

constexpr double referenceDateOffset = 978307200.0;   // 1970 → 2001

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw ProjectFileError("Invalid project file: " + path + ": " + what);
}

const json& member(const json& object, const char* key, const std::string& path) {
    auto it = object.find(key);
    if (it == object.end()) fail(path, std::string("missing required key \"") + key + "\"");
    return *it;
}

std::string child(const std::string& path, const char* key) { return path + "." + key; }

const json& objectAt(const json& value, const std::string& path) {
    if (!value.is_object()) fail(path, "expected an object");
    return value;
}

double numberAt(const json& value, const std::string& path) {
    if (!value.is_number()) fail(path, "expected a number");
    const double d = value.get<double>();
    if (!std::isfinite(d) || std::fabs(d) > ProjectFile::maxMagnitude) fail(path, "number out of range");
    return d;
}

double number(const json& object, const char* key, const std::string& path) {
    return numberAt(member(object, key, path), child(path, key));
}

QString string(const json& object, const char* key, const std::string& path) {
    const json& v = member(object, key, path);
    if (!v.is_string()) fail(child(path, key), "expected a string");
    return QString::fromStdString(v.get_ref<const std::string&>());
}

QUuid uuid(const json& object, const char* key, const std::string& path) {
    const QString s = string(object, key, path);
    const QUuid id = QUuid::fromString(s);
    if (id.isNull() || s.size() != 36) fail(child(path, key), "expected a UUID");
    return id;
}

QPointF pointAt(const json& value, const std::string& path) {
    objectAt(value, path);
    return QPointF(number(value, "x", path), number(value, "y", path));
}

QRectF rectAt(const json& value, const std::string& path) {
    objectAt(value, path);
    return QRectF(number(value, "x", path), number(value, "y", path), number(value, "width", path),
                  number(value, "height", path));
}

CodableColor colorAt(const json& value, const std::string& path) {
    objectAt(value, path);
    return {number(value, "red", path), number(value, "green", path), number(value, "blue", path),
            number(value, "alpha", path)};
}

json encodePoint(QPointF p) { return json{{"x", p.x()}, {"y", p.y()}}; }
json encodeRect(const QRectF& r) {
    return json{{"x", r.x()}, {"y", r.y()}, {"width", r.width()}, {"height", r.height()}};
}
json encodeColor(const CodableColor& c) {
    return json{{"red", c.red}, {"green", c.green}, {"blue", c.blue}, {"alpha", c.alpha}};
}
std::string utf8(const QString& s) { return s.toStdString(); }

json encodeAnnotation(const SavedAnnotation& a) {
    json j{{"id", utf8(ProjectFile::uuidString(a.id))},
           {"kind", utf8(rawValue(a.kind))},
           {"rect", encodeRect(a.rect)},
           {"color", encodeColor(a.color)},
           {"lineWidth", a.lineWidth},
           {"fontSize", a.fontSize},
           {"text", utf8(a.text)},
           {"markerPoints", json::array()},
           {"effectIntensity", a.effectIntensity}};
    if (a.arrowStart) j["arrowStart"] = encodePoint(*a.arrowStart);
    if (a.arrowEnd) j["arrowEnd"] = encodePoint(*a.arrowEnd);
    for (const QPointF& p : a.markerPoints) j["markerPoints"].push_back(encodePoint(p));
    return j;
}

SavedAnnotation decodeAnnotation(const json& value, const std::string& path) {
    objectAt(value, path);
    SavedAnnotation a;
    a.id = uuid(value, "id", path);
    const QString kind = string(value, "kind", path);
    const auto k = annotationKindFromRaw(kind);
    if (!k) fail(child(path, "kind"), "unknown annotation kind \"" + utf8(kind) + "\"");
    a.kind = *k;
    a.rect = rectAt(member(value, "rect", path), child(path, "rect"));
    a.color = colorAt(member(value, "color", path), child(path, "color"));
    a.lineWidth = number(value, "lineWidth", path);
    a.fontSize = number(value, "fontSize", path);
    a.text = string(value, "text", path);
    if (auto it = value.find("arrowStart"); it != value.end()) a.arrowStart = pointAt(*it, child(path, "arrowStart"));
    if (auto it = value.find("arrowEnd"); it != value.end()) a.arrowEnd = pointAt(*it, child(path, "arrowEnd"));
    const json& points = member(value, "markerPoints", path);
    if (!points.is_array()) fail(child(path, "markerPoints"), "expected an array");
    a.markerPoints.reserve(points.size());
    for (size_t i = 0; i < points.size(); ++i)
        a.markerPoints.push_back(pointAt(points[i], child(path, "markerPoints") + "[" + std::to_string(i) + "]"));
    a.effectIntensity = number(value, "effectIntensity", path);
    return a;
}

CanvasBackgroundStyle decodeBackground(const json& value, const std::string& path) {
    objectAt(value, path);
    CanvasBackgroundStyle s;
    const json& enabled = member(value, "isEnabled", path);
    if (!enabled.is_boolean()) fail(child(path, "isEnabled"), "expected a boolean");
    s.isEnabled = enabled.get<bool>();
    s.padding = number(value, "padding", path);
    s.color = colorAt(member(value, "color", path), child(path, "color"));
    s.cornerRadius = number(value, "cornerRadius", path);
    s.shadowOpacity = number(value, "shadowOpacity", path);
    s.shadowBlur = number(value, "shadowBlur", path);
    s.shadowOffsetY = number(value, "shadowOffsetY", path);
    return s;
}

} // namespace

SavedAnnotation::SavedAnnotation(const Annotation& a)
    : id(a.id), kind(a.kind), rect(a.rect), color(a.color), lineWidth(a.lineWidth), fontSize(a.fontSize),
      text(a.text), arrowStart(a.arrowStart), arrowEnd(a.arrowEnd), markerPoints(a.markerPoints),
      effectIntensity(a.effectIntensity) {}

Annotation SavedAnnotation::annotation() const {
    return Annotation{id, kind, rect, color, lineWidth, fontSize, text, arrowStart, arrowEnd, markerPoints,
                      effectIntensity};
}

SavedEditorProject::SavedEditorProject(const EditorDocument& d)
    : version(1), createdAt(ProjectFile::secondsSinceReferenceDate()), selectedTool(d.selectedTool),
      selectedAnnotationID(d.selectedAnnotationID), cropRect(d.cropRect), backgroundStyle(d.backgroundStyle) {
    if (d.baseImage) {
        if (auto normalized = ImageExportPipeline::normalizedImage(*d.baseImage, std::nullopt))
            if (auto png = ImageExportPipeline::encode(*normalized, ScreenshotFileFormat::png)) baseImageData = *png;
    }
    annotations.reserve(d.annotations.size());
    for (const Annotation& a : d.annotations) annotations.emplace_back(a);
}

std::optional<EditorDocument> SavedEditorProject::makeDocument() const {
    ImageRef image = makeImage(ProjectFile::decodeImage(baseImageData));
    if (!image) return std::nullopt;
    EditorDocument d = EditorDocument::fresh(std::move(image));
    d.annotations.reserve(annotations.size());
    for (const SavedAnnotation& a : annotations) d.annotations.push_back(a.annotation());
    d.selectedTool = selectedTool;
    d.selectedAnnotationID = selectedAnnotationID;
    d.cropRect = cropRect;
    d.backgroundStyle = backgroundStyle;
    return d;
}

QByteArray SavedEditorProject::encode() const {
    json root{{"version", version},
              {"createdAt", createdAt},
              {"baseImageData", baseImageData.toBase64().toStdString()},
              {"selectedTool", utf8(rawValue(selectedTool))},
              {"backgroundStyle",
               json{{"isEnabled", backgroundStyle.isEnabled},
                    {"padding", backgroundStyle.padding},
                    {"color", encodeColor(backgroundStyle.color)},
                    {"cornerRadius", backgroundStyle.cornerRadius},
                    {"shadowOpacity", backgroundStyle.shadowOpacity},
                    {"shadowBlur", backgroundStyle.shadowBlur},
                    {"shadowOffsetY", backgroundStyle.shadowOffsetY}}},
              {"annotations", json::array()}};
    if (selectedAnnotationID) root["selectedAnnotationID"] = utf8(ProjectFile::uuidString(*selectedAnnotationID));
    if (cropRect) root["cropRect"] = encodeRect(*cropRect);
    for (const SavedAnnotation& a : annotations) root["annotations"].push_back(encodeAnnotation(a));
    const std::string text = root.dump(2, ' ', false, json::error_handler_t::replace);
    return QByteArray::fromStdString(text);
}

SavedEditorProject SavedEditorProject::decode(const QByteArray& bytes) {
    json root;
    try {
        root = json::parse(bytes.begin(), bytes.end());
    } catch (const json::exception& e) {
        throw ProjectFileError(std::string("Invalid project file: malformed JSON (") + e.what() + ")");
    }
    const std::string path = "$";
    objectAt(root, path);
    SavedEditorProject p;
    const json& version = member(root, "version", path);
    if (!version.is_number_integer()) fail(child(path, "version"), "expected an integer");
    const auto v = version.get<std::int64_t>();
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        fail(child(path, "version"), "number out of range");
    p.version = int(v);
    const json& created = member(root, "createdAt", path);
    if (!created.is_number() || !std::isfinite(created.get<double>()))
        fail(child(path, "createdAt"), "expected a number");
    p.createdAt = created.get<double>();
    const QString data = string(root, "baseImageData", path);
    auto decoded = QByteArray::fromBase64Encoding(data.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) fail(child(path, "baseImageData"), "not valid Base64");
    p.baseImageData = *decoded;
    const QString tool = string(root, "selectedTool", path);
    const auto t = annotationToolFromRaw(tool);
    if (!t) fail(child(path, "selectedTool"), "unknown tool \"" + utf8(tool) + "\"");
    p.selectedTool = *t;
    if (root.contains("selectedAnnotationID")) p.selectedAnnotationID = uuid(root, "selectedAnnotationID", path);
    if (auto it = root.find("cropRect"); it != root.end()) p.cropRect = rectAt(*it, child(path, "cropRect"));
    p.backgroundStyle = decodeBackground(member(root, "backgroundStyle", path), child(path, "backgroundStyle"));
    const json& list = member(root, "annotations", path);
    if (!list.is_array()) fail(child(path, "annotations"), "expected an array");
    p.annotations.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i)
        p.annotations.push_back(decodeAnnotation(list[i], "$.annotations[" + std::to_string(i) + "]"));
    return p;
}

namespace ProjectFile {

SavedEditorProject readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ProjectFileError("Cannot open project file: " + file.errorString().toStdString(),
                               ProjectFileError::Reason::unreadable);
    if (file.size() > maxFileSize) throw ProjectFileError("Invalid project file: larger than 1 GiB");
    const QByteArray bytes = file.read(maxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw ProjectFileError("Cannot read project file: " + file.errorString().toStdString(),
                               ProjectFileError::Reason::unreadable);
    if (bytes.size() > maxFileSize) throw ProjectFileError("Invalid project file: larger than 1 GiB");
    return SavedEditorProject::decode(bytes);
}

double secondsSinceReferenceDate() {
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
}

QString uuidString(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

QImage decodeImage(const QByteArray& data) {
    if (data.isEmpty()) return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0 || size.width() > maxImageDimension ||
        size.height() > maxImageDimension)
        return {};
    QImage image;
    if (!reader.read(&image)) return {};
    if (image.size() != size) return {};
    return image;
}

} // namespace ProjectFile
} // namespace lumivane
