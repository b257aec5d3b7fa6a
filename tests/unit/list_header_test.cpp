// list.sha256's signed header and the one answer on a signed list: form, list digest, version, expiry, lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/list/list_files.h"
#include "engine/list/signed_list.h"

namespace {

const std::string kA(64, 'a');
const std::string kDigestHex = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";
const long long kNow = 1800000000;   // 2027-01-15T08:00:00Z

Sha256Digest ListDigest()
{
    Sha256Digest digest{};
    ParseLowerHexDigest(kDigestHex.data(), kDigestHex.size(), digest);
    return digest;
}

std::string Header(const std::string& version = "7", const std::string& expires = "2027-02-01T00:00:00Z",
                   const std::string& list = kDigestHex)
{
    return "qelmora-list 2\nversion " + version + "\nexpires " + expires + "\nlist.txt " + list + "\n";
}

struct Signed {
    explicit Signed(const std::string& manifest)
    {
        lines.Read(manifest.data(), manifest.size());
        plan = std::make_unique<ListPlan>(lines, "/Lineinstall_qmra/", kDefaultInstallDir936);
    }
    // As the installer and the checker ask: the bytes first, then the planned lines.
    ListVerdict Accept(const std::string& file, long long now = kNow, long long minVersion = 1)
    {
        const ListVerdict verdict = list.AcceptHeader(file, ListDigest(), now, minVersion);
        return verdict == ListVerdict::Ok ? list.AcceptLines(file, *plan) : verdict;
    }
    PackedLines lines;
    std::unique_ptr<ListPlan> plan;
    SignedList list;
};

}  // namespace

TEST(ListHeader, ReadsExactlyTheFourLinesAndWritesThemBack)
{
    const std::string text = Header("1800000000") + kA + "  5  a.dll\n";
    ListHeader header;
    size_t body = 0;
    ASSERT_TRUE(ReadListHeader(text.data(), text.size(), header, body));
    EXPECT_EQ(header.version, 1800000000);
    EXPECT_EQ(FormatUtcTime(header.expires), "2027-02-01T00:00:00Z");
    EXPECT_EQ(header.listDigest, ListDigest());
    EXPECT_EQ(text.substr(body), kA + "  5  a.dll\n");
    EXPECT_EQ(ListHeaderText(header), Header("1800000000"));

    const std::string good = Header();
    for (const std::string& bad : {
             std::string("qelmora-list 1\n") + good.substr(15),                        // the format without sizes
             good.substr(15),                                                          // a line missing
             "qelmora-list 2\nexpires 2027-02-01T00:00:00Z\nversion 7\nlist.txt " + kDigestHex + "\n",   // reordered
             "qelmora-list 2\r\nversion 7\r\nexpires 2027-02-01T00:00:00Z\r\nlist.txt " + kDigestHex + "\r\n",
             Header("7 "), Header(" 7"), Header("07"), Header("0"), Header("-7"), Header("+7"), Header(""),
             Header("9223372036854775808"), Header("7", "2027-02-01 00:00:00Z"), Header("7", "2027-02-01T00:00:00"),
             Header("7", "2027-02-29T00:00:00Z"), Header("7", "2027-13-01T00:00:00Z"), Header("7", "2027-01-01T24:00:00Z"),
             Header("7", "2027-01-01T00:00:60Z"), Header("7", "2027-02-01T00:00:00Z", kDigestHex.substr(1)),
             Header("7", "2027-02-01T00:00:00Z", std::string(64, 'A')),
             good.substr(0, good.size() - 1),                                          // no LF after the last
         }) {
        EXPECT_FALSE(ReadListHeader(bad.data(), bad.size(), header, body)) << bad;
    }
    EXPECT_TRUE(ReadListHeader(Header("9223372036854775807").data(), Header("9223372036854775807").size(), header, body));
    EXPECT_EQ(header.version, 9223372036854775807LL);
}

