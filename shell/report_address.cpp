// The install report address that the finish button opens in the browser.
#include "shell/report_address.h"

std::string InstallReportAddress(const std::string& endpoint, const std::string& computerName, int type)
{
    return endpoint + "/other/install.aspx?usermac=[" + computerName + "]&agent=20&prd=702&type=" +
           std::to_string(type);
}
