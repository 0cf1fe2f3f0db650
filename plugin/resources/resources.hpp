// The module's compiled-in resources: string table and bitmaps, announced to the host SDK at
// load so LoadStringW and LoadBitmapW find them from the module's instance handle.
#pragma once

#include "sdk/platform/resources.hpp"

namespace pattix {

const sdk::ResourceTable& moduleResourceTable();

}  // namespace pattix
