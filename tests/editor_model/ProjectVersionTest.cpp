// Project format versions: files with the first nine kinds stay version 1, byte for
// byte; pens, steps and text backgrounds make version 2; a file of another version
// opens when its fields match, and a kind this build does not know is refused whole.
#include "TestHelpers.h"
#include "editor_model/ProjectFile.h"
#include "editor_model/StepMarkers.h"

#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace lumivane;
using namespace lumivane::test;

namespace {

// A version 1 project with every one of the first nine kinds, as the editor wrote
// it before pens and steps existed (compacted: only its content is compared).
const char* const versionOneProject = R"LUMIVANE(
{"annotations":[
{"color":{"alpha":1,"blue":0.1,"green":0.2,"red":0.9},"effectIntensity":12,"fontSize":24,
 "id":"00000000-0000-4000-8000-000000000001","kind":"rectangle","lineWidth":4,"markerPoints":[],
 "rect":{"height":12,"width":20,"x":2,"y":3},"text":"Text"},
{"color":{"alpha":1,"blue":0.1,"green":0.2,"red":0.9},"effectIntensity":12,"fontSize":24,
 "id":"00000000-0000-4000-8000-000000000002","kind":"ellipse","lineWidth":4,"markerPoints":[],
 "rect":{"height":12,"width":20,"x":2,"y":3},"text":"Text"},
{"arrowEnd":{"x":25,"y":20},"arrowStart":{"x":1,"y":1},"color":{"alpha":1,"blue":0.1,"green":0.2,"red":0.9},
 "effectIntensity":12,"fontSize":24,"id":"00000000-0000-4000-8000-000000000003","kind":"arrow","lineWidth":4,
 "markerPoints":[],"rect":{"height":12,"width":20,"x":2,"y":3},"text":"Text"},
{"color":{"alpha":1,"blue":0.1,"green":0.2,"red":0.9},"effectIntensity":12,"fontSize":24,
 "id":"00000000-0000-4000-8000-000000000004","kind":"text","lineWidth":4,"markerPoints":[],
 "rect":{"height":12,"width":20,"x":2,"y":3},"text":"\u3042\u3044\u3046\nabc"},
{"color":{"alpha":1,"blue":0.1,"green":0.2,"red":0.9},"effectIntensity":12,"fontSize":24,
 "id":"00000000-0000-4000-8000-000000000005","kind":"marker","lineWidth":18,
 "markerPoints":[{"x":1,"y":2},{"x":10,"y":12},{"x":20,"y":4}],"rect":{"height":12,"width":20,"x":2,"y":3},
 "text":"Text"},
{"color":{"alpha":0.28,"blue":0,"green":0.9,"red":1},"effectIntensity":12,"fontSize":24,
 "id":"00000000-0000-4000-8000-000000000006","kind":"highlight","lineWidth":4,"markerPoints":[],
 "rect":{"height":12,"width":20,"x":2,"y":3},"text":"Text"},
{"color":{"alpha":1,"blue":0.1,"green":0.2,"red":0.9},"effectIntensity":12,"fontSize":24,
 "id":"00000000-0000-4000-8000-000000000007","kind":"blur","lineWidth":4,"markerPoints":[],
 "rect":{"height":12,"width":20,"x":2,"y":3},"text":"Text"},
{"color":{"alpha":1,"blue":0.1,"green":0.2,"red":0.9},"effectIntensity":12,"fontSize":24,
 "id":"00000000-0000-4000-8000-000000000008","kind":"pixelate","lineWidth":4,"markerPoints":[],
 "rect":{"height":12,"width":20,"x":2,"y":3},"text":"Text"},
{"color":{"alpha":1,"blue":0.1,"green":0.2,"red":0.9},"effectIntensity":0.5,"fontSize":24,
 "id":"00000000-0000-4000-8000-000000000009","kind":"spotlight","lineWidth":4,"markerPoints":[],
 "rect":{"height":12,"width":20,"x":2,"y":3},"text":"Text"}
],
"backgroundStyle":{"color":{"alpha":1,"blue":0.98,"green":0.96,"red":0.96},"cornerRadius":6,"isEnabled":false,
 "padding":8,"shadowBlur":6,"shadowOffsetY":3,"shadowOpacity":0.18},
"baseImageData":"iVBORw0KGgoAAAANSUhEUgAAACAAAAAYCAYAAACbU/80AAAAK0lEQVR4nO3OIQEAAAgDMOKQiXQ0hRg3E/Ornr2kEhAQEBAQEBAQEBBIBx7CvGNbVjWSMAAAAABJRU5ErkJggg==",
"createdAt":820000000.0,
"selectedTool":"select",
"version":1})LUMIVANE";

