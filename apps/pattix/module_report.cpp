#include "apps/pattix/module_report.hpp"

#include <string>
#include <vector>

#include "apps/host/pattern_names.hpp"
#include "apps/host/text.hpp"
#include "plugin/module/class_ids.hpp"
#include "plugin/pages/parameters.hpp"
#include "sdk/host/property_page.hpp"
#include "sdk/host/registration.hpp"
#include "sdk/platform/com.hpp"

namespace pattix::cli {
namespace {

const char* className(const CLSID& clsid) {
    if (clsid == CLSID_Bars) return "effect";
    if (clsid == CLSID_BarsPPG) return "main property page";
    if (clsid == CLSID_HelpPPG) return "help property page";
    if (clsid == CLSID_KtTInteract) return "viewer tool";
    return "class";
}

const char* typeName(VARTYPE type) {
    switch (type) {
        case VT_I4:
            return "integer (VT_I4)";
        case VT_BOOL:
            return "boolean (VT_BOOL)";
        case VT_R4:
            return "float (VT_R4)";
        case VT_R8:
            return "double (VT_R8)";
        default:
            return "other";
    }
}

// The names of a parameter's values, by value; empty when the host knows none.
std::vector<std::string> valueNames(const host::ModuleSession& session,
                                    const IDSParamDef& definition) {
    if (definition.GetIdentifier() == PARAM_PATTERN) return session.patternNames();
    if (definition.GetIdentifier() == PARAM_RAMP_DIRECTION) {
        return {session.string(IDS_RAMP_DIRECTION_FIRST_VALUE),
                session.string(IDS_RAMP_DIRECTION_FIRST_VALUE + 1)};
    }
    if (definition.GetValueType() == VT_BOOL) return {"false", "true"};
    return {};
}

// The title and size a page gives the host's property frame; empty when it cannot be made.
std::string pageText(const host::ModuleSession& session, const CLSID& clsid) {
    IClassFactory* factory = nullptr;
    if (FAILED(session.module().getClassObject(clsid, IID_IClassFactory,
                                               reinterpret_cast<void**>(&factory)))) {
        return {};
    }
    IPropertyPage* page = nullptr;
    const HRESULT made =
        factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page));
    factory->Release();
    if (FAILED(made)) return {};
    PROPPAGEINFO info{};
    std::string text;
    if (SUCCEEDED(page->GetPageInfo(&info))) {
        text = "\"" + host::toUtf8(info.pszTitle != nullptr ? info.pszTitle : L"") + "\"  " +
               std::to_string(info.size.cx) + " x " + std::to_string(info.size.cy) + " pixels";
        CoTaskMemFree(info.pszTitle);
    }
    page->Release();
    return text;
}

std::string valueText(const std::vector<std::string>& names, LONG value) {
    std::string text = std::to_string(value);
    if (value >= 0 && static_cast<std::size_t>(value) < names.size()) {
        text += " (" + names[static_cast<std::size_t>(value)] + ")";
    }
    return text;
}

}  // namespace

void printPatternList(std::FILE* out, const host::ModuleSession& session) {
    const std::vector<std::string> ownNames = session.patternNames();
    for (int value = 0; value < kPatternCount; ++value) {
        std::fprintf(out, "%d  %-18s  %s\n", value,
                     std::string(host::kPatternShortNames[value]).c_str(),
                     ownNames[static_cast<std::size_t>(value)].c_str());
    }
}

void printModuleInfo(std::FILE* out, const host::ModuleSession& session,
                     host::EffectInstance& effect) {
    std::fprintf(out, "Module %s\n\nRegistered classes:\n", session.module().path().c_str());
    for (const auto& registered : sdk::host::registeredClasses()) {
        std::fprintf(out, "  %s  %-18s  number %u\n", sdk::formatGuid(registered.clsid).c_str(),
                     className(registered.clsid), registered.number);
    }
    std::fprintf(out, "\nRegistered families:\n");
    for (const auto& family : sdk::host::registeredFamilies()) {
        std::fprintf(out, "  %s  of %s  \"%s\"  flags %u\n", sdk::formatGuid(family.family).c_str(),
                     sdk::formatGuid(family.clsid).c_str(), host::toUtf8(family.name).c_str(),
                     family.flags);
    }
    std::fprintf(out, "\nProperty pages:\n");
    for (const CLSID& page : effect.host().PropertyPages()) {
        std::fprintf(out, "  %s  %-18s  %s\n", sdk::formatGuid(page).c_str(), className(page),
                     pageText(session, page).c_str());
    }
    std::fprintf(out, "\nEffect %s\n  name: %s\n  description: %s\n\nParameters:\n",
                 sdk::formatGuid(CLSID_Bars).c_str(), effect.name().c_str(),
                 effect.description().c_str());
    for (const CDSPropertiesMapEntry* entry : effect.host().Parameters()) {
        const IDSParamDef& definition = *entry->definition();
        const std::vector<std::string> names = valueNames(session, definition);
        std::fprintf(out, "  %s\n    identifier: %s\n    type: %s\n    default: %s\n",
                     host::toUtf8(definition.GetName()).c_str(),
                     sdk::formatGuid(definition.GetIdentifier()).c_str(),
                     typeName(definition.GetValueType()),
                     valueText(names, effect.value(definition.GetIdentifier())).c_str());
        if (!names.empty()) {
            std::fprintf(out, "    values:");
            for (std::size_t value = 0; value < names.size(); ++value) {
                std::fprintf(out, "%s %zu %s", value == 0 ? "" : ",", value, names[value].c_str());
            }
            std::fprintf(out, "\n");
        }
        std::fprintf(out, "    description: %s\n",
                     host::toUtf8(definition.GetDescription()).c_str());
    }
}

}  // namespace pattix::cli
