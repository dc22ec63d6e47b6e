#include "platform/wayland/wlroots/SwayWindows.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace lumivane {

namespace sway_windows {

namespace {

constexpr char magic[] = "i3-ipc";
constexpr int magicSize = 6;
constexpr quint32 runCommandType = 0;
constexpr quint32 getTree = 4;
// A tree larger than this is no answer we can use.
constexpr quint32 largestReply = 64u << 20;

QRect rectOf(const QJsonValue& v) {
    const QJsonObject o = v.toObject();
    return QRect(o.value("x").toInt(), o.value("y").toInt(), o.value("width").toInt(), o.value("height").toInt());
}

bool isWindow(const QJsonObject& node) {
    // Leaf containers that hold a client (Wayland: app_id, Xwayland: window id).
    return (node.value("type").toString() == QLatin1String("con") ||
            node.value("type").toString() == QLatin1String("floating_con")) &&
           node.value("nodes").toArray().isEmpty() && node.value("floating_nodes").toArray().isEmpty() &&
           (node.contains("app_id") || node.contains("window"));
}

QRect framed(const QJsonObject& node) {
    const QRect rect = rectOf(node.value("rect"));
    const QRect deco = rectOf(node.value("deco_rect"));
    // The title bar sits right above `rect`, as high as deco_rect.
    return rect.adjusted(0, -deco.height(), 0, 0);
}

QRect content(const QJsonObject& node) {
    const QRect rect = rectOf(node.value("rect"));
    const QRect window = rectOf(node.value("window_rect"));
    return window.isEmpty() ? rect : window.translated(rect.topLeft());
}

std::optional<QJsonObject> focused(const QJsonObject& node) {
    if (node.value("focused").toBool() && isWindow(node))
        return node;
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(key).toArray())
            if (auto f = focused(child.toObject()))
                return f;
    return std::nullopt;
}

// Bottom to top: tiled windows, then floating ones in their order.
void collect(const QJsonObject& node, std::vector<QRect>& out) {
    if (isWindow(node) && node.value("visible").toBool(true)) {
        out.push_back(framed(node));
        return;
    }
    const QString type = node.value("type").toString();
    // Hidden workspaces hold windows that are not on the screen.
    if (type == QLatin1String("workspace") && !node.value("visible").toBool(true))
        return;
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(key).toArray())
            collect(child.toObject(), out);
}

} // namespace

QString socketPath() {
    return qEnvironmentVariable("SWAYSOCK");
}

namespace {

// One i3-ipc request and its JSON reply; none when the socket does not answer.
std::optional<QJsonDocument> request(const QString& path, quint32 type, const QByteArray& payload, int timeoutMs) {
    const QByteArray native = path.toLocal8Bit();
    sockaddr_un address{};
    if (native.isEmpty() || size_t(native.size()) >= sizeof address.sun_path)
        return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return std::nullopt;
    QByteArray message(magic, magicSize);
    const quint32 header[2] = {quint32(payload.size()), type}; // native byte order
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    message.append(payload);
    if (::send(fd, message.constData(), size_t(message.size()), MSG_NOSIGNAL) != message.size())
        return std::nullopt;

    const QDeadlineTimer deadline(timeoutMs);
    QByteArray reply;
    constexpr int headerSize = magicSize + 8;
    quint32 length = 0;
    char buffer[65536];
    while (reply.size() < headerSize || reply.size() < headerSize + qsizetype(length)) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        reply.append(buffer, n);
        if (reply.size() >= headerSize) {
            if (std::memcmp(reply.constData(), magic, magicSize) != 0)
                return std::nullopt;
            std::memcpy(&length, reply.constData() + magicSize, 4);
            if (length > largestReply)
                return std::nullopt;
        }
    }
    return QJsonDocument::fromJson(reply.mid(headerSize, length));
}

} // namespace

std::optional<QJsonObject> tree(const QString& path, int timeoutMs) {
    const auto doc = request(path, getTree, {}, timeoutMs);
    if (!doc || !doc->isObject())
        return std::nullopt;
    return doc->object();
}

bool runCommand(const QString& path, const QString& command, int timeoutMs) {
    const auto doc = request(path, runCommandType, command.toUtf8(), timeoutMs);
    if (!doc || !doc->isArray() || doc->array().isEmpty())
        return false;
    const QJsonArray results = doc->array();
    return std::all_of(results.begin(), results.end(),
                       [](const QJsonValue& r) { return r.toObject().value("success").toBool(); });
}

QString literalPattern(const QString& text) {
    QString out = QStringLiteral("^");
    for (const QChar c : text) {
        // Kept out: what needs a backslash, or closes sway's quotes.
        if (QStringView(u"\\\"^]").contains(c))
            return {};
        if (QStringView(u".$*+?()[{}|").contains(c))
            out += QStringLiteral("[%1]").arg(c);
        else
            out += c;
    }
    return out + u'$';
}

std::optional<QRect> focusedWindowRect(const QJsonObject& root, bool includeFrame) {
    const auto node = focused(root);
    if (!node)
        return std::nullopt;
    const QRect r = includeFrame ? framed(*node) : content(*node);
    if (r.isEmpty())
        return std::nullopt;
    return r;
}

std::vector<QRect> visibleWindowRects(const QJsonObject& root) {
    std::vector<QRect> out;
    collect(root, out);
    std::reverse(out.begin(), out.end());
    return out;
}

} // namespace sway_windows

namespace {

class SwayActiveWindowCapture final : public ActiveWindowCapture {
public:
    explicit SwayActiveWindowCapture(QString socket) : socket_(std::move(socket)) {}
    WindowShot activeWindow(bool includeFrame) override {
        const auto tree = sway_windows::tree(socket_);
        if (!tree)
            throw WindowCaptureError(WindowCaptureError::Kind::failed,
                                     QStringLiteral("sway does not answer on %1").arg(socket_));
        const auto rect = sway_windows::focusedWindowRect(*tree, includeFrame);
        if (!rect)
            throw WindowCaptureError(WindowCaptureError::Kind::noWindow, QStringLiteral("sway has no focused window"));
        return WindowShot{QImage(), *rect};
    }

private:
    QString socket_;
};

} // namespace

std::unique_ptr<ActiveWindowCapture> makeSwayActiveWindowCapture() {
    const QString socket = sway_windows::socketPath();
    if (socket.isEmpty())
        return nullptr;
    return std::make_unique<SwayActiveWindowCapture>(socket);
}

} // namespace lumivane
