// The test-pattern effect. Until its host interfaces are built it is a counted object that the
// host can create through its factory.
#pragma once

#include "plugin/module/class_ids.hpp"
#include "plugin/module/counted_object.hpp"

namespace pattix {

class Bars final : public CountedObject<Bars, CLSID_Bars> {};

}  // namespace pattix
