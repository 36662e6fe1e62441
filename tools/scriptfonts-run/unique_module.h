// A loaded module, unloaded when the owner goes.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace scriptfonts::run {

struct ModuleRelease {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleRelease>;

}  // namespace scriptfonts::run
