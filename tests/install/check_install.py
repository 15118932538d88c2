#!/usr/bin/env python3
"""Checks an installed Adwelder tree: what `cmake --install` or the Debian
package puts where, and that the installed programs run from there.

  check_install.py --build BUILD_DIR --version V   install BUILD_DIR into a
                                                   fresh staging root first
  check_install.py --root ROOT --prefix /usr --version V
                                                   check a tree already
                                                   unpacked under ROOT

The installed adweld-run posts one job to a server on 127.0.0.1, which it can
do only when it finds the companion library where the install put it.
"""
import argparse
import glob
import gzip
import http.server
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, timeout=60, **kw)


class Board(http.server.BaseHTTPRequestHandler):
    bodies = []

    def do_POST(self):
        n = int(self.headers.get("Content-Length", "0"))
        Board.bodies.append(self.rfile.read(n))
        self.send_response(200)
        self.send_header("Content-Length", "6")
        self.end_headers()
        self.wfile.write(b"posted")

    def log_message(self, *args):
        pass


def check_posting(bindir, work):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Board)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        script = os.path.join(work, "script")
        os.makedirs(script)
        plain = os.path.join(work, "board.txt")
        with open(plain, "wb") as f:
            f.write(b"[Project]\r\nNAME=Local\r\nSUBMIT=http://127.0.0.1:%d/add\r\nSUBBODY=t=$TEXT\r\n"
                    % server.server_port)
        packed = run([os.path.join(bindir, "adweld-board"), "pack", plain, os.path.join(script, "Local.prj")])
        check(packed.returncode == 0, "adweld-board pack failed: " + packed.stderr)
        with open(os.path.join(script, "base.dat"), "wb") as f:
            f.write(b"[Ad]\r\nText$TEXT=hello\r\nreppath=" + work.encode() + b"\r\n")
        settings = os.path.join(work, "adwelder.ini")
        with open(settings, "wb") as f:
            f.write(b"[Save]\r\nedTimeOut_Text=10\r\n")
        posted = run([os.path.join(bindir, "adweld-run"), "--script", script, "--settings", settings,
                      "--boards", "all"])
        check(posted.returncode == 0 and "jobs=1 succeeded=1 failed=0" in posted.stdout,
              "installed adweld-run did not post: %d %s %s" % (posted.returncode, posted.stdout, posted.stderr))
        check(Board.bodies == [b"t=hello"], "the board received %r" % Board.bodies)
    finally:
        server.shutdown()


def check_tree(root, prefix, version, work):
    base = root + prefix
    bindir = os.path.join(base, "bin")
    share = os.path.join(base, "share")
    for tool in ("adwelder", "adweld-board", "adweld-run"):
        path = os.path.join(bindir, tool)
        check(os.access(path, os.X_OK), tool + " not installed in bin")
        if os.access(path, os.X_OK):
            out = run([path, "--version"])
            check(out.returncode == 0 and out.stdout == "%s %s\n" % (tool, version),
                  "%s --version printed %r" % (tool, out.stdout))
    check(not os.path.exists(os.path.join(bindir, "libbanrun.so")), "the companion library lies in bin")
    companions = glob.glob(os.path.join(base, "lib*", "**", "adwelder", "libbanrun.so"), recursive=True)
    check(len(companions) == 1, "companion library in the private library folder: %r" % companions)

    desktop = os.path.join(share, "applications", "com.example.adwelder.desktop")
    if os.path.isfile(desktop):
        text = open(desktop, encoding="utf-8").read()
        check("\nExec=adwelder\n" in text and "\nIcon=adwelder\n" in text, "desktop entry names the program")
    else:
        check(False, "no desktop entry")
    for size in (32, 48, 64, 128, 256):
        icon = os.path.join(share, "icons", "hicolor", "%dx%d" % (size, size), "apps", "adwelder.png")
        check(os.path.isfile(icon) and png_size(icon) == (size, size), "hicolor icon %dx%d" % (size, size))

    metainfo = os.path.join(share, "metainfo", "com.example.adwelder.metainfo.xml")
    if os.path.isfile(metainfo):
        check('<release version="%s"' % version in open(metainfo, encoding="utf-8").read(),
              "metainfo names the release " + version)
        if shutil.which("appstreamcli"):
            valid = run(["appstreamcli", "validate", "--no-net", metainfo])
            check(valid.returncode == 0, "appstreamcli validate: " + valid.stdout + valid.stderr)
    else:
        check(False, "no AppStream metainfo")

    for page in ("adwelder", "adweld-board", "adweld-run"):
        path = os.path.join(share, "man", "man1", page + ".1.gz")
        check(os.path.isfile(path) and gzip.open(path).read().startswith(b".TH " + page.upper().encode()),
              "manual page " + page)
    doc = os.path.join(share, "doc", "adwelder")
    check(os.path.isfile(os.path.join(doc, "copyright")), "no copyright file")
    changelog = os.path.join(doc, "changelog.gz")
    check(os.path.isfile(changelog) and gzip.open(changelog).read().startswith(b"adwelder (%s)" % version.encode()),
          "changelog names the release " + version)
    check_posting(bindir, work)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build")
    parser.add_argument("--root")
    parser.add_argument("--prefix", default="/usr")
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        root, prefix = args.root, args.prefix
        if args.build:
            root = os.path.join(work, "stage")
            env = dict(os.environ, DESTDIR=root)
            installed = run(["cmake", "--install", args.build], env=env)
            if installed.returncode != 0:
                print(installed.stdout + installed.stderr)
                return 1
            cache = open(os.path.join(args.build, "CMakeCache.txt")).read()
            prefix = next(line.split("=", 1)[1] for line in cache.splitlines()
                          if line.startswith("CMAKE_INSTALL_PREFIX:"))
        check_tree(root, prefix, args.version, work)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
