"""Shared pieces of the publisher's tools' tests: the built tools, sample trees, keys made with openssl."""
import os
import shutil
import subprocess
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.environ.get("QELMORA_PUBLISHER_DIR", os.path.join(ROOT, "build", "native", "publisher"))
PUBLISH = os.path.join(TOOLS, "qelmora-publish")
CHECK = os.path.join(TOOLS, "qelmora-check")
MANIFEST_FOLDER = "Lineinstall_qmra"

# A product as a publisher has it on Linux: UTF-8 names, nested and dotted folders, a dotless file in a
# dotted folder (fetched: its request path has a "."), Chinese names, a "%" and a space.
SAMPLE = {
    "Termview.exe": b"MZ" + bytes(range(256)) * 40,
    "readme.txt": "Qelmora 产品\r\n".encode("gbk"),
    "bin/tools/convert.dll": os.urandom(70_000),
    "plugins.d/helper": b"dotless name in a dotted folder",
    "文档/用户手册.txt": "第一章\r\n".encode("gbk"),
    "文档/图片/封面.bmp": os.urandom(5_000),
    "100% sure.txt": b"percent",
    "a b/c d.txt": b"spaces",
}


def run(argv, **kwargs):
    """Runs a tool; returns (exit code, stdout text)."""
    proc = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120, **kwargs)
    return proc.returncode, proc.stdout.decode("utf-8", "replace")


def make_tree(base, files):
    shutil.rmtree(base, ignore_errors=True)
    for name, data in files.items():
        path = os.path.join(base, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return base


def list_line(name):
    return name.replace("/", "\\").encode("gbk")


def make_key(folder, name):
    """An ECDSA P-256 key pair as the README has the publisher make it: (private.pem, public.pem)."""
    private = os.path.join(folder, name + "-private.pem")
    public = os.path.join(folder, name + "-public.pem")
    subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", private],
                   check=True, timeout=30)
    subprocess.run(["openssl", "ec", "-in", private, "-pubout", "-out", public], check=True, timeout=30,
                   stderr=subprocess.DEVNULL)
    return private, public


def scratch(name):
    base = os.path.join(ROOT, "build", "publisher-tests")
    os.makedirs(base, exist_ok=True)
    folder = tempfile.mkdtemp(prefix=name + "-", dir=base)
    os.chmod(folder, 0o755)   # nginx's workers run as another user
    return folder
