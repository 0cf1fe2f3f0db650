// A desktop of its own for a test: a registry file, a folder standing for drive C: and an
// opener that records the files it is handed instead of showing them. Environment variables
// point the host SDK at them while the object lives.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sdk/platform/shell.hpp"

namespace pattix::testing {

class Desktop {
public:
    Desktop() {
        static int serial = 0;
        m_Root = std::filesystem::temp_directory_path() /
                 ("pattix-desktop-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(driveC());
        std::ofstream(opener()) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$0.log\"\n";
        std::filesystem::permissions(opener(), std::filesystem::perms::owner_all);
        setenv("PATTIX_REGISTRY", registry().c_str(), 1);
        setenv("PATTIX_DRIVE_C", driveC().c_str(), 1);
        setenv("PATTIX_OPENER", opener().c_str(), 1);
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    ~Desktop() {
        sdk::waitForOpeners();
        for (const char* name : {"PATTIX_REGISTRY", "PATTIX_DRIVE_C", "PATTIX_OPENER"})
            unsetenv(name);
        std::error_code ec;
        std::filesystem::remove_all(m_Root, ec);
    }

    std::filesystem::path root() const { return m_Root; }
    std::filesystem::path registry() const { return m_Root / "registry.reg"; }
    std::filesystem::path driveC() const { return m_Root / "drive_c"; }
    std::filesystem::path opener() const { return m_Root / "opener"; }

    void writeRegistry(const std::string& text) const { std::ofstream(registry()) << text; }

    // Makes a file at a Windows path below C:\ (backslashes), answering its place.
    std::filesystem::path makeFile(const std::string& windowsPath) const {
        std::string relative = windowsPath.substr(3);
        for (char& c : relative) {
            if (c == '\\') c = '/';
        }
        const std::filesystem::path file = driveC() / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << "%PDF-1.4\n";
        return file;
    }

    // The files handed to the opener so far, once every opener started has finished.
    std::vector<std::string> opened() const {
        sdk::waitForOpeners();
        std::vector<std::string> files;
        std::ifstream log(opener().string() + ".log");
        for (std::string line; std::getline(log, line);) files.push_back(line);
        return files;
    }

private:
    std::filesystem::path m_Root;
};

}  // namespace pattix::testing
