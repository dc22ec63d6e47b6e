#include "editor_model/ProjectFile.h"
#include "core/AtomicFile.h"
#include "core/ImageMemory.h"
#include "editor_model/DocumentLimits.h"
#include "editor_model/StepMarkers.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace lumivane {

using nlohmann::json;

namespace {

constexpr double referenceDateOffset = 978307200.0; // 1970 → 2001

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw ProjectFileError("プロジェクトファイルの内容が正しくありません（" + path + ": " + what + "）。");
}

const json& member(const json& object, const char* key, const std::string& path) {
    auto it = object.find(key);
    if (it == object.end())
        fail(path + "." + key, "必要な項目 \"" + std::string(key) + "\" がありません");
    return *it;
}

// An optional key: absent or null gives nothing.
const json* optionalMember(const json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

std::string child(const std::string& path, const char* key) {
    return path + "." + key;
}

const json& objectAt(const json& value, const std::string& path) {
    if (!value.is_object())
        fail(path, "オブジェクトではありません");
    return value;
}

double numberAt(const json& value, const std::string& path) {
    if (!value.is_number())
        fail(path, "数値ではありません");
    const double d = value.get<double>();
    if (!std::isfinite(d))
        fail(path, "数値が有限ではありません");
    return d;
}

double number(const json& object, const char* key, const std::string& path) {
    return numberAt(member(object, key, path), child(path, key));
}

QString string(const json& object, const char* key, const std::string& path) {
    const json& v = member(object, key, path);
    if (!v.is_string())
        fail(child(path, key), "文字列ではありません");
    return QString::fromStdString(v.get_ref<const std::string&>());
}

QUuid uuid(const json& object, const char* key, const std::string& path) {
    const QString s = string(object, key, path);
    const QUuid id = QUuid::fromString(s);
    if (id.isNull() || s.size() != 36)
        fail(child(path, key), "UUID ではありません");
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

RgbaColor colorAt(const json& value, const std::string& path) {
    objectAt(value, path);
    return {number(value, "red", path), number(value, "green", path), number(value, "blue", path),
            number(value, "alpha", path)};
}

json encodePoint(QPointF p) {
    return json{{"x", p.x()}, {"y", p.y()}};
}
json encodeRect(const QRectF& r) {
    return json{{"x", r.x()}, {"y", r.y()}, {"width", r.width()}, {"height", r.height()}};
}
json encodeColor(const RgbaColor& c) {
    return json{{"red", c.red}, {"green", c.green}, {"blue", c.blue}, {"alpha", c.alpha}};
}
std::string utf8(const QString& s) {
    return s.toStdString();
}

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
    if (a.arrowStart)
        j["arrowStart"] = encodePoint(*a.arrowStart);
    if (a.arrowEnd)
        j["arrowEnd"] = encodePoint(*a.arrowEnd);
    for (const QPointF& p : a.markerPoints)
        j["markerPoints"].push_back(encodePoint(p));
    if (a.textBackground)
        j["textBackground"] = json{{"color", encodeColor(a.textBackground->color)},
                                   {"padding", a.textBackground->padding},
                                   {"cornerRadius", a.textBackground->cornerRadius}};
    return j;
}

SavedAnnotation decodeAnnotation(const json& value, const std::string& path) {
    objectAt(value, path);
    SavedAnnotation a;
    a.id = uuid(value, "id", path);
    const QString kind = string(value, "kind", path);
    const auto k = annotationKindFromRaw(kind);
    if (!k)
        throw ProjectFileError("このバージョンの Lumivane では扱えない注釈（種類 \"" + utf8(kind) +
                               "\"）が含まれているため、プロジェクトファイルを開けません。Lumivane "
                               "を更新してください。");
    a.kind = *k;
    a.rect = rectAt(member(value, "rect", path), child(path, "rect"));
    a.color = colorAt(member(value, "color", path), child(path, "color"));
    a.lineWidth = number(value, "lineWidth", path);
    a.fontSize = number(value, "fontSize", path);
    a.text = string(value, "text", path);
    if (const json* p = optionalMember(value, "arrowStart"))
        a.arrowStart = pointAt(*p, child(path, "arrowStart"));
    if (const json* p = optionalMember(value, "arrowEnd"))
        a.arrowEnd = pointAt(*p, child(path, "arrowEnd"));
    const json& points = member(value, "markerPoints", path);
    if (!points.is_array())
        fail(child(path, "markerPoints"), "配列ではありません");
    a.markerPoints.reserve(points.size());
    for (size_t i = 0; i < points.size(); ++i)
        a.markerPoints.push_back(pointAt(points[i], child(path, "markerPoints") + "[" + std::to_string(i) + "]"));
    a.effectIntensity = number(value, "effectIntensity", path);
    if (const json* b = optionalMember(value, "textBackground")) {
        const std::string at = child(path, "textBackground");
        objectAt(*b, at);
        a.textBackground = TextBackground{colorAt(member(*b, "color", at), child(at, "color")),
                                          number(*b, "padding", at), number(*b, "cornerRadius", at)};
    }
    return a;
}

CanvasBackgroundStyle decodeBackground(const json& value, const std::string& path) {
    objectAt(value, path);
    CanvasBackgroundStyle s;
    const json& enabled = member(value, "isEnabled", path);
    if (!enabled.is_boolean())
        fail(child(path, "isEnabled"), "真偽値ではありません");
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
    : id(a.id), kind(a.kind), rect(a.rect), color(a.color), lineWidth(a.lineWidth), fontSize(a.fontSize), text(a.text),
      arrowStart(a.arrowStart), arrowEnd(a.arrowEnd), markerPoints(a.markerPoints), effectIntensity(a.effectIntensity),
      textBackground(a.kind == AnnotationKind::text ? a.textBackground : std::nullopt) {}

Annotation SavedAnnotation::annotation() const {
    return Annotation{id,   kind,       rect,     color,        lineWidth,       fontSize,
                      text, arrowStart, arrowEnd, markerPoints, effectIntensity, textBackground};
}

int SavedEditorProject::versionFor(const std::vector<SavedAnnotation>& annotations) {
    for (const SavedAnnotation& a : annotations)
        if (a.kind == AnnotationKind::pen || a.kind == AnnotationKind::step || a.textBackground)
            return currentVersion;
    return firstVersion;
}

SavedEditorProject::SavedEditorProject(const EditorDocument& d)
    : version(firstVersion), createdAt(ProjectFile::secondsSinceReferenceDate()), selectedTool(d.selectedTool),
      selectedAnnotationID(d.selectedAnnotationID), cropRect(d.cropRect), backgroundStyle(d.backgroundStyle) {
    if (d.baseImage) {
        if (auto normalized = ImageExportPipeline::normalizedImage(*d.baseImage, std::nullopt))
            if (auto png = ImageExportPipeline::encode(*normalized, ScreenshotFileFormat::png))
                baseImageData = *png;
    }
    annotations.reserve(d.annotations.size());
    for (const Annotation& a : d.annotations)
        annotations.emplace_back(a);
    version = versionFor(annotations);
}

std::optional<EditorDocument> SavedEditorProject::makeDocument() const {
    std::vector<Annotation> converted;
    converted.reserve(annotations.size());
    for (const SavedAnnotation& a : annotations)
        converted.push_back(a.annotation());
    renumberSteps(converted);
    // Checked from the image header before any pixels are decoded.
    if (const QSize size = ProjectFile::imageSize(baseImageData); !size.isEmpty())
        if (const QString problem = DocumentLimits::renderProblem(size, cropRect, backgroundStyle, converted);
            !problem.isEmpty() && DocumentLimits::imageSizeAllowed(size.width(), size.height()))
            throw ProjectFileError(problem.toStdString());
    ImageRef image = makeImage(ProjectFile::decodeImage(baseImageData));
    if (!image)
        return std::nullopt;
    EditorDocument d = EditorDocument::fresh(std::move(image));
    d.annotations = std::move(converted);
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
              {"backgroundStyle", json{{"isEnabled", backgroundStyle.isEnabled},
                                       {"padding", backgroundStyle.padding},
                                       {"color", encodeColor(backgroundStyle.color)},
                                       {"cornerRadius", backgroundStyle.cornerRadius},
                                       {"shadowOpacity", backgroundStyle.shadowOpacity},
                                       {"shadowBlur", backgroundStyle.shadowBlur},
                                       {"shadowOffsetY", backgroundStyle.shadowOffsetY}}},
              {"annotations", json::array()}};
    if (selectedAnnotationID)
        root["selectedAnnotationID"] = utf8(ProjectFile::uuidString(*selectedAnnotationID));
    if (cropRect)
        root["cropRect"] = encodeRect(*cropRect);
    for (const SavedAnnotation& a : annotations)
        root["annotations"].push_back(encodeAnnotation(a));
    const std::string text = root.dump(2, ' ', false, json::error_handler_t::replace);
    return QByteArray::fromStdString(text);
}

namespace {

json parseBounded(const QByteArray& bytes) {
    qint64 values = 0;
    const json::parser_callback_t count = [&values](int, json::parse_event_t event, json&) {
        if (event != json::parse_event_t::key && ++values > ProjectFile::maxJsonValues)
            throw ProjectFileError("プロジェクトファイルの項目が多すぎるため開けません（上限は " +
                                   std::to_string(ProjectFile::maxJsonValues) + " 個です）。");
        return true;
    };
    try {
        return json::parse(bytes.begin(), bytes.end(), count);
    } catch (const json::parse_error& e) {
        throw ProjectFileError("プロジェクトファイルの形式が正しくありません（JSON として読めません。" +
                               std::to_string(e.byte) + " バイト目）。");
    } catch (const json::exception&) {
        throw ProjectFileError("プロジェクトファイルの形式が正しくありません（JSON として読めません）。");
    }
}

} // namespace

SavedEditorProject SavedEditorProject::decode(const QByteArray& bytes) {
    const json root = parseBounded(bytes);
    const std::string path = "$";
    objectAt(root, path);
    SavedEditorProject p;
    const json& version = member(root, "version", path);
    if (!version.is_number_integer())
        fail(child(path, "version"), "整数ではありません");
    // The version is read, not checked: a file of another version opens when its fields
    // do; a kind this build does not know is refused (below), never dropped.
    const bool isUnsigned = version.is_number_unsigned();
    const std::int64_t v = isUnsigned ? std::int64_t(std::min<std::uint64_t>(version.get<std::uint64_t>(), INT32_MAX))
                                      : version.get<std::int64_t>();
    p.version = int(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
    p.createdAt = number(root, "createdAt", path);
    const QString data = string(root, "baseImageData", path);
    auto decoded = QByteArray::fromBase64Encoding(data.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fail(child(path, "baseImageData"), "Base64 として正しくありません");
    p.baseImageData = *decoded;
    const QString tool = string(root, "selectedTool", path);
    const auto t = annotationToolFromRaw(tool);
    if (!t)
        fail(child(path, "selectedTool"), "不明なツール \"" + utf8(tool) + "\" です");
    p.selectedTool = *t;
    if (optionalMember(root, "selectedAnnotationID"))
        p.selectedAnnotationID = uuid(root, "selectedAnnotationID", path);
    if (const json* crop = optionalMember(root, "cropRect"))
        p.cropRect = rectAt(*crop, child(path, "cropRect"));
    p.backgroundStyle = decodeBackground(member(root, "backgroundStyle", path), child(path, "backgroundStyle"));
    const json& list = member(root, "annotations", path);
    if (!list.is_array())
        fail(child(path, "annotations"), "配列ではありません");
    p.annotations.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i)
        p.annotations.push_back(decodeAnnotation(list[i], "$.annotations[" + std::to_string(i) + "]"));
    return p;
}

namespace ProjectFile {

SavedEditorProject readFile(const QString& path) {
    // File names are byte strings: opened by their exact bytes.
    const int fd = ::open(nativeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR)
            throw ProjectFileError("プロジェクトファイルが見つかりません。名前と場所を確かめてください。",
                                   ProjectFileError::Reason::unreadable);
        if (code == EACCES)
            throw ProjectFileError("プロジェクトファイルを読む権限がありません。",
                                   ProjectFileError::Reason::unreadable);
        throw ProjectFileError("プロジェクトファイルを開けませんでした: " + std::string(std::strerror(code)),
                               ProjectFileError::Reason::unreadable);
    }
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const std::string tooLarge =
        "プロジェクトファイルが大きすぎるため開けません（上限は " + std::to_string(maxFileSize >> 20) + " MB です）。";
    if (file.size() > maxFileSize)
        throw ProjectFileError(tooLarge);
    QByteArray bytes = file.read(maxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw ProjectFileError("プロジェクトファイルを読み込めませんでした: " + file.errorString().toStdString(),
                               ProjectFileError::Reason::unreadable);
    if (bytes.size() > maxFileSize)
        throw ProjectFileError(tooLarge);
    file.close();
    return SavedEditorProject::decode(bytes);
}

double secondsSinceReferenceDate() {
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
}

QString uuidString(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QSize imageSize(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).size();
}

QImage decodeImage(const QByteArray& data) {
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0)
        return {};
    if (!DocumentLimits::imageSizeAllowed(size.width(), size.height()))
        throw ProjectFileError(DocumentLimits::imageTooLargeMessage(size.width(), size.height()).toStdString());
    // Decoded at 4 bytes a pixel (Qt's default limit, 128 MiB, stops at 33.5 megapixels).
    if (!allowImageReadOf(qint64(size.width()) * size.height() * 4))
        throw ProjectFileError(QStringLiteral("画像を開くためのメモリが足りません（%1 × %2 ピクセル）。")
                                   .arg(size.width())
                                   .arg(size.height())
                                   .toStdString());
    QImage image;
    if (!reader.read(&image))
        return {};
    if (image.size() != size)
        return {};
    return image;
}

} // namespace ProjectFile
} // namespace lumivane
