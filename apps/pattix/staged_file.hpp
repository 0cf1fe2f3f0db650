// A file written under a temporary name in its target's folder and renamed over the target
// only when complete, so that a failed or interrupted run never leaves a half-written file.
// Only real files are staged: a target that exists and is not a regular file (a FIFO, a device
// such as /dev/null, a terminal) is opened and written through, and a symbolic link is followed
// to the file it names, which is replaced while the link stays.
#pragma once

#include <string>

namespace pattix::cli {

class StagedFile {
public:
    // Creates the temporary file, or opens a target to write through (waiting, as a shell
    // does, for a FIFO's reader; a stop signal ends the wait with Interrupted). Throws
    // RunFailure naming `target` when that is impossible.
    explicit StagedFile(std::string target);
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    // Removes the temporary file unless it was committed.
    ~StagedFile();

    int fd() const { return m_Fd; }
    const std::string& target() const { return m_Target; }

    // Closes the file and renames it to the target; throws RunFailure (and removes it) on error.
    void commit();

private:
    void stage(const std::string& path);
    void openThrough();
    void discard() noexcept;

    std::string m_Target;
    std::string m_Temporary;  // empty when writing through
    std::string m_Renamed;    // the file the temporary one replaces: the target, links followed
    int m_Fd = -1;
};

}  // namespace pattix::cli
