// The effect's two property pages. They exist as counted objects so the host can create them
// through their factories; their controls come with the page work.
#pragma once

#include "plugin/module/class_ids.hpp"
#include "plugin/module/counted_object.hpp"

namespace pattix {

class BarsPPG final : public CountedObject<BarsPPG, CLSID_BarsPPG> {};
class HelpPPG final : public CountedObject<HelpPPG, CLSID_HelpPPG> {};

}  // namespace pattix
