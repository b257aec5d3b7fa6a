// Reading list.txt into lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/list/list_files.h"
#include "engine/list/list_lines.h"
#include "engine/list/manifest_reader.h"

namespace {

std::vector<std::string> Read(const std::string& body, size_t piece = 0)
{
    std::vector<ListEntry> entries;
    ManifestReader reader(entries);
    if (piece == 0)
        piece = body.size() ? body.size() : 1;
    for (size_t i = 0; i < body.size(); i += piece)
        reader.Feed(body.data() + i, std::min(piece, body.size() - i));
    reader.Finish();
    std::vector<std::string> texts;
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].nLine, static_cast<int>(i));
        texts.push_back(entries[i].strText);
    }
    return texts;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(Manifest, CrLfAndLfReadTheSame)
{
    EXPECT_EQ(Read("a.dll\r\nsub\\b.dll\r\n"), (Lines{"a.dll", "sub\\b.dll"}));
    EXPECT_EQ(Read("a.dll\nsub\\b.dll\n"), (Lines{"a.dll", "sub\\b.dll"}));
}

TEST(Manifest, LastLineWithoutLineFeedCountsAndTrailingLineFeedAddsNothing)
{
    EXPECT_EQ(Read("a.dll\nb.dll"), (Lines{"a.dll", "b.dll"}));
    EXPECT_EQ(Read("a.dll\n"), (Lines{"a.dll"}));
    EXPECT_EQ(Read("a.dll\n\r"), (Lines{"a.dll"}));
    EXPECT_EQ(Read(""), Lines{});
}

TEST(Manifest, EmptyLinesInsideStayAndNothingIsTrimmed)
{
    EXPECT_EQ(Read("a\n\n b \t\nc"), (Lines{"a", "", " b \t", "c"}));
    EXPECT_EQ(Read("\n"), (Lines{""}));
}

TEST(Manifest, CarriageReturnInsideALineVanishes)
{
    EXPECT_EQ(Read("c\rr.dll\n"), (Lines{"cr.dll"}));
}

TEST(Manifest, PiecesOfAnySizeGiveTheSameLines)
{
    const std::string body = "one.dll\r\ntwo\\three.dll\r\n\r\nfour.cfg";
    const Lines whole = Read(body);
    for (size_t piece = 1; piece <= body.size(); ++piece)
        EXPECT_EQ(Read(body, piece), whole) << "piece " << piece;
}

TEST(Manifest, GbkBytesPassThroughUntouched)
{
    EXPECT_EQ(Read("\xCA\xFD\xBE\xDD\\\xCB\xB5.txt\r\n"), (Lines{"\xCA\xFD\xBE\xDD\\\xCB\xB5.txt"}));
}

TEST(Manifest, NoMoreLinesThanTheLimit)
{
    // A list of nothing but line feeds is refused by its count, as a larger one is by its size.
    std::string feeds(kMaxManifestLines, '\n');
    std::vector<ListEntry> entries;
    ManifestReader reader(entries);
    EXPECT_TRUE(reader.Feed(feeds.data(), feeds.size()));
    EXPECT_FALSE(reader.Feed("a", 1) && reader.Finish());
    PackedLines packed;
    EXPECT_TRUE(packed.Read(feeds.data(), feeds.size()));
    EXPECT_EQ(packed.size(), kMaxManifestLines);
    feeds.push_back('x');
    EXPECT_FALSE(packed.Adopt(std::move(feeds)));
}
