// Reading list.sha256 and binding it to the fetched lines of list.txt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/digest_list.h"
#include "engine/manifest_reader.h"

namespace {

const std::string kA(64, 'a');
const std::string kB = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

std::vector<ListEntry> Manifest(const std::string& body)
{
    std::vector<ListEntry> entries;
    ManifestReader reader(entries);
    reader.Feed(body.data(), body.size());
    reader.Finish();
    return entries;
}

bool Read(DigestList& list, const std::string& body)
{
    return list.Read(body.data(), body.size());
}

}  // namespace

TEST(DigestList, ReadsLfAndCrLfLinesAndKeepsTheTextByteForByte)
{
    for (const char* end : {"\n", "\r\n"}) {
        DigestList list;
        const std::string body = kA + "  a.dll" + end + kB + "  sub\\数据 x.txt  " + end;
        ASSERT_TRUE(Read(list, body)) << end;
        ASSERT_EQ(list.size(), 2u);
        const auto entries = Manifest(std::string("a.dll") + end + "sub\\数据 x.txt  " + end);
        ASSERT_TRUE(list.Bind(entries, {0, 1}));
        EXPECT_EQ((*list.DigestOf(0))[0], 0xAA);
        EXPECT_EQ((*list.DigestOf(1))[0], 0x01);
        EXPECT_EQ((*list.DigestOf(1))[31], 0xEF);
    }
}

TEST(DigestList, AnEmptyListMatchesAManifestWithNothingFetched)
{
    DigestList list;
    ASSERT_TRUE(Read(list, ""));
    EXPECT_TRUE(list.Bind(Manifest("bin\n\nsub\n"), {}));
    EXPECT_EQ(list.DigestOf(0), nullptr);
}

TEST(DigestList, MalformedLinesRefuseTheWholeList)
{
    const std::string good = kA + "  a.dll\n";
    for (const std::string& bad : {
             std::string(63, 'a') + "  a.dll\n",                 // a digit short
             kA + "a  a.dll\n",                                  // a digit more
             std::string(63, 'a') + "A  a.dll\n",                // upper case
             std::string(63, 'a') + "g  a.dll\n",                // not hex
             kA + " a.dll\n",                                    // one space
             kA + " *a.dll\n",                                   // sha256sum's binary mark
             "\\" + kA + "  a\\\\b.dll\n",                       // sha256sum's escaping
             kA + "\n",                                          // no name
             std::string("\n"),                                  // an empty line
         }) {
        DigestList list;
        EXPECT_FALSE(Read(list, good + bad)) << bad;
        EXPECT_EQ(list.size(), 0u);
    }
    DigestList list;
    EXPECT_TRUE(Read(list, good + kA + "  \n"));   // an empty name is a line; Bind decides
}

TEST(DigestList, BindNeedsExactlyTheFetchedLinesInOrder)
{
    const auto entries = Manifest("a.dll\nbin\nb.dll\nc.dll\n");
    const std::vector<size_t> fetched = {0, 2, 3};
    auto bind = [&](const std::string& body, const std::vector<size_t>& lines) {
        DigestList list;
        return Read(list, body) && list.Bind(entries, lines);
    };
    const std::string a = kA + "  a.dll\n", b = kA + "  b.dll\n", c = kA + "  c.dll\n";
    EXPECT_TRUE(bind(a + b + c, fetched));
    EXPECT_FALSE(bind(a + c + b, fetched));                       // reordered
    EXPECT_FALSE(bind(a + b, fetched));                           // a line missing
    EXPECT_FALSE(bind(a + b + c + kA + "  d.dll\n", fetched));    // a line more
    EXPECT_FALSE(bind(a + kA + "  bin\n" + b + c, fetched));      // a line that is not fetched
    EXPECT_FALSE(bind(a + kA + "  B.dll\n" + c, fetched));        // names compare byte for byte
    EXPECT_FALSE(bind(a + kA + "  b.dll \n" + c, fetched));
    EXPECT_FALSE(bind(a + b + c, {0, 2, 9}));                     // no such entry
    EXPECT_FALSE(bind(a + b + c, {2, 0, 3}));                     // fetched out of order
}

TEST(DigestList, DigestsBelongToTheirEntriesOnly)
{
    const auto entries = Manifest("a.dll\nbin\na.dll\n");   // the same line twice, two digests
    DigestList list;
    ASSERT_TRUE(Read(list, kA + "  a.dll\n" + kB + "  a.dll\n"));
    ASSERT_TRUE(list.Bind(entries, {0, 2}));
    EXPECT_EQ((*list.DigestOf(0))[0], 0xAA);
    EXPECT_EQ(list.DigestOf(1), nullptr);
    EXPECT_EQ((*list.DigestOf(2))[0], 0x01);
    EXPECT_EQ(list.DigestOf(3), nullptr);

    ASSERT_FALSE(list.Bind(entries, {0}));
    EXPECT_EQ(list.DigestOf(0), nullptr);   // a failed bind leaves no digest behind
}

TEST(DigestList, HexDigests)
{
    Sha256Digest digest{};
    EXPECT_TRUE(ParseLowerHexDigest(kB.data(), kB.size(), digest));
    EXPECT_EQ(digest[1], 0x23);
    EXPECT_FALSE(ParseLowerHexDigest(kB.data(), 63, digest));
}
