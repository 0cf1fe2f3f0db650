#include "sdk/platform/gdi.hpp"

#include "sdk/platform/call_log.hpp"

namespace sdk {
GdiObject::~GdiObject() = default;
}  // namespace sdk

extern "C" {

BOOL DeleteObject(HGDIOBJ object) {
    if (sdk::hostCall("DeleteObject")) return FALSE;
    if (object == nullptr || !object->deletable()) return FALSE;
    delete object;
    return TRUE;
}

}  // extern "C"
