// Ownership of one reference to a host object: released when the owner goes.
#pragma once

#include <memory>

#include "sdk/platform/unknown.hpp"

namespace pattix::host {

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};

template <class Interface>
using ComPtr = std::unique_ptr<Interface, ComRelease>;

}  // namespace pattix::host