const char* const versionOneText = R"LUMIVANE({
  "annotations": [
    {
      "arrowEnd": {
        "x": 30.25,
        "y": 4.0
      },
      "arrowStart": {
        "x": 1.0,
        "y": 2.0
      },
      "color": {
        "alpha": 1.0,
        "blue": 1.0,
        "green": 0.25,
        "red": 0.5
      },
      "effectIntensity": 0.0,
      "fontSize": 24.0,
      "id": "00000000-0000-4000-8000-000000000001",
      "kind": "arrow",
      "lineWidth": 4.0,
      "markerPoints": [],
      "rect": {
        "height": 2.0,
        "width": 29.25,
        "x": 1.0,
        "y": 2.0
      },
      "text": "Text"
    },
    {
      "color": {
        "alpha": 0.34,
        "blue": 0.0,
        "green": 0.75,
        "red": 1.0
      },
      "effectIntensity": 0.0,
      "fontSize": 24.0,
      "id": "00000000-0000-4000-8000-000000000002",
      "kind": "marker",
      "lineWidth": 12.0,
      "markerPoints": [
        {
          "x": 3.0,
          "y": 4.0
        },
        {
          "x": 5.0,
          "y": 6.0
        }
      ],
      "rect": {
        "height": 23.168,
        "width": 23.168,
        "x": -7.584,
        "y": -6.584
      },
      "text": "Text"
    }
  ],
  "backgroundStyle": {
    "color": {
      "alpha": 1.0,
      "blue": 0.99,
      "green": 0.97,
      "red": 0.96
    },
    "cornerRadius": 24.0,
    "isEnabled": false,
    "padding": 36.0,
    "shadowBlur": 24.0,
    "shadowOffsetY": 10.0,
    "shadowOpacity": 0.18
  },
  "baseImageData": "UE5H",
  "createdAt": 820000000.5,
  "selectedTool": "arrow",
  "version": 1
})LUMIVANE";

QByteArray versionOneBytes() {
    return QByteArray(versionOneProject).mid(1); // after the literal's first line break
}

EditorDocument documentWithNewKinds() {
    EditorDocument d = EditorDocument::fresh(solidImage(40, 30, Qt::darkCyan));
    Annotation pen = makeAnnotation(AnnotationKind::pen, {});
    pen.markerPoints = {{1, 2}, {10.5, 4.25}, {20, 1.0 / 3}};
    pen.lineWidth = 3.5;
    pen.rebuildDerivedRect();
    Annotation step = makeAnnotation(AnnotationKind::step, StepMarker::circleRect({20, 15}, 12));
    step.arrowEnd = QPointF(35, 28);
    Annotation second = makeAnnotation(AnnotationKind::step, StepMarker::circleRect({5, 5}, 10));
    Annotation text = makeAnnotation(AnnotationKind::text, {2, 2, 30, 10});
    text.text = "背景付き";
    text.textBackground = TextBackground{{0.1, 0.2, 0.3, 0.8}, 7.5, 4};
    d.add(pen);
    d.add(step);
    d.add(text);
    d.add(second);
    return d;
}

TEST(ProjectVersions, AVersionOneFileComesBackAsVersionOneWithTheSameContent) {
    const SavedEditorProject read = SavedEditorProject::decode(versionOneBytes());
    EXPECT_EQ(read.version, 1);
    const auto document = read.makeDocument();
    ASSERT_TRUE(document);
    const SavedEditorProject again(*document);
    EXPECT_EQ(again.version, 1);
    const nlohmann::json written = nlohmann::json::parse(again.encode().toStdString());
    const nlohmann::json original = nlohmann::json::parse(versionOneBytes().toStdString());
    EXPECT_EQ(written["version"], 1);
    EXPECT_EQ(written["annotations"], original["annotations"]);
    EXPECT_EQ(written["backgroundStyle"], original["backgroundStyle"]);
}

// The text of a version 1 file, byte for byte as the format has always written it.
TEST(ProjectVersions, VersionOneTextIsUnchanged) {
    SavedEditorProject p;
    p.createdAt = 820000000.5;
    p.baseImageData = "PNG";
    p.selectedTool = AnnotationTool::arrow;
    Annotation arrow = makeArrow({1, 2}, {30.25, 4});
    arrow.id = QUuid::fromString(QStringLiteral("00000000-0000-4000-8000-000000000001"));
    arrow.color = {0.5, 0.25, 1, 1};
    Annotation marker = makeMarker({{3, 4}, {5, 6}}, 12);
    marker.id = QUuid::fromString(QStringLiteral("00000000-0000-4000-8000-000000000002"));
    marker.color = {1, 0.75, 0, 0.34};
    p.annotations = {SavedAnnotation(arrow), SavedAnnotation(marker)};
    p.version = SavedEditorProject::versionFor(p.annotations);
    EXPECT_EQ(p.encode().toStdString(), std::string(versionOneText));
}

