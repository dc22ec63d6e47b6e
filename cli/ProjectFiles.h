#pragma once
#include "editor_model/EditorDocument.h"

#include <optional>

namespace lumivane::cli {

// Reads a project file into a document. On failure prints "<command>: ..." and
// returns nothing.
std::optional<EditorDocument> readProjectDocument(const QString& path, const QString& command);

} // namespace lumivane::cli
