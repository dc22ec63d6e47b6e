// The renderer, on every document a project file can describe.
#include "FuzzMain.h"
#include "editor/EditorRenderer.h"
#include "editor_model/ProjectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const auto document =
            lumivane::SavedEditorProject::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)))
                .makeDocument();
        if (document)
            (void)lumivane::EditorRenderer::render(*document);
    } catch (const lumivane::ProjectFileError&) {
    }
    return 0;
}
