// The real application as a user meets it, on a private 3840x2160 Xvfb showing a
// desktop with windows and a photo, with its own session bus, configuration and
// runtime folders:
//  - BM_KeyToPreview: from an XTest press of the full-screen hot key to the preview
//    window being mapped (and to its thumbnail showing the new picture), for the first
//    capture after start and for a capture after a long idle (30 s by default).
//  - BM_MemoryOverBurst: resident memory idle, at its peak over a burst of twenty
//    captures and 10 s after the last one; the time of the burst.
//  - BM_CliExport: wall time of `lumivane export` on a small PNG.
// The programs compared are named by LUMIVANE_BENCH_BINARIES ("label=path,label=path");
// by default the one built beside this benchmark. Use
// --benchmark_enable_random_interleaving=true to alternate them.
#include "settings/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include "XvfbServer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace lumivane;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

test::XvfbServer* server = nullptr;

// The desktop's own connection: key presses, the root's colour, map notifications.
class Desktop {
public:
    Desktop() {
        conn_ = xcb_connect(server->display().toLocal8Bit().constData(), nullptr);
        if (xcb_connection_has_error(conn_))
            return;
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
        root_ = screen->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &mask);
        showDesktop(screen);
    }

    // A desktop a user might capture: a wallpaper gradient, windows with lines of
    // "text", a photo in one of them.
    void showDesktop(xcb_screen_t* screen) {
        const int w = screen->width_in_pixels, h = screen->height_in_pixels;
        QImage desk(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(desk.scanLine(y));
            for (int x = 0; x < w; ++x)
                row[x] = qRgb(30 + 60 * y / h, 60 + 40 * x / w, 120 + 80 * y / h);
        }
        uint32_t seed = 12345;
        auto rnd = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
        const QRect windows[] = {{200, 150, 1700, 1100}, {1500, 700, 1900, 1200}, {300, 1350, 1000, 700}};
        for (const QRect& r : windows) {
            for (int y = r.top(); y <= r.bottom() && y < h; ++y)
                for (int x = r.left(); x <= r.right() && x < w; ++x)
                    desk.setPixel(x, y, y < r.top() + 40 ? qRgb(225, 225, 230) : qRgb(252, 252, 252));
            for (int line = r.top() + 70; line + 14 < r.bottom(); line += 28)
                for (int x = r.left() + 30; x < r.right() - 30 && x < w; x += 9 + int(rnd() % 7)) {
                    const int len = 3 + int(rnd() % 6);
                    for (int y = line; y < line + 14; ++y)
                        for (int k = 0; k < len && x + k < w; ++k)
                            if (rnd() % 3)
                                desk.setPixel(x + k, y, qRgb(40, 40, 48));
                }
        }
        for (int y = 800; y < 1800; ++y) // a photo: smooth shades with grain
            for (int x = 1700; x < 3300; ++x) {
                const int g = int(rnd() % 17) - 8;
                desk.setPixel(x, y,
                              qRgb(std::clamp(90 + (x - 1700) / 12 + g, 0, 255),
                                   std::clamp(140 + (y - 800) / 10 + g, 0, 255),
                                   std::clamp(60 + (x + y) % 97 + g, 0, 255)));
            }
        const xcb_pixmap_t pixmap = xcb_generate_id(conn_);
        xcb_create_pixmap(conn_, screen->root_depth, pixmap, root_, uint16_t(w), uint16_t(h));
        const xcb_gcontext_t gc = xcb_generate_id(conn_);
        xcb_create_gc(conn_, gc, pixmap, 0, nullptr);
        for (int y = 0; y < h; y += 32) {
            const int rows = std::min(32, h - y);
            xcb_put_image(conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(w), uint16_t(rows), 0, int16_t(y), 0,
                          screen->root_depth, uint32_t(rows * desk.bytesPerLine()), desk.constScanLine(y));
        }
        xcb_change_window_attributes(conn_, root_, XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_clear_area(conn_, 0, root_, 0, 0, 0, 0);
        xcb_free_gc(conn_, gc);
        xcb_free_pixmap(conn_, pixmap);
        centre_ = QRect(w / 2 - 240, h / 2 - 240, 480, 480);
        sync();
    }
    ~Desktop() { xcb_disconnect(conn_); }
    bool ok() const { return conn_ && !xcb_connection_has_error(conn_); }

    // Super+Shift+1 (evdev codes + 8): the default full-screen capture key.
    static constexpr xcb_keycode_t super = 133, shift = 50, one = 10;
    static constexpr uint16_t modifiers = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;

    // True once another client holds the hot key's grab.
    bool hotKeyGrabbed() {
        auto cookie = xcb_grab_key_checked(conn_, 1, root_, modifiers, one, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* e = xcb_request_check(conn_, cookie)) {
            free(e);
            return true;
        }
        xcb_ungrab_key(conn_, one, root_, modifiers);
        xcb_flush(conn_);
        return false;
    }

    // Marks the middle of the screen (where the preview's thumbnail has its centre).
    void fill(uint32_t rgb) {
        const xcb_gcontext_t gc = xcb_generate_id(conn_);
        xcb_create_gc(conn_, gc, root_, XCB_GC_FOREGROUND | XCB_GC_SUBWINDOW_MODE,
                      std::array<uint32_t, 2>{rgb, XCB_SUBWINDOW_MODE_CLIP_BY_CHILDREN}.data());
        const xcb_rectangle_t r{int16_t(centre_.x()), int16_t(centre_.y()), uint16_t(centre_.width()),
                                uint16_t(centre_.height())};
        xcb_poly_fill_rectangle(conn_, root_, gc, 1, &r);
        xcb_free_gc(conn_, gc);
        sync();
    }

    // Presses and releases the hot key; the time of the press.
    Clock::time_point pressHotKey() {
        drain();
        for (xcb_keycode_t k : {super, shift})
            xcb_test_fake_input(conn_, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        sync();
        const Clock::time_point t = Clock::now();
        xcb_test_fake_input(conn_, XCB_KEY_PRESS, one, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (xcb_keycode_t k : {one, shift, super})
            xcb_test_fake_input(conn_, XCB_KEY_RELEASE, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(conn_);
        return t;
    }

    // Waits for a top-level window to be mapped; its id, or nothing on time-out.
    std::optional<xcb_window_t> waitForMap(int timeoutMs) {
        const Clock::time_point start = Clock::now();
        while (msSince(start) < timeoutMs) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) {
                const bool map = (e->response_type & 0x7f) == XCB_MAP_NOTIFY;
                const xcb_window_t w = reinterpret_cast<xcb_map_notify_event_t*>(e)->window;
                free(e);
                if (map)
                    return w;
            }
            pollfd p{xcb_get_file_descriptor(conn_), POLLIN, 0};
            ::poll(&p, 1, 5);
        }
        return std::nullopt;
    }

    std::string name(xcb_window_t w) {
        auto* r = xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
        std::string s;
        if (r)
            s.assign(static_cast<const char*>(xcb_get_property_value(r)), size_t(xcb_get_property_value_length(r)));
        free(r);
        return s;
    }

    // The colour of the window's centre pixel as the screen shows it.
    std::optional<uint32_t> centre(xcb_window_t w) {
        auto* g = xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, w), nullptr);
        if (!g)
            return std::nullopt;
        const int x = g->x + g->width / 2, y = g->y + g->height / 2;
        free(g);
        auto* img = xcb_get_image_reply(
            conn_, xcb_get_image(conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, int16_t(x), int16_t(y), 1, 1, ~0u), nullptr);
        if (!img)
            return std::nullopt;
        uint32_t pixel = 0;
        memcpy(&pixel, xcb_get_image_data(img), 4);
        free(img);
        return pixel & 0xffffff;
    }

    // Waits until the window's centre shows `rgb`; false on time-out.
    bool waitForColour(xcb_window_t w, uint32_t rgb, int timeoutMs) {
        const Clock::time_point start = Clock::now();
        while (msSince(start) < timeoutMs) {
            if (const auto c = centre(w); c && near(*c, rgb))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    static bool near(uint32_t a, uint32_t b) {
        for (int shift : {0, 8, 16})
            if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > 2)
                return false;
        return true;
    }

    void drain() {
        while (xcb_generic_event_t* e = xcb_poll_for_event(conn_))
            free(e);
    }

private:
    void sync() { free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr)); }

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = 0;
    QRect centre_;
};

