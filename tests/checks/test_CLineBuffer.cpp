// Cutting received bytes into lines, however the bytes arrive.

#include "CLineBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> feed(const std::vector<std::string>& pieces, std::string* rest)
{
    CLineBuffer buffer;
    std::vector<std::string> lines;
    std::string line;
    for (const std::string& p : pieces) {
        buffer.append(p.data(), p.size());
        while (buffer.takeLine(line))
            lines.push_back(line);
    }
    buffer.takeAll(*rest);
    EXPECT_TRUE(buffer.empty());
    return lines;
}

} // namespace

TEST(LineBuffer, LinesAndRestWhateverThePieces)
{
    struct Case {
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
        std::string rest;
    } cases[] = {
        {{"220 ready\r\n"}, {"220 ready"}, ""},
        {{"a\nb\r\nc"}, {"a", "b"}, "c"},
        {{"a\r", "\nb"}, {"a"}, "b"},               // CR and LF in different pieces
        {{"x\r\r\n"}, {"x\r"}, ""},                 // only one CR goes
        {{"\n\r\n"}, {"", ""}, ""},
        {{"no end"}, {}, "no end"},
        {{"sp", "lit", " line\n", "next"}, {"split line"}, "next"},
        {{std::string("nul\0inside\n", 11)}, {std::string("nul\0inside", 10)}, ""},
    };
    for (const Case& k : cases) {
        std::string rest;
        EXPECT_EQ(feed(k.pieces, &rest), k.lines);
        EXPECT_EQ(rest, k.rest);
    }
}

TEST(LineBuffer, OverlongLinesComeOutInPiecesOfTheCut)
{
    const size_t cut = CLineBuffer::kLongLineCut;
    struct Case {
        size_t length;
        bool lineEnd;
        std::vector<size_t> pieces;
        size_t rest;
    } cases[] = {
        {70000, true, {cut, 70000 - cut}, 0},
        {70000, false, {cut}, 70000 - cut},
        {cut - 1, true, {cut - 1}, 0},
        {cut, true, {cut}, 0},
        {cut + 1, true, {cut, 1}, 0},
        {2 * cut + 5, false, {cut, cut}, 5},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.length);
        std::string text(k.length, 'z');
        if (k.lineEnd)
            text += "\r\n";
        // in small pieces, as a slow peer sends them
        std::vector<std::string> pieces;
        for (size_t at = 0; at < text.size(); at += 4000)
            pieces.push_back(text.substr(at, 4000));
        std::string rest;
        const std::vector<std::string> lines = feed(pieces, &rest);
        ASSERT_EQ(lines.size(), k.pieces.size());
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].size(), k.pieces[i]);
        EXPECT_EQ(rest.size(), k.rest);
    }
}
