// The failed end's status texts: the exact GB2312 bytes the window draws.
#include "ui/outcome_text.h"

#include <gtest/gtest.h>

namespace {

// The text as a GB2312 encoder writes it, spelt out so that a change of the source's encoding or of the
// compiler's execution character set cannot go unnoticed.
std::string Hex(const std::string& text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

InstallOutcome Ended(InstallEnd end, int failed = 0) { return InstallOutcome{end, failed}; }

}  // namespace

TEST(FailedEndText, EachEndHasItsGb2312Text)
{
    // 无法连接到服务器，安装未完成。
    EXPECT_EQ(Hex(FailedEndText(Ended(InstallEnd::ServerLost))),
              "cedeb7a8c1acbdd3b5bdb7fecef1c6f7a3acb0b2d7b0ceb4cdeab3c9a1a3");
    // 安装已停止。
    EXPECT_EQ(Hex(FailedEndText(Ended(InstallEnd::Stopped))), "b0b2d7b0d2d1cda3d6b9a1a3");
    EXPECT_EQ(FailedEndText(Ended(InstallEnd::ManifestRefused)), "安装文件清单无法获取。");
    EXPECT_EQ(FailedEndText(Ended(InstallEnd::NotVerified)), "安装文件校验失败，未安装任何文件。");
    // 安装文件清单已过期，请检查系统日期。: a list out of date, or a system date that is wrong
    EXPECT_EQ(Hex(FailedEndText(Ended(InstallEnd::ListExpired))),
              "b0b2d7b0cec4bcfec7e5b5a5d2d1b9fdc6daa3acc7ebbcecb2e9cfb5cdb3c8d5c6daa1a3");
}

TEST(FailedEndText, FailedFilesAreCounted)
{
    EXPECT_EQ(FailedEndText(Ended(InstallEnd::FilesFailed, 1)), "有 1 个文件未能安装。");
    EXPECT_EQ(FailedEndText(Ended(InstallEnd::FilesFailed, 2147483647)), "有 2147483647 个文件未能安装。");
    // 有 3 个文件未能安装。
    EXPECT_EQ(Hex(FailedEndText(Ended(InstallEnd::FilesFailed, 3))), "d3d0203320b8f6cec4bcfeceb4c4dcb0b2d7b0a1a3");
}

TEST(FailedEndText, AFailureWithoutAKnownCauseStillSaysSo)
{
    EXPECT_EQ(FailedEndText(Ended(InstallEnd::FilesFailed, 0)), "安装未完成。");
    // A local write failure: the text of the run's one message box as well.
    EXPECT_EQ(FailedEndText(Ended(InstallEnd::CannotWrite)), "无法写入安装文件夹，安装已停止。");
    EXPECT_EQ(FailedEndText(Ended(InstallEnd::DiskFull)), "磁盘空间不足，安装已停止。");
    EXPECT_EQ(FailedEndText(Ended(InstallEnd::Complete)), "安装未完成。");
    EXPECT_EQ(FailedEndText(Ended(static_cast<InstallEnd>(99))), "安装未完成。");
}
