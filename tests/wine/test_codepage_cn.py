"""The installer on a Simplified-Chinese system: ANSI and OEM code page 936, the script byte for byte."""
import unittest

from codepage_case import CodePageTests
from installer_case import InstallerCase


class SimplifiedChineseCodePages(CodePageTests, InstallerCase):
    module = "codepage-cn"
    locale = "zh_CN.UTF-8"
    code_pages = (936, 936)


if __name__ == "__main__":
    unittest.main(verbosity=2)