TEST(ProjectVersions, NewKindsMakeVersionTwoAndComeBackWhole) {
    const EditorDocument d = documentWithNewKinds();
    const SavedEditorProject saved(d);
    EXPECT_EQ(saved.version, SavedEditorProject::currentVersion);
    const auto reopened = SavedEditorProject::decode(saved.encode()).makeDocument();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->annotations, d.annotations);
    EXPECT_EQ(reopened->annotations[1].text, "1");
    EXPECT_EQ(reopened->annotations[3].text, "2");

    // Each new thing alone is enough for version 2.
    for (size_t i = 0; i < 3; ++i) {
        EditorDocument one = EditorDocument::fresh(solidImage(4, 4));
        one.annotations = {d.annotations[i]};
        EXPECT_EQ(SavedEditorProject(one).version, 2) << rawValue(d.annotations[i].kind).toStdString();
    }
    // A text without a box stays version 1.
    EditorDocument plain = EditorDocument::fresh(solidImage(4, 4));
    Annotation text = d.annotations[2];
    text.textBackground.reset();
    plain.annotations = {text};
    EXPECT_EQ(SavedEditorProject(plain).version, 1);
}

TEST(ProjectVersions, NumbersAreTakenFromTheOrderNotTheFile) {
    nlohmann::json j = nlohmann::json::parse(SavedEditorProject(documentWithNewKinds()).encode().toStdString());
    j["annotations"][1]["text"] = "7";
    j["annotations"][3]["text"] = "x";
    const auto reopened = SavedEditorProject::decode(QByteArray::fromStdString(j.dump())).makeDocument();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->annotations[1].text, "1");
    EXPECT_EQ(reopened->annotations[3].text, "2");
}

// Any version opens when its fields match; keys this build does not know are ignored.
TEST(ProjectVersions, OtherVersionsOpenWhenTheirFieldsMatch) {
    const nlohmann::json good =
        nlohmann::json::parse(SavedEditorProject(documentWithNewKinds()).encode().toStdString());
    for (const std::int64_t version :
         {std::int64_t(2), std::int64_t(3), std::int64_t(1099511627776), std::int64_t(0), std::int64_t(-1)}) {
        nlohmann::json j = good;
        j["version"] = version;
        j["futureKey"] = {{"nested", true}};
        j["annotations"][0]["alsoNew"] = 3;
        const SavedEditorProject p = SavedEditorProject::decode(QByteArray::fromStdString(j.dump()));
        EXPECT_EQ(p.annotations.size(), good["annotations"].size()) << version;
        if (version == std::int64_t(int(version))) {
            EXPECT_EQ(p.version, version) << "the version is read as written";
        }
        // Saved again, the file takes the version its kinds need.
        const std::optional<EditorDocument> document = p.makeDocument();
        ASSERT_TRUE(document) << version;
        EXPECT_EQ(SavedEditorProject(*document).version, 2) << version;
    }
}

TEST(ProjectVersions, UnknownKindsAreRefusedWhole) {
    const nlohmann::json good =
        nlohmann::json::parse(SavedEditorProject(documentWithNewKinds()).encode().toStdString());
    struct Case {
        const char* what;
        std::function<void(nlohmann::json&)> change;
        const char* named; // the message names what is not known
    };
    const Case cases[] = {
        {"an unknown kind", [](nlohmann::json& j) { j["annotations"][2]["kind"] = "sticker"; }, "sticker"},
        {"an unknown kind in a newer file",
         [](nlohmann::json& j) {
             j["version"] = 3;
             j["annotations"][1]["kind"] = "sticker";
         },
         "sticker"},
        {"an unknown kind in a version 1 file",
         [](nlohmann::json& j) {
             j["version"] = 1;
             j["annotations"][0]["kind"] = "lasso";
         },
         "lasso"},
        {"a text box that is not an object", [](nlohmann::json& j) { j["annotations"][2]["textBackground"] = 3; },
         "textBackground"},
        {"a text box without padding",
         [](nlohmann::json& j) { j["annotations"][2]["textBackground"].erase("padding"); }, "padding"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        nlohmann::json j = good;
        c.change(j);
        expectProjectError([&] { SavedEditorProject::decode(QByteArray::fromStdString(j.dump())); }, c.named);
    }
}

} // namespace
