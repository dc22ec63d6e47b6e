#pragma once
// Points TMPDIR at a fresh folder for one test process and removes it at the end,
// so temporary files the code under test leaves behind never pile up in /tmp.
#include <QByteArray>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace lumivane::test {

class PrivateTempDir {
public:
    PrivateTempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/lumivane-test-XXXXXX";
        if (char* made = mkdtemp(pattern.data())) {
            path_ = made;
            setenv("TMPDIR", path_.c_str(), 1);
        }
    }
    ~PrivateTempDir() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    PrivateTempDir(const PrivateTempDir&) = delete;
    PrivateTempDir& operator=(const PrivateTempDir&) = delete;

private:
    std::string path_;
};

} // namespace lumivane::test
