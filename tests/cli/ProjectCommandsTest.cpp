#include "cli/Cli.h"
#include "editor_model/ProjectFile.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using namespace lumivane;
using lumivane::cli::commandProject;
using lumivane::cli::commandRender;
using lumivane::cli::exitFailure;
using lumivane::cli::exitOk;

class ProjectCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QImage img(120, 80, QImage::Format_RGB32);
        img.fill(qRgb(200, 200, 200));
        image = path("shot.png");
        ASSERT_TRUE(img.save(image));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray read(const QString& file) const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& file, const QByteArray& bytes) const {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    QString image;
};

TEST_F(ProjectCommands, NewProjectThenRenderWithAnAddedAnnotationAndFrame) {
    const QString project = path("p.lumivane");
    ASSERT_EQ(commandProject({"new", image, "-o", project}), exitOk);
    nlohmann::json j = nlohmann::json::parse(read(project).toStdString());
    EXPECT_EQ(j["annotations"].size(), 0u);
    EXPECT_EQ(j["selectedTool"], "select");

    // Edit the project as a later version of the editor would have saved it.
    j["annotations"].push_back({{"id", "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
                                {"kind", "highlight"},
                                {"rect", {{"x", 10}, {"y", 10}, {"width", 20}, {"height", 20}}},
                                {"color", {{"red", 0}, {"green", 0}, {"blue", 1}, {"alpha", 1}}},
                                {"lineWidth", 4},
                                {"fontSize", 24},
                                {"text", "Text"},
                                {"markerPoints", nlohmann::json::array()},
                                {"effectIntensity", 0}});
    j["backgroundStyle"]["isEnabled"] = true;
    write(project, QByteArray::fromStdString(j.dump()));

    ASSERT_EQ(commandRender({project, "-o", path("out.png")}), exitOk);
    QImageReader reader(path("out.png"));
    EXPECT_EQ(reader.format(), "png");
    const QImage out = reader.read().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(out.size(), QSize(120 + 72, 80 + 72));
    EXPECT_EQ(out.pixel(36 + 20, 36 + 20), qRgb(0, 0, 255));
    EXPECT_EQ(out.pixel(36 + 60, 36 + 40), qRgb(200, 200, 200));

    ASSERT_EQ(commandRender({project, "-o", path("out.jpg"), "--preset", "low"}), exitOk);
    EXPECT_EQ(QImageReader(path("out.jpg")).format(), "jpeg");
}

TEST_F(ProjectCommands, FailuresAreClearAndLeaveNoOutput) {
    EXPECT_EQ(commandRender({path("missing.lumivane"), "-o", path("a.png")}), exitFailure);
    write(path("broken.lumivane"), "{\"version\": 1, \"annotations\": [");
    EXPECT_EQ(commandRender({path("broken.lumivane"), "-o", path("a.png")}), exitFailure);

    ASSERT_EQ(commandProject({"new", image, "-o", path("p.lumivane")}), exitOk);
    nlohmann::json j = nlohmann::json::parse(read(path("p.lumivane")).toStdString());
    j["baseImageData"] = QByteArray("not an image").toBase64().toStdString();
    write(path("noimage.lumivane"), QByteArray::fromStdString(j.dump()));
    EXPECT_EQ(commandRender({path("noimage.lumivane"), "-o", path("a.png")}), exitFailure);
    EXPECT_FALSE(QFile::exists(path("a.png")));

    // A canvas beyond the renderer's limit fails rather than allocating.
    j = nlohmann::json::parse(read(path("p.lumivane")).toStdString());
    j["cropRect"] = {{"x", 0}, {"y", 0}, {"width", 9e6}, {"height", 10}};
    write(path("huge.lumivane"), QByteArray::fromStdString(j.dump()));
    EXPECT_EQ(commandRender({path("huge.lumivane"), "-o", path("a.png")}), exitFailure);
    EXPECT_FALSE(QFile::exists(path("a.png")));

    // An existing output stays intact when the render fails.
    write(path("keep.png"), "previous");
    EXPECT_EQ(commandRender({path("noimage.lumivane"), "-o", path("keep.png")}), exitFailure);
    EXPECT_EQ(read(path("keep.png")), "previous");

    write(path("text.png"), "not really a png");
    EXPECT_EQ(commandProject({"new", path("text.png"), "-o", path("q.lumivane")}), exitFailure);
    EXPECT_EQ(commandProject({"new", path("none.png"), "-o", path("q.lumivane")}), exitFailure);
    EXPECT_FALSE(QFile::exists(path("q.lumivane")));
    EXPECT_EQ(commandProject({"new", image, "-o", path("nodir/q.lumivane")}), exitFailure);
}

} // namespace
