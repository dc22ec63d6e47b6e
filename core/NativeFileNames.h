#pragma once
#include <QByteArray>
#include <QString>

class QUrl;

namespace lumivane {

// File names are byte strings: these convert between them and QString without loss.
// Valid UTF-8 is decoded as such; every other byte becomes a lone surrogate
// U+DC80..U+DCFF that nativeFileName turns back into that byte.
QString fileNameFromNative(const QByteArray& bytes);
QByteArray nativeFileName(const QString& name);
// True when the name holds bytes that are not UTF-8, so that it has no text form for
// documents that must be Unicode (the settings file).
bool hasUndecodedBytes(const QString& name);

// The local path a file: URL names, byte for byte (the percent-encoded bytes, decoded
// as fileNameFromNative does); empty for a URL that names no local file.
QString localPathFromUrl(const QUrl& url);
// The file: URL of an absolute path, every byte of its name kept (percent-encoded);
// localPathFromUrl gives the path back.
QString fileUrlFromPath(const QString& path);

// Qt's and GTK's file dialogs show and return names that are not UTF-8 with U+FFFD
// in place of the bytes they could not decode. For such a path, every component that
// does not exist as written is looked up among its folder's entries decoded the same
// way; a single match puts the entry's own bytes back. A path without U+FFFD, or a
// component with no or several matches (a new name the user typed), is kept.
QString recoverUndecodedPath(const QString& path);

} // namespace lumivane
