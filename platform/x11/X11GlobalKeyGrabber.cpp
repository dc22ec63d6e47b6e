#include "platform/GlobalKeyGrabber.h"
#include "platform/x11/X11Connection.h"

#include <QSocketNotifier>
#include <QTimer>
#include <xcb/xcb.h>
// xkb.h names a field "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <map>
#include <vector>

namespace lumivane {

namespace {

constexpr quint16 kLockMask = XCB_MOD_MASK_LOCK;
constexpr quint16 kNumLockMask = XCB_MOD_MASK_2;
constexpr quint16 kLockVariants[] = {0, kLockMask, kNumLockMask, kLockMask | kNumLockMask};
// A held key repeats every few tens of milliseconds; a press that long after the
// key's last event is a new press even if its release never arrived.
constexpr quint32 kRepeatGapMs = 1000;

// Asks the server to report a held key as repeated presses without the releases in
// between (XKB detectable auto-repeat). False when the server cannot.
bool enableDetectableAutoRepeat(xcb_connection_t* conn) {
    auto* ext = xcb_get_extension_data(conn, &xcb_xkb_id);
    if (!ext || !ext->present)
        return false;
    auto* use = xcb_xkb_use_extension_reply(conn, xcb_xkb_use_extension(conn, 1, 0), nullptr);
    const bool supported = use && use->supported;
    free(use);
    if (!supported)
        return false;
    auto* flags = xcb_xkb_per_client_flags_reply(
        conn,
        xcb_xkb_per_client_flags(conn, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                 XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
        nullptr);
    const bool on = flags && (flags->value & XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT);
    free(flags);
    return on;
}

class X11GlobalKeyGrabber final : public GlobalKeyGrabber {
public:
    ~X11GlobalKeyGrabber() override { uninstall(); }

    qint32 install() override {
        if (conn_)
            return statusOk;
        xcb_screen_t* screen = nullptr;
        xcb_connection_t* c = connectX11(&screen);
        if (!c)
            return statusNoDisplay;
        conn_ = c;
        root_ = screen->root;
        enableDetectableAutoRepeat(conn_);
        notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(conn_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drainEvents(true); });
        return statusOk;
    }

    void uninstall() override {
        if (!conn_)
            return;
        ungrabAll();
        notifier_.reset();
        xcb_disconnect(conn_);
        conn_ = nullptr;
    }

    bool isInstalled() const override { return conn_ != nullptr; }

    qint32 grab(quint32 evdevCode, quint16 x11Modifiers, int id) override {
        if (!conn_)
            return statusNoDisplay;
        // X11 keycodes are evdev codes plus 8.
        const xcb_setup_t* setup = xcb_get_setup(conn_);
        if (evdevCode + 8 < setup->min_keycode || evdevCode + 8 > setup->max_keycode)
            return statusKeyNotOnKeyboard;
        const xcb_keycode_t keycodes[] = {xcb_keycode_t(evdevCode + 8)};

        std::vector<Grab> made;
        qint32 status = statusOk;
        for (xcb_keycode_t keycode : keycodes) {
            for (quint16 lock : kLockVariants) {
                const quint16 mods = x11Modifiers | lock;
                xcb_void_cookie_t cookie =
                    xcb_grab_key_checked(conn_, 1, root_, mods, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                if (xcb_generic_error_t* error = xcb_request_check(conn_, cookie)) {
                    status = error->error_code;
                    free(error);
                    break;
                }
                made.push_back({keycode, mods, id});
            }
            if (status != statusOk)
                break;
        }
        if (status != statusOk) {
            for (const Grab& g : made)
                xcb_ungrab_key(conn_, g.keycode, root_, g.modifiers);
            xcb_flush(conn_);
        } else {
            grabs_.insert(grabs_.end(), made.begin(), made.end());
        }
        // Replies read above may have queued events; deliver them from the event loop.
        QTimer::singleShot(0, notifier_.get(), [this] { drainEvents(false); });
        return status;
    }

    void ungrabAll() override {
        if (!conn_)
            return;
        for (const Grab& g : grabs_)
            xcb_ungrab_key(conn_, g.keycode, root_, g.modifiers);
        grabs_.clear();
        held_.clear();
        xcb_flush(conn_);
    }

private:
    struct Grab {
        xcb_keycode_t keycode;
        quint16 modifiers;
        int id;
    };

    void drainEvents(bool readSocket) {
        if (!conn_)
            return;
        for (;;) {
            xcb_generic_event_t* event = readSocket ? xcb_poll_for_event(conn_) : xcb_poll_for_queued_event(conn_);
            if (!event)
                break;
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_KEY_PRESS) {
                auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
                // Holding a key delivers repeated presses (with detectable auto-repeat) or
                // release-press pairs of one time stamp (without it): one press fires once.
                if (isRepeat(press->detail, press->time)) {
                    held_[press->detail] = {press->time, true};
                } else {
                    held_[press->detail] = {press->time, true};
                    const quint16 state = press->state & 0xff;
                    for (const Grab& g : grabs_) {
                        if (g.keycode == press->detail && g.modifiers == state) {
                            if (onPressed)
                                onPressed(g.id);
                            break;
                        }
                    }
                }
            } else if (type == XCB_KEY_RELEASE) {
                auto* release = reinterpret_cast<xcb_key_release_event_t*>(event);
                held_[release->detail] = {release->time, false};
            }
            free(event);
            if (!conn_)
                break;
        }
    }

    bool isRepeat(xcb_keycode_t key, xcb_timestamp_t time) const {
        auto it = held_.find(key);
        if (it == held_.end())
            return false;
        const KeyState& last = it->second;
        if (!last.down)
            return last.time == time; // a release with this very time stamp
        return time - last.time < kRepeatGapMs;
    }

    struct KeyState {
        xcb_timestamp_t time = 0; // of the key's last press or release
        bool down = false;
    };

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = 0;
    std::map<xcb_keycode_t, KeyState> held_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<Grab> grabs_;
};

} // namespace

std::unique_ptr<GlobalKeyGrabber> makeX11GlobalKeyGrabber() {
    return std::make_unique<X11GlobalKeyGrabber>();
}

} // namespace lumivane
