// 'lumivane edit IMAGE' refuses bad input itself, with the reason, before reaching
// or starting the application.
#include "RunCli.h"
#include "cli/Cli.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

namespace {

using namespace lumivane;

// Standard error while f runs.
template <class F>
QString standardErrorOf(F f) {
    return QString::fromStdString(test::captured(STDERR_FILENO, f));
}

// Sets environment variables for the test and restores them after.
struct EnvironmentFor {
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved;
    void set(const char* name, std::optional<QByteArray> value) {
        saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~EnvironmentFor() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            it->second ? qputenv(it->first, *it->second) : qunsetenv(it->first);
    }
};

TEST(EditCommand, BadInputIsRefusedWithItsReasonAndNothingStarts) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("folder");
    {
        QFile text(dir.filePath("notes.png"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("plain text");
    }
    {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        QFile cut(dir.filePath("cut.png"));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(png.left(20)); // the signature and part of the header
    }
    // No instance and no display to start one on: a command that got past its own
    // checks would say so instead of naming the file's problem.
    EnvironmentFor env;
    env.set("DISPLAY", std::nullopt);
    env.set("WAYLAND_DISPLAY", std::nullopt);
    env.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(dir.filePath("no-bus")));
    env.set("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    struct Case {
        const char* what;
        QString path;
        const char* says;
    };
    const Case cases[] = {
        {"a missing file", dir.filePath("missing.png"), "見つかりません"},
        {"a folder", dir.filePath("folder"), "フォルダ"},
        {"a text file", dir.filePath("notes.png"), "画像として読めない"},
        {"a cut image", dir.filePath("cut.png"), "画像として読めない"},
    };
    for (const Case& c : cases) {
        int code = -1;
        const QString err = standardErrorOf([&] { code = cli::commandEdit({c.path}); });
        EXPECT_EQ(code, cli::exitFailure) << c.what;
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.says))) << c.what << ": " << err.toStdString();
        EXPECT_FALSE(err.contains("not running")) << c.what << ": " << err.toStdString();
        // The file handed over bare, as the launcher's "open with" does.
        code = -1;
        const QString bare = standardErrorOf([&] { code = test::runCli({QFile::encodeName(c.path).toStdString()}); });
        if (QString(c.what) != "a folder") { // a folder name without a dot is no file to open
            EXPECT_TRUE(bare.contains(QString::fromUtf8(c.says))) << c.what << ": " << bare.toStdString();
        }
    }
}

} // namespace
