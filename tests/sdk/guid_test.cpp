#include "sdk/platform/guid.hpp"

#include <gtest/gtest.h>

namespace {

TEST(Guid, ParsesAndFormatsTheRegistryForm) {
    constexpr GUID effect = sdk::guid("63A1D342-AE89-11D5-9414-0800690F2F3F");
    EXPECT_EQ(effect.Data1, 0x63A1D342u);
    EXPECT_EQ(effect.Data2, 0xAE89u);
    EXPECT_EQ(effect.Data3, 0x11D5u);
    EXPECT_EQ(effect.Data4[0], 0x94u);
    EXPECT_EQ(effect.Data4[7], 0x3Fu);
    EXPECT_EQ(sdk::formatGuid(effect), "63A1D342-AE89-11D5-9414-0800690F2F3F");
    EXPECT_EQ(sdk::parseGuid("{63a1d342-ae89-11d5-9414-0800690f2f3f}"), effect);
}

TEST(Guid, RejectsMalformedText) {
    for (const char* text :
         {"", "63A1D342-AE89-11D5-9414-0800690F2F3", "63A1D342AE89-11D5-9414-0800690F2F3F0",
          "63A1D342-AE89-11D5-9414-0800690F2F3G", "{63A1D342-AE89-11D5-9414-0800690F2F3F",
          "63A1D342-AE89-11D5-9414_0800690F2F3F"}) {
        EXPECT_FALSE(sdk::parseGuid(text).has_value()) << text;
    }
}

TEST(Guid, ComparesEveryByte) {
    constexpr GUID pattern = sdk::guid("63A1D3A6-AE89-11D5-9414-0800690F2F3F");
    constexpr GUID direction = sdk::guid("63A1D3A7-AE89-11D5-9414-0800690F2F3F");
    constexpr GUID lastByte = sdk::guid("63A1D3A6-AE89-11D5-9414-0800690F2F3E");
    EXPECT_NE(pattern, direction);
    EXPECT_NE(pattern, lastByte);
    EXPECT_LT(pattern, direction);
    EXPECT_TRUE(IsEqualGUID(pattern, sdk::guid("63A1D3A6-AE89-11D5-9414-0800690F2F3F")));
}

}  // namespace
