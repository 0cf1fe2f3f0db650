// The effect's parameter set: identifiers, value lists and the static property map through
// which the host reads, writes, animates and persists them.
#pragma once

#include "sdk/host/properties.hpp"

namespace pattix {

// The three identifiers share their tail with the effect's class identifier.
inline constexpr GUID PARAM_PATTERN = sdk::guid("63A1D3A6-AE89-11D5-9414-0800690F2F3F");
inline constexpr GUID PARAM_RAMP_DIRECTION = sdk::guid("63A1D3A7-AE89-11D5-9414-0800690F2F3F");
inline constexpr GUID PARAM_HIDE_OVERLAY = sdk::guid("63A1D3A8-AE89-11D5-9414-0800690F2F3F");

enum Pattern : int {
    kPatternEbuBars = 0,
    kPattern75Bars = 1,
    kPattern100Bars = 2,
    kPatternEiaBars = 3,
    kPatternSmpteBars = 4,
    kPatternRgbRamp = 5,
    kPatternGreyRamp = 6,
    kPatternRgbCrossedRamp = 7,
    kPatternGreyCrossedRamp = 8,
};
inline constexpr int kPatternCount = 9;
inline constexpr int kFirstRampPattern = kPatternRgbRamp;

enum RampDirection : int { kDirectionHorizontal = 0, kDirectionVertical = 1 };

// String-table identifiers of the parameter texts.
enum ParameterStringId : UINT {
    IDS_PATTERN = 1000,
    IDS_PATTERN_DESCRIPTION = 1001,
    IDS_PATTERN_FIRST_VALUE = 1002,  // 1002-1010, one per pattern value
    IDS_RAMP_DIRECTION = 1011,
    IDS_RAMP_DIRECTION_DESCRIPTION = 1012,
    IDS_RAMP_DIRECTION_FIRST_VALUE = 1013,  // 1013 "Horizontal", 1014 "Vertical"
    IDS_HIDE_OVERLAY = 1015,
    IDS_HIDE_OVERLAY_DESCRIPTION = 1016,
};

// The effect's map, built when the module loads; its base map is the host image effect's.
const DSPROPERTIES_MAP& effectPropertiesMap();

}  // namespace pattix
