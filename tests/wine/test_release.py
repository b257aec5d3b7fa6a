"""The installer as publishers ship it: its version resource, the stripped and signed release exe under Wine,
and a product listed by qelmora-publish installed into an identical tree."""
import os
import shutil
import subprocess
import sys
import unittest

import harness
from installer_case import INSTALL_DIR, InstallerCase

sys.path.insert(0, os.path.join(harness.ROOT, "tests", "publisher"))
from tools import PUBLISH, SAMPLE, make_tree  # noqa: E402

RELEASE_SCRIPT = os.path.join(harness.ROOT, "cmake", "release_exe.cmake")
STRIP = "%s-w64-mingw32-strip" % ("x86_64" if harness.WIN64 else "i686")


def openssl(*args, cwd):
    subprocess.run(["openssl"] + list(args), cwd=cwd, check=True, timeout=60, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_code_signing(folder, name):
    """A throwaway certificate authority and a code-signing certificate it issued, as PEM and PKCS#12."""
    os.makedirs(folder, exist_ok=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + "-ca.key", "-out", name + "-ca.pem",
            "-days", "2", "-subj", "/CN=%s test authority" % name, "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
            "-subj", "/CN=%s publisher" % name, cwd=folder)
    with open(os.path.join(folder, "codesign.cnf"), "w") as f:
        f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", name + ".csr", "-CA", name + "-ca.pem", "-CAkey", name + "-ca.key",
            "-CAcreateserial", "-out", name + ".pem", "-days", "2", "-extfile", "codesign.cnf", cwd=folder)
    with open(os.path.join(folder, name + ".pass"), "w") as f:
        f.write("not a real secret\n")
    openssl("pkcs12", "-export", "-in", name + ".pem", "-inkey", name + ".key", "-certfile", name + "-ca.pem",
            "-out", name + ".p12", "-passout", "file:" + name + ".pass", cwd=folder)
    return {k: os.path.join(folder, name + ext) for k, ext in
            (("ca", "-ca.pem"), ("cert", ".pem"), ("key", ".key"), ("p12", ".p12"), ("pass", ".pass"))}


# Where Wine runs a 64-bit build, scripts/test.sh still builds the product in build/windows.
PRODUCT_EXE = os.path.join(harness.ROOT, "build", "windows", "QelmoraSetup.exe") if harness.WIN64 else harness.EXE
PRODUCT_STRIP = "i686-w64-mingw32-strip"
# What a user downloads before anything else: the stripped 32-bit release exe, at most 0.6 MiB.
RELEASE_SIZE_LIMIT = int(0.6 * 1024 * 1024)


# The DLLs Windows 10 and 11 load from System32 only, whatever folder a program starts in (KnownDLLs).
KNOWN_DLLS = {"advapi32", "clbcatq", "combase", "comdlg32", "coml2", "gdi32", "gdiplus", "imagehlp", "imm32",
              "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost",
              "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32"}
COMMON_CONTROLS_6 = ('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', 'publicKeyToken="6595b64144ccf1df"')
WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
# A wininet.dll planted beside the exe: it leaves a mark when it is loaded, and exports nothing.
PLANTED_DLL = r"""
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        CloseHandle(CreateFileA(MARK, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0));
    return TRUE;
}
"""


def manifest_of(exe):
    found = harness.pe_resources(exe)
    if (24, 1) not in found:
        return ""
    at, size, _ = found[(24, 1)]
    with open(exe, "rb") as f:
        f.seek(at)
        return f.read(size).decode("utf-8")


def release_exe(out, exe=harness.EXE, strip=STRIP, **signing):
    """The release step the install runs, on the test build's exe unless told another."""
    args = ["cmake", "-DEXE=" + exe, "-DOUT=" + out, "-DSTRIP=" + strip]
    args += ["-D%s=%s" % (k, v) for k, v in signing.items()]
    return subprocess.run(args + ["-P", RELEASE_SCRIPT], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          timeout=120).returncode


def verify(exe, ca):
    proc = subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", exe], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=60)
    return proc.returncode, proc.stdout.decode("utf-8", "replace")


