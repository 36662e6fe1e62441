#include <gtest/gtest.h>

#include <cstring>

#include "support/script_library.h"

namespace scriptfonts::test {
namespace {

using InitializeFn = const char* (*)(const TaggedValue*, int32_t);
using VersionFn = int32_t (*)();

TEST(Lifecycle, AnswersTheEngineWithTheSignatureListAndVersion) {
    const ScriptLibrary library;
    ASSERT_NE(library.module(), nullptr);
    const auto initialize = reinterpret_cast<InitializeFn>(
        reinterpret_cast<void*>(GetProcAddress(library.module(), "ESInitialize")));
    const auto version =
        reinterpret_cast<VersionFn>(reinterpret_cast<void*>(GetProcAddress(library.module(), "ESGetVersion")));
    ASSERT_NE(initialize, nullptr);
    ASSERT_NE(version, nullptr);

    const char* first = initialize(nullptr, 0);
    EXPECT_STREQ(first, "registerFont_s, registerFontA_s, unRegisterFont_s, registerFonts_s, findFontByName_s");
    EXPECT_EQ(initialize(nullptr, 0), first) << "the signature list must keep one address";
    EXPECT_EQ(version(), 4);
}

}  // namespace
}  // namespace scriptfonts::test
