// The host SDK's failure injection, behind a header that GLib's TRUE and FALSE can meet.
#pragma once

namespace pattix::testing {

// Every render the module starts from now on is refused by the host, until cleared.
void failEveryRender();
void clearHostFailures();

}  // namespace pattix::testing
