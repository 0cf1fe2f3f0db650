#include "tests/gst/host_failures.hpp"

#include "sdk/platform/call_log.hpp"

namespace pattix::testing {

void failEveryRender() {
    sdk::failCall("CDSImageEffect::PrepareData", E_FAIL, -1);
}
void clearHostFailures() {
    sdk::clearFailures();
}

}  // namespace pattix::testing
