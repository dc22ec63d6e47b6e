#pragma once
#include "editor_model/EditorDocument.h"

#include <optional>

namespace lumivane::cli {

// Reads a project file into a document. On failure prints "<command>: ..." and
// returns nothing.
std::optional<EditorDocument> readProjectDocument(const QString& path, const QString& command);

// True for a name ending in .lumivane or .json (any letter case).
bool isProjectFileName(const QString& path);
// True when the path names an existing character device, pipe or socket.
bool isStreamOutput(const QString& path);

} // namespace lumivane::cli
