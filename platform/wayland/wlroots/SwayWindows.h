#pragma once
#include "platform/ActiveWindow.h"

#include <QByteArray>
#include <QJsonObject>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

// Windows as sway tells them over its IPC socket (SWAYSOCK, the i3-ipc framing,
// GET_TREE). Rectangles are in sway's layout coordinates, which are the outputs'
// logical geometry (ScreenInfo::nativeGeometry). Any thread; each call opens its
// own connection and blocks for one round trip.
namespace sway_windows {

// The IPC socket of the session's sway: $SWAYSOCK; empty when it is not set.
QString socketPath();

// The GET_TREE reply; none when the socket does not answer.
std::optional<QJsonObject> tree(const QString& socketPath, int timeoutMs = 2000);

// Runs a sway command (RUN_COMMAND); true when sway answered that every part succeeded.
bool runCommand(const QString& socketPath, const QString& command, int timeoutMs = 2000);

// A criteria pattern matching exactly `text` (sway's criteria are regular
// expressions); empty for text with a backslash, a double quote, ^ or ].
QString literalPattern(const QString& text);

// The focused window of a tree: with its frame, the title bar (deco_rect, above
// `rect`) and borders; without, the content alone (window_rect inside `rect`).
std::optional<QRect> focusedWindowRect(const QJsonObject& tree, bool includeFrame);
// The windows on visible workspaces with their title bars, topmost first (floating
// above tiled, later above earlier).
std::vector<QRect> visibleWindowRects(const QJsonObject& tree);

} // namespace sway_windows

// Window captures on sway: the focused window's rectangle from GET_TREE, cut from the
// outputs by the screen grabber. Null when SWAYSOCK is not set.
std::unique_ptr<ActiveWindowCapture> makeSwayActiveWindowCapture();

} // namespace lumivane
