// The install report address that the finish button opens in the browser.
#pragma once

#include <string>

// endpoint (scheme and host, no trailing '/') + "/other/install.aspx?usermac=[name]&agent=20&prd=702&type=N".
// The computer's name goes in as it is, without escaping.
std::string InstallReportAddress(const std::string& endpoint, const std::string& computerName, int type);

constexpr int kReportTypeInstalled = 204;
