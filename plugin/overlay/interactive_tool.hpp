// The effect's viewer tool. It exists as a counted object so the host can create it through
// its factory; its drawing and pen handling come with the viewer-tool work.
#pragma once

#include "plugin/module/class_ids.hpp"
#include "plugin/module/counted_object.hpp"

namespace pattix {

class KtTInteract final : public CountedObject<KtTInteract, CLSID_KtTInteract> {};

}  // namespace pattix
