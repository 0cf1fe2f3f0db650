#include "plugin/pages/parameters.hpp"

#include <new>

#include "plugin/effect/bars.hpp"
#include "plugin/module/module_state.hpp"
#include "sdk/host/image_effect.hpp"

namespace pattix {
namespace {

struct ParameterDeclaration {
    const GUID& id;
    VARTYPE type;
    WORD usage;
    DWORD nameId;
    DWORD descriptionId;
};

// The values the host requires of every parameter definition of this effect.
constexpr WORD kParamKind = 39;
constexpr DWORD kParamVersion = 1;
constexpr WORD kParamFlags = 0x8000;
constexpr unsigned int kNoAlias = 0xFFFFFFFF;

IDSParamDef* makeDefinition(const ParameterDeclaration& declaration) {
    auto* definition = new (std::nothrow) CDSParamDef;
    if (definition == nullptr) return nullptr;
    definition->m_Identifier = declaration.id;
    definition->m_dwReserved = 0;
    definition->m_wKind = kParamKind;
    definition->m_dwVersion = kParamVersion;
    definition->m_vt = declaration.type;
    definition->m_wFlags = kParamFlags;
    definition->m_wUsage = declaration.usage;
    definition->m_NameId = declaration.nameId;
    definition->m_ShortNameId = declaration.nameId;
    definition->m_DescriptionId = declaration.descriptionId;
    definition->m_phInstance = moduleInstanceHandle();
    return definition;
}

// Entries live from module load to module unload; their destructors release the definitions.
struct PropertyMap {
    CDSPropertiesMapEntry entries[4];
    DSPROPERTIES_MAP map;

    PropertyMap()
        : entries{{makeDefinition({PARAM_PATTERN, VT_I4, 4, IDS_PATTERN, IDS_PATTERN_DESCRIPTION}),
                   DSFieldLocation(Bars::parameterFieldOffset(0)), kNoAlias},
                  {makeDefinition({PARAM_RAMP_DIRECTION, VT_I4, 4, IDS_RAMP_DIRECTION,
                                   IDS_RAMP_DIRECTION_DESCRIPTION}),
                   DSFieldLocation(Bars::parameterFieldOffset(1)), kNoAlias},
                  {makeDefinition({PARAM_HIDE_OVERLAY, VT_BOOL, 0x214, IDS_HIDE_OVERLAY,
                                   IDS_HIDE_OVERLAY_DESCRIPTION}),
                   DSFieldLocation(Bars::parameterFieldOffset(2)), kNoAlias},
                  {}},
          map{&CDSImageEffect::m_PropertiesMap, entries} {}
};

const PropertyMap g_propertyMap;

}  // namespace

const DSPROPERTIES_MAP& effectPropertiesMap() {
    return g_propertyMap.map;
}

}  // namespace pattix
