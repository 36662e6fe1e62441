// The engine's lifecycle entries, and the owners that give every snapshot
// and device context back exactly once.
#include <memory>
#include <utility>

#include "platform/platform_owners.h"
#include "unit_test_support.h"

namespace scriptfonts::test {
namespace {

using fake::Call;
using platform::UniqueSnapshot;
using platform::UniqueWindowDC;

class Lifecycle : public UnitTest {};

TEST_F(Lifecycle, AnswersTheEngineAndReleasesOnlyWhatItMayRelease) {
    const char* const list = ESInitialize(nullptr, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list, "registerFont_s, registerFontA_s, unRegisterFont_s, registerFonts_s, findFontByName_s");
    const TaggedValue ignored = stringArgument("anything");
    EXPECT_EQ(ESInitialize(&ignored, 1), list) << "the signature list keeps one address";
    EXPECT_EQ(ESGetVersion(), 4);

    // ASan reports a static block freed or a block freed by the wrong deallocator;
    // LeakSanitizer reports one not freed.
    ESFreeMem(nullptr);
    ESFreeMem(const_cast<char*>(list));
    EXPECT_STREQ(ESInitialize(nullptr, 0), list);
    ESFreeMem(std::make_unique<char>('x').release());
    ESTerminate();
    EXPECT_EQ(fake::sequence(), std::vector<Call>{});
}

TEST_F(Lifecycle, SnapshotOwnershipMovesAndTheHandleClosesOnce) {
    void* const first = platform::createProcessSnapshot();
    void* const second = platform::createProcessSnapshot();
    {
        UniqueSnapshot owner{first};
        UniqueSnapshot moved{std::move(owner)};
        EXPECT_FALSE(owner);
        EXPECT_EQ(moved.get(), first);

        UniqueSnapshot assigned{second};
        assigned = std::move(moved);  // gives up `second` at once
        EXPECT_EQ(fake::handlesPassedTo(Call::closeHandle), std::vector<void*>{second});
        EXPECT_EQ(assigned.get(), first);
        UniqueSnapshot empty;
        EXPECT_FALSE(empty);
    }
    EXPECT_EQ(fake::handlesPassedTo(Call::closeHandle), (std::vector<void*>{second, first}));
}

TEST_F(Lifecycle, DeviceContextOwnershipMovesAndTheContextIsReleasedOnce) {
    {
        UniqueWindowDC owner = platform::screenDC();
        ASSERT_TRUE(owner);
        UniqueWindowDC moved{std::move(owner)};
        EXPECT_FALSE(owner);
        EXPECT_EQ(fake::countOf(Call::releaseDC), 0u);
    }
    EXPECT_EQ(fake::handlesPassedTo(Call::releaseDC), fake::handlesAnsweredBy(Call::getDC));
    fake::options().getDCFails = true;
    {
        const UniqueWindowDC none = platform::screenDC();
        EXPECT_FALSE(none);
    }
    EXPECT_EQ(fake::countOf(Call::releaseDC), 1u) << "a null DC is not released";
}

}  // namespace
}  // namespace scriptfonts::test
