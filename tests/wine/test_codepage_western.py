"""The installer on a Western system: ANSI code page 1252, OEM code page 437."""
import unittest

from codepage_case import CodePageTests
from installer_case import InstallerCase


class WesternCodePages(CodePageTests, InstallerCase):
    module = "codepage-western"
    locale = "en_US.UTF-8"
    code_pages = (1252, 437)


if __name__ == "__main__":
    unittest.main(verbosity=2)
