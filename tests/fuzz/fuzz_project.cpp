// The project reader: JSON decoding and the document it makes (image header, limits).
#include "FuzzMain.h"
#include "editor_model/ProjectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const auto project =
            lumivane::SavedEditorProject::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        (void)project.makeDocument();
        (void)project.encode();
    } catch (const lumivane::ProjectFileError&) {
    }
    return 0;
}