TEST(ListHeader, UtcTimesRoundTripAcrossLeapYearsAndEpochs)
{
    long long seconds = 0;
    ASSERT_TRUE(ParseUtcTime("1970-01-01T00:00:00Z", seconds));
    EXPECT_EQ(seconds, 0);
    ASSERT_TRUE(ParseUtcTime("2024-02-29T23:59:59Z", seconds));
    EXPECT_EQ(seconds, 1709251199);
    ASSERT_TRUE(ParseUtcTime("1969-12-31T23:59:59Z", seconds));
    EXPECT_EQ(seconds, -1);
    EXPECT_FALSE(ParseUtcTime("2100-02-29T00:00:00Z", seconds));   // not a leap year
    EXPECT_TRUE(ParseUtcTime("2000-02-29T00:00:00Z", seconds));    // a leap year
    for (long long t : {0LL, -1LL, 951782400LL, 1709251199LL, 253402300799LL})
        EXPECT_TRUE(ParseUtcTime(FormatUtcTime(t), seconds) && seconds == t) << t;
}

TEST(SignedList, AcceptsOnlyTheCurrentListItNames)
{
    const std::string digests = kA + "  0  a.dll\n" + kA + "  1234  sub\\b.dll\n";
    Signed s("a.dll\r\nsub\r\nsub\\b.dll\r\n");
    EXPECT_EQ(s.Accept(Header() + digests), ListVerdict::Ok);
    EXPECT_EQ(s.list.Header().version, 7);
    EXPECT_NE(s.list.DigestOf(0), nullptr);
    EXPECT_EQ(s.list.DigestOf(1), nullptr);
    EXPECT_NE(s.list.DigestOf(2), nullptr);
    EXPECT_EQ(s.list.SizeOf(0), 0);
    EXPECT_EQ(s.list.SizeOf(1), -1);
    EXPECT_EQ(s.list.SizeOf(2), 1234);

    EXPECT_EQ(s.Accept(digests), ListVerdict::BadHeader);   // a list signed before the header existed
    EXPECT_EQ(s.list.DigestOf(0), nullptr);
    EXPECT_EQ(s.list.SizeOf(0), -1);
    EXPECT_EQ(s.Accept(Header("7", "2027-02-01T00:00:00Z", kA) + digests), ListVerdict::ListChanged);
    EXPECT_EQ(s.Accept(Header() + digests, kNow, 8), ListVerdict::OldVersion);
    EXPECT_EQ(s.Accept(Header() + digests, kNow, 7), ListVerdict::Ok);
    // Expired at its very second; the header is still there to report.
    long long expires = 0;
    ParseUtcTime("2027-02-01T00:00:00Z", expires);
    EXPECT_EQ(s.Accept(Header() + digests, expires), ListVerdict::Expired);
    EXPECT_TRUE(s.list.HasHeader());
    EXPECT_EQ(s.Accept(Header() + digests, expires - 1), ListVerdict::Ok);
    EXPECT_EQ(s.Accept(Header() + kA + "  0  a.dll\n"), ListVerdict::LinesDiffer);
    // The lines are looked at only after the header held.
    SignedList fresh;
    EXPECT_EQ(fresh.AcceptLines(Header() + digests, *s.plan), ListVerdict::BadHeader);
    EXPECT_EQ(fresh.AcceptHeader(Header() + digests, ListDigest(), expires, 1), ListVerdict::Expired);
    EXPECT_EQ(fresh.AcceptLines(Header() + digests, *s.plan), ListVerdict::BadHeader);
    EXPECT_EQ(fresh.DigestOf(0), nullptr);
}

TEST(SignedList, AListNamingOneFileTwiceIsRefused)
{
    // ａ.dll and Ａ.dll (full-width) are one file on NTFS.
    Signed s("\xA3\xE1.dll\n\xA3\xC1.dll\n");
    EXPECT_EQ(s.Accept(Header() + kA + "  1  \xA3\xE1.dll\n" + kA + "  1  \xA3\xC1.dll\n"), ListVerdict::SameFile);
    Signed twice("a.dll\na.dll\n");
    EXPECT_EQ(twice.Accept(Header() + kA + "  1  a.dll\n" + kA + "  1  a.dll\n"), ListVerdict::SameFile);
}
