// Kept apart: the X11 headers define names (None, Status, Bool) that clash with other code.
#include "apps/pattix-view/display_sync.hpp"

#include <X11/Xlib.h>

// GLFW's X11 access, declared here rather than through glfw3native.h, which also wants the
// headers of X extensions this program does not use.
extern "C" Display* glfwGetX11Display(void);

namespace pattix::view {

void waitForDisplay() {
    if (Display* display = glfwGetX11Display()) XSync(display, False);
}

}  // namespace pattix::view
