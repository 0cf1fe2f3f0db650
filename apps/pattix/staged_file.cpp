#include "apps/pattix/staged_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "apps/host/errors.hpp"
#include "apps/host/text.hpp"
#include "apps/pattix/stop_signal.hpp"

namespace pattix::cli {
namespace {

namespace fs = std::filesystem;

std::string cannotWrite(const std::string& target, int error) {
    return host::cannotWrite(host::quote(target), std::strerror(error));
}

// The permissions a file created with open() would get, since mkstemp gives 0600.
mode_t newFileMode() {
    static const mode_t mask = [] {
        const mode_t current = ::umask(0);
        ::umask(current);
        return current;
    }();
    return 0666 & ~mask;
}

// The file that `path` names once its symbolic links are followed (it need not exist yet), as
// the system follows them, at most 40 deep.
std::string followLinks(const std::string& target) {
    fs::path path(target);
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path.string();
        const fs::path link = fs::read_symlink(path, ec);
        if (ec) throw host::RunFailure(cannotWrite(target, ec.value()));
        path = path.parent_path() / link;
    }
    throw host::RunFailure(cannotWrite(target, ELOOP));
}

// ".name.XXXXXX" beside the target, with the name cut so that the whole stays within NAME_MAX
// (a cut never splits a UTF-8 character).
std::string temporaryPattern(const fs::path& path) {
    constexpr std::size_t kLongestStem = 200;
    std::string name = path.filename().string();
    if (name.size() > kLongestStem) {
        std::size_t cut = kLongestStem;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    return (folder / ("." + name + ".XXXXXX")).string();
}

}  // namespace

StagedFile::StagedFile(std::string target) : m_Target(std::move(target)) {
    struct stat info {};
    if (::stat(m_Target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) throw host::RunFailure(cannotWrite(m_Target, EISDIR));
        if (!S_ISREG(info.st_mode)) {
            openThrough();
            return;
        }
    }
    stage(followLinks(m_Target));
}

void StagedFile::stage(const std::string& path) {
    const std::string name = temporaryPattern(path);
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    m_Fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_Fd < 0) throw host::RunFailure(cannotWrite(m_Target, errno));
    m_Temporary = pattern.data();
    m_Renamed = path;
    if (::fchmod(m_Fd, newFileMode()) != 0) {
        const int error = errno;
        discard();
        throw host::RunFailure(cannotWrite(m_Target, error));
    }
}

void StagedFile::openThrough() {
    while ((m_Fd = ::open(m_Target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY)) < 0) {
        const int error = errno;
        StopSignal::throwIfReceived();
        if (error != EINTR) throw host::RunFailure(cannotWrite(m_Target, error));
    }
}

StagedFile::~StagedFile() {
    discard();
}

void StagedFile::commit() {
    const int fd = m_Fd;
    m_Fd = -1;
    // close() is where a full disk or a network file system reports a lost write.
    if (::close(fd) != 0 ||
        (!m_Temporary.empty() && ::rename(m_Temporary.c_str(), m_Renamed.c_str()) != 0)) {
        const int error = errno;
        discard();
        throw host::RunFailure(cannotWrite(m_Target, error));
    }
    m_Temporary.clear();
}

void StagedFile::discard() noexcept {
    if (m_Fd >= 0) ::close(m_Fd);
    m_Fd = -1;
    if (!m_Temporary.empty()) ::unlink(m_Temporary.c_str());
    m_Temporary.clear();
}

}  // namespace pattix::cli