long statusKiB(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

// A private session: dbus-daemon, runtime and configuration folders, settings that
// skip the first-run guide and let the preview dismiss itself.
class Session {
public:
    Session() {
        QDir(dir_.path()).mkpath("run");
        QFile::setPermissions(dir_.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir(dir_.path()).mkpath("config/lumivane");
        QDir(dir_.path()).mkpath("tmp");
        AppSettingsValues values;
        values.hasSeenSetupGuide = true;
        values.hasSeenShortcutConflictNotice = true;
        values.autoDismissPreview = true;
        QFile settings(dir_.filePath("config/lumivane/lumivane.settings.json"));
        settings.open(QIODevice::WriteOnly);
        settings.write(AppSettingsPayload::encode(values));
        settings.close();
        bus_.setProgram("dbus-daemon");
        bus_.setArguments({"--session", "--nofork", "--nopidfile", "--print-address=1"});
        bus_.start();
        if (bus_.waitForReadyRead(10000))
            address_ = QString::fromUtf8(bus_.readLine()).trimmed().toStdString();
        env_ = {"DISPLAY=" + server->display().toStdString(),
                "XDG_RUNTIME_DIR=" + dir_.filePath("run").toStdString(),
                "XDG_CONFIG_HOME=" + dir_.filePath("config").toStdString(),
                "HOME=" + dir_.path().toStdString(),
                "TMPDIR=" + dir_.filePath("tmp").toStdString(),
                "DBUS_SESSION_BUS_ADDRESS=" + address_,
                "XDG_SESSION_TYPE=x11",
                "PATH=/usr/bin:/bin",
                "LANG=C.UTF-8"};
    }
    ~Session() {
        stop();
        bus_.terminate();
        bus_.waitForFinished(3000);
    }
    QString path(const QString& name) const { return dir_.filePath(name); }

    pid_t spawn(const std::string& program, std::vector<std::string> args, bool quiet = true) {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : env_)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (quiet) {
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        }
        pid_t pid = -1;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    // Starts the application and waits until it holds its hot keys.
    pid_t startApplication(const std::string& program, Desktop& desktop) {
        app_ = spawn(program, {});
        const Clock::time_point start = Clock::now();
        while (app_ > 0 && msSince(start) < 20000) {
            if (desktop.hotKeyGrabbed())
                return app_;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        stop();
        return -1;
    }

    void stop() {
        if (app_ <= 0)
            return;
        ::kill(app_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(app_, nullptr, WNOHANG) == app_) {
                app_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(app_, SIGKILL);
        waitpid(app_, nullptr, 0);
        app_ = -1;
    }

private:
    QTemporaryDir dir_;
    QProcess bus_;
    std::string address_;
    std::vector<std::string> env_;
    pid_t app_ = -1;
};

constexpr uint32_t colours[] = {0x2060c0, 0xc04020, 0x20a040, 0xa020a0, 0xe0c020, 0x208080, 0x804000, 0x406080};

int idleSeconds() {
    const QByteArray v = qgetenv("LUMIVANE_BENCH_IDLE_S");
    return v.isEmpty() ? 30 : v.toInt();
}

// One capture: the time to the preview being mapped (when it was not on screen) and
// to its thumbnail showing the new picture.
struct Shot {
    double mappedMs = -1, shownMs = -1;
    xcb_window_t window = 0;
};

std::optional<Shot> capture(Desktop& desktop, uint32_t colour, xcb_window_t known) {
    desktop.fill(colour);
    Shot shot;
    const Clock::time_point t = desktop.pressHotKey();
    shot.window = known;
    if (!known) {
        for (;;) {
            const auto w = desktop.waitForMap(10000);
            if (!w)
                return std::nullopt;
            shot.mappedMs = msSince(t);
            if (desktop.name(*w).find("Lumivane") != std::string::npos) {
                shot.window = *w;
                break;
            }
        }
    }
    if (!desktop.waitForColour(shot.window, colour, 10000))
        return std::nullopt;
    shot.shownMs = msSince(t);
    return shot;
}

void BM_KeyToPreview(benchmark::State& state, const std::string& program) {
    Desktop desktop;
    Session session;
    for (auto _ : state) {
        if (session.startApplication(program, desktop) < 0)
            return state.SkipWithError("the application did not start");
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const auto first = capture(desktop, colours[0], 0);
        if (!first)
            return state.SkipWithError("no preview");
        // The preview dismisses itself after a few seconds; then the desktop stays idle.
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds()));
        const auto later = capture(desktop, colours[1], 0);
        if (!later)
            return state.SkipWithError("no preview after idle");
        session.stop();
        state.SetIterationTime(first->mappedMs / 1000);
        state.counters["first_mapped_ms"] = first->mappedMs;
        state.counters["first_shown_ms"] = first->shownMs;
        state.counters["idle_mapped_ms"] = later->mappedMs;
        state.counters["idle_shown_ms"] = later->shownMs;
    }
}

void BM_MemoryOverBurst(benchmark::State& state, const std::string& program) {
    Desktop desktop;
    Session session;
    for (auto _ : state) {
        const pid_t pid = session.startApplication(program, desktop);
        if (pid < 0)
            return state.SkipWithError("the application did not start");
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double idle = statusKiB(pid, "VmRSS") / 1024.0;
        const Clock::time_point start = Clock::now();
        xcb_window_t window = 0;
        double slowest = 0;
        for (int i = 0; i < 20; ++i) {
            const auto shot = capture(desktop, colours[i % std::size(colours)] + uint32_t(i / 8), window);
            if (!shot)
                return state.SkipWithError("a capture of the burst did not show");
            window = shot->window;
            slowest = std::max(slowest, i == 0 ? 0.0 : shot->shownMs);
        }
        const double burst = msSince(start);
        const double peak = statusKiB(pid, "VmHWM") / 1024.0;
        for (int k = 0; k < 20; ++k) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            if (qEnvironmentVariableIsSet("LUMIVANE_BENCH_RSS_SERIES"))
                fprintf(stderr, "%d s: %.1f MB\n", k + 1, statusKiB(pid, "VmRSS") / 1024.0);
            if (k == 9 && !qEnvironmentVariableIsSet("LUMIVANE_BENCH_RSS_SERIES"))
                break;
        }
        const double after = statusKiB(pid, "VmRSS") / 1024.0;
        state.counters["after_anon_MB"] = statusKiB(pid, "RssAnon") / 1024.0;
        state.counters["after_shm_MB"] = statusKiB(pid, "RssShmem") / 1024.0;
        state.counters["after_file_MB"] = statusKiB(pid, "RssFile") / 1024.0;
        session.stop();
        state.SetIterationTime(burst / 1000);
        state.counters["idle_MB"] = idle;
        state.counters["peak_MB"] = peak;
        state.counters["after10s_MB"] = after;
        state.counters["burst_ms"] = burst;
        state.counters["slowest_ms"] = slowest;
    }
}

void BM_CliExport(benchmark::State& state, const std::string& program) {
    Session session;
    QImage small(320, 200, QImage::Format_RGB32);
    small.fill(qRgb(40, 90, 160));
    for (int y = 40; y < 120; ++y)
        for (int x = 30; x < 200; ++x)
            small.setPixel(x, y, qRgb(x, y, 200));
    const QString in = session.path("small.png"), out = session.path("out.png");
    small.save(in);
    for (auto _ : state) {
        const Clock::time_point t = Clock::now();
        const pid_t pid = session.spawn(program, {"export", in.toStdString(), "-o", out.toStdString()});
        int status = 0;
        waitpid(pid, &status, 0);
        state.SetIterationTime(msSince(t) / 1000);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return state.SkipWithError("export failed");
    }
}

} // namespace

int main(int argc, char** argv) {
    test::XvfbServer xvfb({"-screen", "0", "3840x2160x24"});
    if (!xvfb.isRunning())
        return 1;
    server = &xvfb;
    std::vector<std::pair<std::string, std::string>> programs;
    const QString list = qEnvironmentVariable("LUMIVANE_BENCH_BINARIES");
    for (const QString& entry : list.split(',', Qt::SkipEmptyParts)) {
        const int eq = entry.indexOf('=');
        if (eq > 0)
            programs.emplace_back(entry.left(eq).toStdString(), entry.mid(eq + 1).toStdString());
    }
    if (programs.empty())
        programs.emplace_back("built", LUMIVANE_EXECUTABLE);
    for (const auto& [label, path] : programs) {
        benchmark::RegisterBenchmark(("BM_KeyToPreview/" + label).c_str(), BM_KeyToPreview, path)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(3);
        benchmark::RegisterBenchmark(("BM_MemoryOverBurst/" + label).c_str(), BM_MemoryOverBurst, path)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(3);
        benchmark::RegisterBenchmark(("BM_CliExport/" + label).c_str(), BM_CliExport, path)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(15)
            ->Repetitions(3);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
