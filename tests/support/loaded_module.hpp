// Loads the built libpattix.so once per test program, as the host does, and registers it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sdk/platform/loader.hpp"

namespace pattix::testing {

inline sdk::LoadedModule& loadedModule() {
    static std::unique_ptr<sdk::LoadedModule> module = [] {
        std::string error;
        auto loaded = sdk::LoadedModule::load(PATTIX_MODULE_PATH, error);
        if (!loaded) ADD_FAILURE() << error;
        return loaded;
    }();
    if (!module) throw std::runtime_error("libpattix.so could not be loaded");
    return *module;
}

// Loads and registers the module (registration is idempotent in the host's table).
inline sdk::LoadedModule& registeredModule() {
    sdk::LoadedModule& module = loadedModule();
    EXPECT_EQ(module.registerServer(), S_OK);
    return module;
}

// A factory for a class, obtained through DllGetClassObject.
inline IClassFactory* factoryFor(REFCLSID clsid) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(
        loadedModule().getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    return factory;
}

}  // namespace pattix::testing
