#!/usr/bin/python3
"""Stands in for the user's browser under Wine: fetches the address it is given, once, and notes it."""
import os
import sys
import urllib.request

log = os.environ.get("QELMORA_BROWSER_LOG", "/tmp/qelmora-browser.log")
address = sys.argv[1] if len(sys.argv) > 1 else ""
with open(log, "a") as f:
    f.write(address + "\n")
try:
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    opener.open(address, timeout=5).read()
except Exception as error:  # the endpoint's answer does not matter
    with open(log, "a") as f:
        f.write("error %s\n" % error)
