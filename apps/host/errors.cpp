#include "apps/host/errors.hpp"

#include <cstdio>

#include "apps/host/text.hpp"

namespace pattix::host {

std::string cannotWrite(std::string_view name, std::string_view reason) {
    std::string message = "cannot write ";
    message += name;
    if (!reason.empty()) {
        message += ": ";
        message += reason;
    }
    return message;
}

int failRun(std::string_view program, int status, std::string_view message) {
    std::fflush(stdout);
    const std::string line = std::string(program) + ": " + printable(message) + "\n";
    std::fputs(line.c_str(), stderr);
    return status;
}

}  // namespace pattix::host
