// What --list and --info print about the loaded module.
#pragma once

#include <cstdio>

#include "apps/host/effect_instance.hpp"
#include "apps/host/module_session.hpp"

namespace pattix::cli {

// The nine patterns: number, short name, own name.
void printPatternList(std::FILE* out, const host::ModuleSession& session);

// The classes and families the module registered, the effect's name and description, and each
// parameter's identifier, type, default (read from the fresh `effect`) and value names.
void printModuleInfo(std::FILE* out, const host::ModuleSession& session,
                     host::EffectInstance& effect);

}  // namespace pattix::cli
