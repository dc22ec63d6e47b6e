#include "editor_model/ProjectFile.h"
#include "PngBytes.h"
#include "TestHelpers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace lumivane;
using namespace lumivane::test;
using nlohmann::json;

namespace {

EditorDocument richDocument() {
    QImage image(7, 5, QImage::Format_ARGB32);
    image.fill(qRgba(10, 20, 30, 255));
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));
    image.setPixel(6, 4, qRgba(250, 5, 9, 255));
    EditorDocument d = EditorDocument::fresh(makeImage(image));
    Annotation rect = makeAnnotation(AnnotationKind::rectangle, {0.1 + 0.2, -1e-7, 123456.789, 1.0 / 3});
    rect.color = {0.1, 1.0 / 7, 0.999999999999, 0.5};
    Annotation arrow = makeArrow({1.25, 2.5}, {-3.125, 1e6});
    arrow.lineWidth = 2.0 / 3;
    Annotation marker = makeMarker({{1, 2}, {3.3, 4.4}, {5.55, 6.66}});
    Annotation text = makeAnnotation(AnnotationKind::text, {5, 5, 0, 0});
    text.text = "日本語\n\"quoted\" \\ tab\t";
    text.fontSize = 17.5;
    Annotation spot = makeAnnotation(AnnotationKind::spotlight, {2, 2, 3, 3});
    spot.effectIntensity = 0.52;
    d.annotations = {rect, arrow, marker, text, spot};
    d.selectedTool = AnnotationTool::crop;
    d.selectedAnnotationID = arrow.id;
    d.cropRect = QRectF(3, 2, -2.5, 1.75); // stored as is, not normalised
    d.backgroundStyle = {true, 48.5, {0.2, 0.3, 0.4, 1}, 12.25, 0.3, 31, -4};
    return d;
}

// Top-level and nested keys in the order they appear in the text.
std::vector<std::string> keysInTextOrder(const std::string& text, const json& object) {
    std::vector<std::pair<size_t, std::string>> positions;
    for (auto it = object.begin(); it != object.end(); ++it)
        positions.emplace_back(text.find("\"" + it.key() + "\""), it.key());
    std::sort(positions.begin(), positions.end());
    std::vector<std::string> keys;
    for (auto& p : positions)
        keys.push_back(p.second);
    return keys;
}

json savedJson(const EditorDocument& d) {
    return json::parse(SavedEditorProject(d).encode().toStdString());
}

void expectRejected(const json& j, const char* fragment) {
    expectProjectError([&] { SavedEditorProject::decode(QByteArray::fromStdString(j.dump())); }, fragment);
}

} // namespace

TEST(ProjectFile, RoundTripKeepsEveryIdOrderAndNumber) {
    const EditorDocument original = richDocument();
    const SavedEditorProject saved(original);
    const SavedEditorProject loaded = SavedEditorProject::decode(saved.encode());
    EXPECT_EQ(loaded.annotations, saved.annotations);
    EXPECT_EQ(loaded.createdAt, saved.createdAt);

    const auto doc = loaded.makeDocument();
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->annotations, original.annotations);
    EXPECT_EQ(doc->selectedTool, AnnotationTool::crop);
    EXPECT_EQ(doc->selectedAnnotationID, original.selectedAnnotationID);
    EXPECT_EQ(doc->cropRect, original.cropRect);
    EXPECT_EQ(doc->backgroundStyle, original.backgroundStyle);
    EXPECT_EQ(doc->imageRevision, 0);
    EXPECT_EQ(doc->editorDisplayScale, 1.0);
    const QImage a = original.baseImage->convertToFormat(QImage::Format_ARGB32);
    const QImage b = doc->baseImage->convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(a, b);
    EXPECT_EQ(qAlpha(b.pixel(0, 0)), 0);
}

TEST(ProjectFile, TextHasSortedKeysUpperCaseIdsAndOnlyTheKeysThatApply) {
    const EditorDocument d = richDocument();
    const std::string text = SavedEditorProject(d).encode().toStdString();
    const json j = json::parse(text);
    EXPECT_NE(text.find("\n  \"annotations\""), std::string::npos) << "pretty printed with two spaces";
    EXPECT_EQ(keysInTextOrder(text, j),
              (std::vector<std::string>{"annotations", "backgroundStyle", "baseImageData", "createdAt", "cropRect",
                                        "selectedAnnotationID", "selectedTool", "version"}));
    const json& arrow = j["annotations"][1];
    const std::string arrowText = arrow.dump(2);
    EXPECT_EQ(keysInTextOrder(arrowText, arrow),
              (std::vector<std::string>{"arrowEnd", "arrowStart", "color", "effectIntensity", "fontSize", "id", "kind",
                                        "lineWidth", "markerPoints", "rect", "text"}));
    const std::string id = j["selectedAnnotationID"];
    EXPECT_EQ(QString::fromStdString(id), ProjectFile::uuidString(*d.selectedAnnotationID));
    EXPECT_EQ(QString::fromStdString(id), QString::fromStdString(id).toUpper());
    EXPECT_EQ(j["version"], 1);
    EXPECT_TRUE(j["version"].is_number_integer());
    // Seconds since 2001-01-01 UTC: about 25.9 years at the end of 2026.
    EXPECT_GT(j["createdAt"].get<double>(), 8.1e8);
    EXPECT_LT(j["createdAt"].get<double>(), 1.6e9);
    EXPECT_EQ(j["cropRect"]["width"].get<double>(), -2.5);

    const json& rect = j["annotations"][0];
    EXPECT_FALSE(rect.contains("arrowStart"));
    EXPECT_FALSE(rect.contains("arrowEnd"));
    EXPECT_TRUE(rect["markerPoints"].is_array() && rect["markerPoints"].empty());

    const json plain = savedJson(EditorDocument::fresh(solidImage(2, 2)));
    EXPECT_FALSE(plain.contains("selectedAnnotationID"));
    EXPECT_FALSE(plain.contains("cropRect"));
    EXPECT_EQ(plain["selectedTool"], "select");
    const QByteArray png = QByteArray::fromBase64(QByteArray::fromStdString(plain["baseImageData"]));
    EXPECT_TRUE(png.startsWith("\x89PNG"));
}

