#include "apps/pattix/descriptor_output.hpp"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "apps/host/errors.hpp"
#include "apps/pattix/stop_signal.hpp"

namespace pattix::cli {

void writeRanges(int fd, std::span<iovec> ranges, const std::string& name) {
    std::size_t first = 0;
    while (first < ranges.size()) {
        if (ranges[first].iov_len == 0) {
            ++first;
            continue;
        }
        // A stop signal ends a write that a stalled reader blocks with a partial count, or with
        // EINTR when nothing had gone yet; either way it is honoured before the next write. A
        // write error after a stop (a reader gone, the file-size limit) is part of the stop.
        StopSignal::throwIfReceived();
        const int count = static_cast<int>(std::min<std::size_t>(ranges.size() - first, IOV_MAX));
        const ssize_t written = ::writev(fd, &ranges[first], count);
        if (written < 0) {
            const int error = errno;
            StopSignal::throwIfReceived();
            if (error == EINTR) continue;
            throw host::RunFailure(host::cannotWrite(name, std::strerror(error)));
        }
        auto left = static_cast<std::size_t>(written);
        while (left > 0 && left >= ranges[first].iov_len) left -= ranges[first++].iov_len;
        if (left > 0) {
            ranges[first].iov_base = static_cast<char*>(ranges[first].iov_base) + left;
            ranges[first].iov_len -= left;
        }
    }
}

}  // namespace pattix::cli
