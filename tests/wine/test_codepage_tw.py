"""The installer on a Traditional-Chinese system: ANSI and OEM code page 950."""
import unittest

from codepage_case import CodePageTests
from installer_case import InstallerCase


class TraditionalChineseCodePages(CodePageTests, InstallerCase):
    module = "codepage-tw"
    locale = "zh_TW.UTF-8"
    code_pages = (950, 950)


if __name__ == "__main__":
    unittest.main(verbosity=2)
