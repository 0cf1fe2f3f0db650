#include "apps/host/preset_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "apps/host/errors.hpp"
#include "apps/host/text.hpp"

namespace pattix::host {
namespace {

// A descriptor the preset was opened on, closed when done with (standard input stays open).
struct PresetDescriptor {
    int fd = STDIN_FILENO;
    PresetDescriptor() = default;
    PresetDescriptor(const PresetDescriptor&) = delete;
    PresetDescriptor& operator=(const PresetDescriptor&) = delete;
    ~PresetDescriptor() {
        if (fd != STDIN_FILENO) ::close(fd);
    }
};

}  // namespace

std::string presetSource(const std::string& path) {
    return path == "-" ? "on standard input" : quote(path);
}

std::string presetName(const std::string& path) {
    return "preset " + presetSource(path);
}

std::string readPresetText(const std::string& path, const std::function<void()>& interrupted) {
    const std::string name = presetName(path);
    auto cannotRead = [&](int error) {
        return RunFailure("cannot read " + name + ": " + std::strerror(error));
    };
    auto onInterrupt = [&] {
        if (interrupted) interrupted();
    };
    PresetDescriptor preset;
    if (path != "-") {
        while ((preset.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)) < 0) {
            const int error = errno;
            if (error != EINTR) throw cannotRead(error);
            onInterrupt();
        }
    }
    const int fd = preset.fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0) throw cannotRead(errno);
    if (S_ISDIR(info.st_mode)) throw RunFailure(name + " is a folder, not a preset file");
    const auto tooLarge = [&] {
        return RunFailure(name + " is larger than 1 MiB; a preset is a few lines of text");
    };
    if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > kLargestPreset) {
        throw tooLarge();
    }
    std::string text(kLargestPreset + 1, '\0');
    std::size_t length = 0;
    while (length < text.size()) {
        const ssize_t got = ::read(fd, text.data() + length, text.size() - length);
        if (got == 0) break;
        if (got < 0) {
            const int error = errno;
            if (error != EINTR) throw cannotRead(error);
            onInterrupt();
            continue;
        }
        length += static_cast<std::size_t>(got);
    }
    if (length > kLargestPreset) throw tooLarge();
    text.resize(length);
    return text;
}

}  // namespace pattix::host
