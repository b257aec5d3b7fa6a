// The one-line text that the installing look shows after a run that did not succeed.
#include "ui/outcome_text.h"

std::string FailedEndText(const InstallOutcome& outcome)
{
    switch (outcome.end) {
    case InstallEnd::ServerLost:
        return "无法连接到服务器，安装未完成。";
    case InstallEnd::FilesFailed:
        if (outcome.failedFiles > 0)
            return "有 " + std::to_string(outcome.failedFiles) + " 个文件未能安装。";
        break;
    case InstallEnd::Stopped:
        return "安装已停止。";
    case InstallEnd::ManifestRefused:
        return "安装文件清单无法获取。";
    case InstallEnd::NotVerified:
        return "安装文件校验失败，未安装任何文件。";
    case InstallEnd::ListExpired:
        return "安装文件清单已过期，请检查系统日期。";
    case InstallEnd::LocalWriteFailed:
    case InstallEnd::Complete:
        break;
    }
    return "安装未完成。";
}