TEST(ProjectFile, MissingKeysWrongTypesAndBadValuesAreDecodingErrors) {
    const json good = savedJson(richDocument());
    json j = good;
    j["annotations"][2].erase("effectIntensity");
    expectRejected(j, "effectIntensity");
    for (const char* key :
         {"isEnabled", "padding", "color", "cornerRadius", "shadowOpacity", "shadowBlur", "shadowOffsetY"}) {
        j = good;
        j["backgroundStyle"].erase(key);
        expectRejected(j, key);
    }
    for (const char* key :
         {"version", "createdAt", "baseImageData", "selectedTool", "backgroundStyle", "annotations"}) {
        j = good;
        j.erase(key);
        expectRejected(j, key);
    }
    j = good;
    j["annotations"][0]["kind"] = "circle";
    expectRejected(j, "circle");
    j = good;
    j["selectedTool"] = "lasso";
    expectRejected(j, "selectedTool");
    j = good;
    j["annotations"][0]["rect"]["x"] = "12";
    expectRejected(j, "rect.x");
    j = good;
    j["annotations"] = json::object();
    expectRejected(j, "annotations");
    j = good;
    j["annotations"][0]["id"] = "not-a-uuid";
    expectRejected(j, "id");
    j = good;
    j["version"] = 1.5;
    expectRejected(j, "version");
    j = good;
    j["baseImageData"] = "***";
    expectRejected(j, "Base64");
    j = good;
    j["annotations"][0]["lineWidth"] = nullptr;
    expectRejected(j, "lineWidth");
    expectRejected(json::array(), "オブジェクトではありません");
}

TEST(ProjectFile, HostileTextNeverCrashesOrHangs) {
    const std::string text = SavedEditorProject(richDocument()).encode().toStdString();
    // Every truncation of a valid file is malformed JSON.
    for (size_t n = 0; n < text.size(); n += 97)
        EXPECT_THROW(SavedEditorProject::decode(QByteArray::fromStdString(text.substr(0, n))), ProjectFileError);
    EXPECT_THROW(SavedEditorProject::decode("{\"version\": 1e999999}"), ProjectFileError);
    EXPECT_THROW(SavedEditorProject::decode(QByteArray(1 << 20, '\0')), ProjectFileError);
    // Deep nesting must not exhaust the stack.
    const QByteArray deep = QByteArray(200000, '[') + QByteArray(200000, ']');
    EXPECT_THROW(SavedEditorProject::decode(deep), ProjectFileError);
    json j = json::parse(text);
    j["annotations"][0]["markerPoints"] = json::array();
    for (int i = 0; i < 1000; ++i)
        j["annotations"][0]["markerPoints"].push_back({{"x", i}, {"y", "bad"}});
    expectRejected(j, "markerPoints[0].y");
}

TEST(ProjectFile, ImagesThatDoNotDecodeOrAreAbsurdGiveNoDocument) {
    json j = savedJson(richDocument());
    auto withImage = [&](const QByteArray& bytes) {
        j["baseImageData"] = bytes.toBase64().toStdString();
        return SavedEditorProject::decode(QByteArray::fromStdString(j.dump())).makeDocument();
    };
    EXPECT_FALSE(withImage(QByteArray()));
    EXPECT_FALSE(withImage("plain text, not an image"));
    // Beyond the document limits: refused in words before allocating.
    expectProjectError([&] { withImage(pngClaiming(100000, 100000)); }, "大きすぎる");
    EXPECT_FALSE(withImage(pngClaiming(0, 10)));
    EXPECT_FALSE(withImage(pngClaiming(64, 64))); // header fine, pixel data broken
    const QByteArray real =
        QByteArray::fromBase64(QByteArray::fromStdString(savedJson(richDocument())["baseImageData"]));
    EXPECT_FALSE(withImage(real.left(real.size() / 2)));
    EXPECT_TRUE(withImage(real));
}

