// The install report address, byte for byte.
#include <gtest/gtest.h>

#include "shell/report_address.h"

TEST(ReportAddress, CarriesTheNameInBracketsAndTheFixedQuery)
{
    EXPECT_EQ(InstallReportAddress("http://report.example", "PC01", kReportTypeInstalled),
              "http://report.example/other/install.aspx?usermac=[PC01]&agent=20&prd=702&type=204");
}

TEST(ReportAddress, UnreadableNameLeavesEmptyBrackets)
{
    EXPECT_EQ(InstallReportAddress("http://r", "", 204), "http://r/other/install.aspx?usermac=[]&agent=20&prd=702&type=204");
}
