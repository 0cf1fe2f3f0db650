#include "sdk/platform/call_log.hpp"

#include <algorithm>
#include <map>
#include <mutex>

namespace sdk {
namespace {

struct Failure {
    HRESULT result;
    int remaining;  // < 0: forever
    int skip;       // calls still let through first
};

struct CallLog {
    std::mutex mutex;
    std::vector<std::string> names;
    std::map<std::string, Failure, std::less<>> failures;
};

CallLog& log() {
    static CallLog instance;
    return instance;
}

// The log is bounded so that a long-running host (thousands of frames) does not grow without end.
constexpr std::size_t kMaxLoggedCalls = 100000;

}  // namespace

std::optional<HRESULT> hostCall(std::string_view name) {
    CallLog& l = log();
    std::lock_guard lock(l.mutex);
    if (l.names.size() < kMaxLoggedCalls) l.names.emplace_back(name);
    const auto it = l.failures.find(name);
    if (it == l.failures.end()) return std::nullopt;
    if (it->second.skip > 0) {
        --it->second.skip;
        return std::nullopt;
    }
    const HRESULT result = it->second.result;
    if (it->second.remaining > 0 && --it->second.remaining == 0) l.failures.erase(it);
    return result;
}

std::vector<std::string> calls() {
    CallLog& l = log();
    std::lock_guard lock(l.mutex);
    return l.names;
}

std::size_t countCalls(std::string_view name) {
    CallLog& l = log();
    std::lock_guard lock(l.mutex);
    return static_cast<std::size_t>(std::count(l.names.begin(), l.names.end(), name));
}

void clearCalls() {
    CallLog& l = log();
    std::lock_guard lock(l.mutex);
    l.names.clear();
}

void failCall(std::string_view name, HRESULT result, int times, int skip) {
    CallLog& l = log();
    std::lock_guard lock(l.mutex);
    if (times == 0) return;
    l.failures.insert_or_assign(std::string(name), Failure{result, times, skip});
}

void clearFailures() {
    CallLog& l = log();
    std::lock_guard lock(l.mutex);
    l.failures.clear();
}

void resetCallLog() {
    clearCalls();
    clearFailures();
}

}  // namespace sdk
