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

namespace pattix::cli {
namespace {

std::string cannotWrite(const std::string& target, int error) {
    return "cannot write '" + target + "': " + std::strerror(error);
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

}  // namespace

StagedFile::StagedFile(std::string target) : m_Target(std::move(target)) {
    namespace fs = std::filesystem;
    const fs::path path(m_Target);
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw host::RunFailure(cannotWrite(m_Target, EISDIR));
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string name = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    m_Fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_Fd < 0) throw host::RunFailure(cannotWrite(m_Target, errno));
    m_Temporary = pattern.data();
    if (::fchmod(m_Fd, newFileMode()) != 0) {
        const int error = errno;
        discard();
        throw host::RunFailure(cannotWrite(m_Target, error));
    }
}

StagedFile::~StagedFile() { discard(); }

void StagedFile::commit() {
    const int fd = m_Fd;
    m_Fd = -1;
    // close() is where a full disk or a network file system reports a lost write.
    if (::close(fd) != 0 || ::rename(m_Temporary.c_str(), m_Target.c_str()) != 0) {
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
