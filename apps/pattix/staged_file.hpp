// A file written under a temporary name in its target's folder and renamed over the target
// only when complete, so that a failed or interrupted run never leaves a half-written file.
#pragma once

#include <string>

namespace pattix::cli {

class StagedFile {
public:
    // Creates the temporary file; throws RunFailure naming `target` when that is impossible.
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
    void discard() noexcept;

    std::string m_Target;
    std::string m_Temporary;
    int m_Fd = -1;
};

}  // namespace pattix::cli
