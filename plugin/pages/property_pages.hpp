// The effect's two property pages, as the module's factories make them.
#pragma once

#include "plugin/module/class_factory.hpp"
#include "plugin/pages/bars_ppg.hpp"
#include "plugin/pages/help_ppg.hpp"

namespace pattix {

// The factory queries and releases a new page through its page interface.
template <>
inline IUnknown* hostUnknown<BarsPPG>(BarsPPG* page) {
    return static_cast<IPropertyPage*>(page);
}
template <>
inline IUnknown* hostUnknown<HelpPPG>(HelpPPG* page) {
    return static_cast<IPropertyPage*>(page);
}

}  // namespace pattix
