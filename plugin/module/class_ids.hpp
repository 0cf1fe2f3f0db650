// Identifiers the module is known by in the host's registry and in saved projects.
#pragma once

#include <array>

#include "sdk/platform/guid.hpp"

namespace pattix {

inline constexpr CLSID CLSID_Bars = sdk::guid("63A1D342-AE89-11D5-9414-0800690F2F3F");
inline constexpr CLSID CLSID_BarsPPG = sdk::guid("680BDA91-7279-4749-B2E3-5B3FACD769A3");
inline constexpr CLSID CLSID_KtTInteract = sdk::guid("0354A10B-B42C-4C5E-B743-7D34263A93FB");
inline constexpr CLSID CLSID_HelpPPG = sdk::guid("9C879E3C-F525-48F9-B168-B4DF1A76CA96");

// The host object families the effect is offered in, in registration order.
inline constexpr std::array<GUID, 2> kEffectFamilies = {
    sdk::guid("183E3834-D79D-11D0-A7AE-00A0C9068107"),
    sdk::guid("61054A81-9662-11D0-B685-00A024191AE0"),
};

// String-table identifiers of the module's own texts.
enum StringId : UINT {
    IDS_EFFECT_NAME = 1,
    IDS_EFFECT_DESCRIPTION = 2,
    IDS_MAIN_PAGE_NAME = 3,
    IDS_MAIN_PAGE_DESCRIPTION = 4,
    IDS_HELP_PAGE_NAME = 5,
    IDS_HELP_PAGE_DESCRIPTION = 6,
};

inline constexpr UINT IDB_EFFECT = 102;
inline constexpr UINT IDB_HELP_PAGE = 103;

}  // namespace pattix
