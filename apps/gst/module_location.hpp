// Where the element finds libpattix.so, and the one loaded copy its elements share.
#pragma once

#include <memory>
#include <string>

namespace pattix::host {
class ModuleSession;
}

namespace pattix::gst {

// The environment variable that names the module file, overriding the default.
inline constexpr const char* kModuleVariable = "PATTIX_MODULE";

// $PATTIX_MODULE when set; otherwise libpattix.so in the folder above the plug-in's own, as
// laid out in the build tree (lib/gstreamer-1.0/libgstpattix.so beside lib/libpattix.so) and
// after installation (<prefix>/lib/gstreamer-1.0 and <prefix>/lib).
std::string modulePath();

// The module as every element of the process shares it: loaded by the first that asks,
// unloaded when the last lets go. Throws RunFailure saying which file failed and why.
std::shared_ptr<host::ModuleSession> sharedModule();

}  // namespace pattix::gst
