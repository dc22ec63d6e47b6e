#pragma once
#include "settings/SettingsStore.h"

namespace lumivane::test {

// Settings kept in memory: reads return the last write; `writes` counts them.
class MemorySettingsStore : public SettingsStore {
public:
    explicit MemorySettingsStore(int* writes = nullptr) : writes_(writes) {}
    std::optional<QByteArray> read() const override { return bytes_; }
    bool write(const QByteArray& bytes) override {
        bytes_ = bytes;
        if (writes_)
            ++*writes_;
        return true;
    }

private:
    std::optional<QByteArray> bytes_;
    int* writes_;
};

} // namespace lumivane::test