TEST(ProjectFile, ReadFileReportsMissingAndOversizedFiles) {
    QTemporaryDir dir;
    expectProjectError([&] { ProjectFile::readFile(dir.filePath("missing.lumivane")); }, "見つかりません");
    QFile f(dir.filePath("ok.lumivane"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(SavedEditorProject(richDocument()).encode());
    f.close();
    EXPECT_EQ(ProjectFile::readFile(f.fileName()).annotations.size(), 5u);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.resize(ProjectFile::maxFileSize + 1)); // sparse
    f.close();
    expectProjectError([&] { ProjectFile::readFile(f.fileName()); }, "大きすぎる");
}

TEST(ProjectFile, OptionalKeysPresentAsNullAndAnyFiniteNumberAreRead) {
    json j = savedJson(richDocument());
    j["selectedAnnotationID"] = nullptr;
    j["cropRect"] = nullptr;
    j["annotations"][1]["arrowStart"] = nullptr;
    j["annotations"][1]["arrowEnd"] = nullptr;
    j["annotations"][0]["lineWidth"] = 1e300;
    j["annotations"][0]["rect"]["x"] = -3.5e12;
    j["createdAt"] = 1e200;
    const SavedEditorProject p = SavedEditorProject::decode(QByteArray::fromStdString(j.dump()));
    EXPECT_FALSE(p.selectedAnnotationID);
    EXPECT_FALSE(p.cropRect);
    EXPECT_FALSE(p.annotations[1].arrowStart || p.annotations[1].arrowEnd);
    EXPECT_EQ(p.annotations[0].lineWidth, 1e300);
    EXPECT_EQ(p.annotations[0].rect.x(), -3.5e12);
    // A present optional key of the wrong type is still an error.
    j["cropRect"] = "wide";
    expectRejected(j, "cropRect");
}

TEST(ProjectFile, LargeImagesThatTheEditorCanHoldOpenAgain) {
    // 5800 × 5800 is 33.6 megapixels: beyond Qt's default decode limit of 128 MiB.
    QImage big(5800, 5800, QImage::Format_RGB32);
    big.fill(qRgb(10, 20, 30));
    big.setPixel(5799, 5799, qRgb(250, 0, 0));
    EditorDocument d = EditorDocument::fresh(makeImage(std::move(big)));
    const SavedEditorProject saved(d);
    ASSERT_FALSE(saved.baseImageData.isEmpty());
    d.baseImage.reset();
    const auto reopened = SavedEditorProject::decode(saved.encode()).makeDocument();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->baseImage->size(), QSize(5800, 5800));
    EXPECT_EQ(reopened->baseImage->pixel(5799, 5799), qRgb(250, 0, 0));
    // Wider than the old 30 000-pixel bound but within the pixel limit.
    json j = savedJson(richDocument());
    QImage wide(32000, 4, QImage::Format_RGB32);
    wide.fill(Qt::white);
    j["baseImageData"] =
        SavedEditorProject(EditorDocument::fresh(makeImage(std::move(wide)))).baseImageData.toBase64().toStdString();
    j.erase("cropRect");
    const auto wideDocument = SavedEditorProject::decode(QByteArray::fromStdString(j.dump())).makeDocument();
    ASSERT_TRUE(wideDocument);
    EXPECT_EQ(wideDocument->baseImage->width(), 32000);
}

TEST(ProjectFile, HostileDocumentsAreRefusedBeforeAnythingLargeIsAllocated) {
    const json good = savedJson(EditorDocument::fresh(solidImage(8, 8)));
    auto refusedWith = [](const json& j, const char* fragment) {
        expectProjectError([&] { SavedEditorProject::decode(QByteArray::fromStdString(j.dump())).makeDocument(); },
                           fragment);
    };
    json j = good;
    j["cropRect"] = {{"x", 0}, {"y", 0}, {"width", 32000}, {"height", 32000}};
    refusedWith(j, "キャンバスが大きすぎます");
    j = good;
    j["backgroundStyle"]["isEnabled"] = true;
    j["backgroundStyle"]["padding"] = 16000;
    refusedWith(j, "キャンバスが大きすぎます");
    j = good;
    j["backgroundStyle"]["isEnabled"] = true;
    j["backgroundStyle"]["shadowBlur"] = 1e7;
    refusedWith(j, "影の範囲");
    j = good;
    j["backgroundStyle"]["isEnabled"] = true;
    j["backgroundStyle"]["padding"] = 1e300;
    refusedWith(j, "描画できない値");
    // Many spotlights over a large canvas: too much painting.
    j = good;
    j["cropRect"] = {{"x", 0}, {"y", 0}, {"width", 8000}, {"height", 8000}};
    json spot = savedJson(richDocument())["annotations"][0];
    spot["kind"] = "spotlight";
    for (int i = 0; i < 20; ++i)
        j["annotations"].push_back(spot);
    refusedWith(j, "描画面積");
    // A flood of values is stopped while parsing.
    const QByteArray flood = "{\"annotations\": [" + QByteArray("0,").repeated(int(ProjectFile::maxJsonValues)) + "0]}";
    expectProjectError([&] { SavedEditorProject::decode(flood); }, "多すぎる");
}