class Release(InstallerCase):
    module = "release"

    def setUp(self):
        super().setUp()
        self.work = os.path.join(self.wine.base, "release-work")
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.addCleanup(shutil.rmtree, self.work, True)

    def version(self, exe):
        rc, text = self.wine.driver("version", "Z:" + exe.replace("/", "\\"))
        self.assertEqual(rc, 0, text)
        values = dict(line.split(" ", 1) for line in text.splitlines())
        return {k: bytes.fromhex(v).decode("gbk") if k[0].isupper() else v for k, v in values.items()}

    def test_version_resource_and_a_stripped_release_folder(self):
        expected = {"fixed": "1.0.0.0 1.0.0.0", "translation": "080404b0", "ProductName": "Qelmora",
                    "FileDescription": "Qelmora 安装程序", "FileVersion": "1.0.0.0", "ProductVersion": "1.0.0.0",
                    "CompanyName": "Qelmora", "LegalCopyright": "Copyright (C) Qelmora",
                    "OriginalFilename": "QelmoraSetup.exe", "InternalName": "QelmoraSetup"}
        self.assertEqual(self.version(harness.EXE), expected)
        release = os.path.join(self.work, "release")
        proc = subprocess.run(["cmake", "--install", harness.WIN_BUILD, "--prefix", release], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=120)
        self.assertEqual(proc.returncode, 0, proc.stdout)
        exe = os.path.join(release, "QelmoraSetup.exe")
        size = os.path.getsize(exe)
        print("\nrelease exe: %d bytes (built: %d)" % (size, os.path.getsize(harness.EXE)))
        self.assertLess(size, os.path.getsize(harness.EXE) - 200_000, "symbols stripped")
        self.assertEqual(self.version(exe), expected)

    def test_the_shipped_program_is_a_small_32_bit_gui_program(self):
        machine, magic, subsystem = harness.pe_header(PRODUCT_EXE)
        self.assertEqual(machine, 0x14c, "an i386 program")
        self.assertEqual(magic, 0x10b, "PE32, not PE32+")
        self.assertEqual(subsystem, 2, "the Windows GUI subsystem")
        shipped = os.path.join(self.work, "shipped", "QelmoraSetup.exe")
        self.assertEqual(release_exe(shipped, exe=PRODUCT_EXE, strip=PRODUCT_STRIP), 0)
        size = os.path.getsize(shipped)
        print("\nshipped release exe: %d bytes (%.2f MiB)" % (size, size / 2**20))
        self.assertLessEqual(size, RELEASE_SIZE_LIMIT)

    def test_a_standard_user_runs_it_without_a_prompt_and_no_dll_comes_from_its_folder(self):
        shipped = os.path.join(self.work, "shipped", "QelmoraSetup.exe")
        self.assertEqual(release_exe(shipped, exe=PRODUCT_EXE, strip=PRODUCT_STRIP), 0)
        for exe in (harness.EXE, shipped):
            manifest = manifest_of(exe)
            self.assertIn('<requestedExecutionLevel level="asInvoker" uiAccess="false"/>', manifest, exe)
            self.assertIn('<supportedOS Id="%s"/>' % WINDOWS_10, manifest, exe)
            for part in COMMON_CONTROLS_6:
                self.assertIn(part, manifest, exe)
            self.assertIn(">true</gdiScaling>", manifest, exe)
            self.assertNotIn("dpiAware", manifest, "the skin keeps its pixels; Windows scales it")
            imports = {name.lower().rsplit(".", 1)[0] for name in harness.pe_imports(exe)}
            self.assertLessEqual(imports, KNOWN_DLLS, exe)
            self.assertIn("kernel32", imports)

        # Started from a folder that holds a wininet.dll, the installer still shows its window, and the planted
        # DLL never runs: the installer loads wininet from System32 once it has said so. Wine prefers its own
        # builtin wininet to one beside the exe unless told to take a native one first, as Windows does.
        folder = os.path.join(self.work, "downloads")
        os.makedirs(folder)
        shutil.copy(harness.EXE, os.path.join(folder, "QelmoraSetup.exe"))
        mark = os.path.join(folder, "planted-dll-ran")
        source = os.path.join(self.work, "planted.c")
        with open(source, "w") as f:
            f.write('#define MARK "%s"\n' % ("Z:" + mark).replace("/", "\\\\") + PLANTED_DLL)
        compiler = "%s-w64-mingw32-gcc" % ("x86_64" if harness.WIN64 else "i686")
        subprocess.run([compiler, "-shared", "-o", os.path.join(folder, "wininet.dll"), source], check=True,
                       timeout=120)
        self.servers.append(harness.FaultServer(port=harness.INSTALLER_PORT, routes={}))
        overrides = self.wine.env["WINEDLLOVERRIDES"]
        self.wine.env["WINEDLLOVERRIDES"] = overrides + ";wininet=n,b"
        try:
            self.proc = self.wine.start(os.path.join(folder, "QelmoraSetup.exe"), name="planted")
        finally:
            self.wine.env["WINEDLLOVERRIDES"] = overrides
        rc, _ = self.wine.driver("wait-window", 30000)
        self.assertEqual(rc, 0, "the window comes up")
        self.wine.driver("click", 1001)          # the first requests go through wininet
        self.assertTrue(self.wait_visible(1003))
        self.assertFalse(os.path.exists(mark))

    def test_signed_release_verifies_and_runs(self):
        ours = make_code_signing(os.path.join(self.work, "pki"), "ours")
        theirs = make_code_signing(os.path.join(self.work, "pki"), "theirs")
        by_p12 = os.path.join(self.work, "p12", "QelmoraSetup.exe")
        by_pem = os.path.join(self.work, "pem", "QelmoraSetup.exe")
        self.assertEqual(release_exe(by_p12, PKCS12=ours["p12"], PASSWORD_FILE=ours["pass"]), 0)
        self.assertEqual(release_exe(by_pem, CERT=ours["cert"], KEY=ours["key"]), 0)
        for exe in (by_p12, by_pem):
            rc, text = verify(exe, ours["ca"])
            self.assertEqual(rc, 0, text)
            self.assertIn("Signature verification: ok", text)
            self.assertNotEqual(verify(exe, theirs["ca"])[0], 0, "another authority does not vouch for it")
        # A wrong password signs nothing and leaves no exe behind.
        with open(os.path.join(self.work, "wrong.pass"), "w") as f:
            f.write("wrong\n")
        failed = os.path.join(self.work, "failed", "QelmoraSetup.exe")
        self.assertNotEqual(release_exe(failed, PKCS12=ours["p12"], PASSWORD_FILE=f.name), 0)
        self.assertEqual(os.listdir(os.path.dirname(failed)), [])
        # One changed byte after signing breaks the signature.
        tampered = os.path.join(self.work, "tampered.exe")
        shutil.copy(by_p12, tampered)
        with open(tampered, "r+b") as f:
            f.seek(0x400)
            byte = f.read(1)
            f.seek(0x400)
            f.write(bytes([byte[0] ^ 1]))
        self.assertNotEqual(verify(tampered, ours["ca"])[0], 0)

        self.proc = self.wine.start(by_p12, name="signed")
        rc, text = self.wine.driver("wait-window", 30000)
        self.assertEqual(rc, 0, "the signed exe shows its window")
        self.assertTrue(self.visible(1001))
        self.shot("release-signed")

    def test_published_product_installs_into_an_identical_tree(self):
        product = make_tree(os.path.join(self.work, "product"), SAMPLE)
        root = os.path.join(self.work, "root")
        proc = subprocess.run([PUBLISH, product, "--server-dir", os.path.join(root, "Lineinstall_qmra")],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        self.assertEqual(proc.returncode, 0, proc.stdout)
        os.chmod(self.work, 0o755)
        self.servers.append(harness.Nginx(root, harness.INSTALLER_PORT))
        self.start_installer()
        self.wine.driver("click", 1001)
        self.assertTrue(self.wait_visible(1003, 60000))
        installed = {}
        for base, _, names in os.walk(self.dir):
            for name in names:
                path = os.path.join(base, name)
                with open(path, "rb") as f:
                    installed[os.path.relpath(path, self.dir)] = f.read()
        installed.pop("unload.bat")
        self.assertEqual(installed, SAMPLE)
        script = self.script()
        for name in SAMPLE:
            self.assertIn(harness.batch_file_line(INSTALL_DIR + name), script)


if __name__ == "__main__":
    unittest.main()
