// A loaded module, unloaded when the owner goes.
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace scriptfonts::run {

using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;

}  // namespace scriptfonts::run
