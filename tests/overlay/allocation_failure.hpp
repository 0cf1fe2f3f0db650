// Making the next large allocation of the test's thread fail, as it would without memory, to
// see that no exception leaves the module.
#pragma once

#include <cstddef>

namespace pattix::test {

// The next allocation of at least `bytes` on this thread throws std::bad_alloc.
void failNextAllocation(std::size_t bytes);

}  // namespace pattix::test
