// Datagram bytes from hexadecimal text, inline and on the heap.

#include "HexBuffer.h"

#include <gtest/gtest.h>

#include <string>

TEST(HexBuffer, ConvertsPairsFromTheEnd)
{
    const std::string many(200, 'f');
    struct Case {
        const char* text;
        bool ok;
        std::string bytes;
    } cases[] = {
        {"abc", true, std::string("\x0a\xbc", 2)},
        {"0A0b", true, std::string("\x0a\x0b", 2)},
        {"", true, std::string()},
        {nullptr, true, std::string()},
        {"7", true, std::string("\x07", 1)},
        {"00", true, std::string(1, '\0')},
        {many.c_str(), true, std::string(100, '\xff')},  // beyond the inline bytes
        {"0x01", false, std::string()},
        {"01 02", false, std::string()},
        {"0g", false, std::string()},
        {"g", false, std::string()},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text ? k.text : "(null)");
        HexBuffer buffer;
        EXPECT_EQ(buffer.convert(k.text), k.ok);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size()), k.bytes);
    }
    // a buffer used again starts from nothing
    HexBuffer again;
    ASSERT_TRUE(again.convert(many.c_str()));
    EXPECT_FALSE(again.convert("zz"));
    EXPECT_EQ(again.size(), 0u);
    ASSERT_TRUE(again.convert("0102"));
    EXPECT_EQ(again.size(), 2u);
}
