// Direct capture on the two-output sway desktop (HEADLESS-1 1920x1080 at scale 1,
// HEADLESS-2 1280x720 logical at scale 2), both outputs showing a photo-like
// background, no screenshot portal on the bus:
//  - BM_HandOverToPreview: `lumivane capture full` handed to the running application
//    (what a key bound in sway's config runs) until sway maps the preview window,
//    i.e. its first frame is painted. The preview is closed between iterations, and
//    the previous capture's background work has ended before the next starts.
//  - BM_CaptureOutput/<tool>/<format>: one output to a file as the command line does
//    it, `lumivane capture full -o FILE --preset high` (the main output at full size)
//    beside `grim -o HEADLESS-1` in the same run: JPEG against grim's raw PPM, PNG
//    against grim's own PNG.
// Medians come from --benchmark_repetitions (5 by default here).
#include "WaylandSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

using namespace lumivane;

namespace {

std::unique_ptr<test::WaylandSession> g_session;
QString g_folder; // readable by the compositor's user: the backgrounds

const char* previewTitle = "Lumivane プレビュー";

// Photo-like: smooth light and colour with fine grain, so neither JPEG nor PNG finds it easy.
QImage photoLike(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    uint32_t seed = 2024;
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int((seed >> 24) % 17) - 8;
            const double u = double(x) / size.width(), v = double(y) / size.height();
            const int r = int(90 + 120 * u * (1 - v) + 40 * std::sin(9 * u + 3 * v)) + grain;
            const int g = int(110 + 80 * v + 50 * std::sin(7 * v - 4 * u)) + grain;
            const int b = int(60 + 150 * (1 - u) * v) + grain;
            row[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

bool showPhotos() {
    for (const auto& [output, size] : {std::pair{QStringLiteral("HEADLESS-1"), QSize(1920, 1080)},
                                       std::pair{QStringLiteral("HEADLESS-2"), QSize(2560, 1440)}}) {
        const QString file = g_folder + "/" + output + ".png";
        if (!photoLike(size).save(file))
            return false;
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        if (!g_session->swaymsg({"output", output, "bg", file, "fill"}).ok())
            return false;
    }
    QThread::msleep(1500); // swaybg has drawn them
    return true;
}

QProcessEnvironment appEnvironment() {
    QProcessEnvironment env = g_session->processEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.insert("HOME", g_folder + "/home");
    env.insert("XDG_CONFIG_HOME", g_folder + "/home/.config");
    env.insert("XDG_DATA_HOME", g_folder + "/home/.local/share");
    env.insert("XDG_CACHE_HOME", g_folder + "/home/.cache");
    return env;
}

double runMs(const QString& program, const QStringList& args, const QProcessEnvironment& env, bool* ok) {
    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    const bool done = p.waitForFinished(60000);
    const double ms = t.nsecsElapsed() / 1e6;
    *ok = done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return ms;
}

// sway's window events, as `swaymsg -m -t subscribe` prints them.
class WindowEvents {
public:
    WindowEvents() {
        process_.setProcessEnvironment(g_session->processEnvironment());
        process_.start("swaymsg", {"-m", "-r", "-t", "subscribe", "[\"window\"]"});
        process_.waitForStarted(5000);
        QThread::msleep(200);
    }
    ~WindowEvents() {
        process_.kill();
        process_.waitForFinished(2000);
    }
    // Waits for a window event of this change for the preview window. sway names a
    // new window in the "title" event that follows its "new" one.
    bool waitFor(const QString& change, int timeoutMs) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            while (process_.canReadLine()) {
                const QJsonObject e = QJsonDocument::fromJson(process_.readLine()).object();
                const QString seen = e.value("change").toString();
                if ((seen == change || (change == "new" && seen == "title")) &&
                    e.value("container").toObject().value("name").toString() == QString::fromUtf8(previewTitle))
                    return true;
            }
            process_.waitForReadyRead(20);
        }
        return false;
    }

private:
    QProcess process_;
};

void BM_HandOverToPreview(benchmark::State& state) {
    if (!g_session || !g_session->isRunning()) {
        state.SkipWithError("no headless Wayland desktop here");
        return;
    }
    const QString binary = QStringLiteral(LUMIVANE_EXECUTABLE);
    const QProcessEnvironment env = appEnvironment();
    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(binary, {});
    if (!app.waitForStarted(5000)) {
        state.SkipWithError("the application did not start");
        return;
    }
    WindowEvents events;
    bool ok = false;
    // The first hand-over waits for the application to answer; not timed.
    runMs(binary, {"capture", "full"}, env, &ok);
    if (!ok || !events.waitFor("new", 20000)) {
        state.SkipWithError("no preview after the first capture");
    } else {
        for (auto _ : state) {
            state.PauseTiming();
            g_session->swaymsg({QStringLiteral("[title=\"%1\"]").arg(QString::fromUtf8(previewTitle)), "kill"});
            events.waitFor("close", 5000);
            // The previous capture's background work (clipboard data, history entry)
            // has ended, as between two presses of a key.
            QThread::msleep(2000);
            state.ResumeTiming();
            const auto start = std::chrono::steady_clock::now();
            QProcess command;
            command.setProcessEnvironment(env);
            command.start(binary, {"capture", "full"});
            if (!events.waitFor("new", 10000)) {
                state.SkipWithError("the preview did not appear");
                break;
            }
            state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            command.waitForFinished(10000);
        }
    }
    app.terminate();
    if (!app.waitForFinished(5000))
        app.kill();
    state.SetLabel("two-output sway, main output 1920x1080");
}
BENCHMARK(BM_HandOverToPreview)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

enum Tool { lumivane = 0, grim = 1 };
enum Format { jpeg = 0, png = 1, ppm = 2 };

void BM_CaptureOutput(benchmark::State& state) {
    if (!g_session || !g_session->isRunning()) {
        state.SkipWithError("no headless Wayland desktop here");
        return;
    }
    const Tool tool = Tool(state.range(0));
    const Format format = Format(state.range(1));
    const QString out = g_folder + (format == jpeg ? "/out.jpg" : format == png ? "/out.png" : "/out.ppm");
    const QProcessEnvironment env = appEnvironment();
    for (auto _ : state) {
        QFile::remove(out);
        bool ok = false;
        const double ms = tool == lumivane
                              ? runMs(QStringLiteral(LUMIVANE_EXECUTABLE),
                                      {"capture", "full", "-o", out, "--preset", "high"}, env, &ok)
                              : runMs("grim", {"-o", "HEADLESS-1", "-t", format == png ? "png" : "ppm", out}, env, &ok);
        if (!ok || !QFile::exists(out)) {
            state.SkipWithError("the capture failed");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
    }
    state.SetLabel(
        QStringLiteral("%1 → %2, output 1920x1080")
            .arg(tool == lumivane ? "lumivane capture full -o" : "grim -o HEADLESS-1", format == jpeg  ? "JPEG"
                                                                                       : format == png ? "PNG"
                                                                                                       : "PPM")
            .toStdString());
}
BENCHMARK(BM_CaptureOutput)
    ->Args({lumivane, jpeg})
    ->Args({grim, ppm})
    ->Args({lumivane, png})
    ->Args({grim, png})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder(QDir::tempPath() + "/lumivane-bench-direct-XXXXXX");
    g_folder = folder.path();
    QFile::setPermissions(g_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QDir().mkpath(g_folder + "/home/.config");
    g_session = std::make_unique<test::WaylandSession>(false);
    if (g_session->isRunning() && !showPhotos())
        std::fprintf(stderr, "could not show the backgrounds\n");
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {repetitions.data(), aggregates.data()});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    g_session.reset();
    return 0;
}
