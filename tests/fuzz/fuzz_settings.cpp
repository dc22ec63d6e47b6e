// The settings reader: the stored JSON document and its re-encoding.
#include "FuzzMain.h"
#include "settings/AppSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto values =
        lumivane::AppSettingsPayload::decode(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (values)
        (void)lumivane::AppSettingsPayload::encode(*values);
    return 0;
}
