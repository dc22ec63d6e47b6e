// The page-information reader: the JSON the page script returns.
#include "FuzzMain.h"
#include "browser/BrowserPageInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)lumivane::BrowserPageInfo::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
