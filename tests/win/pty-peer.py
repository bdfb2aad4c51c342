#!/usr/bin/env python3
"""The far end of a serial line for the Windows layer's tests under Wine.

Makes a Linux pseudo-terminal, links it into the private Wine prefix as a COM
port ($WINEPREFIX/dosdevices/comN -> /dev/pts/K), removes the link of a
second number so that port is missing, runs the test program under Wine and
answers what the program writes to the port, one command a line:

  echo HEX          sends the bytes at once
  later MS HEX      sends the bytes after MS milliseconds
  mirror N          sends back the N bytes that follow the line, as they are
  flood N           sends N bytes: 0, 1, ... 250, 0, 1, ...
  hangup            closes the pseudo-terminal: the device is gone

The pseudo-terminal's own side stays open here until the hang-up, so bytes
sent while the program has the port closed wait there, as on a real port.
The test program learns the two numbers from ZELT_PTY_COM and
ZELT_ABSENT_COM. The exit code is the program's.

  pty-peer.py <COM number> <missing COM number> <program> [arguments...]
"""
import os
import select
import subprocess
import sys
import time
import tty


def main():
    com, absent, program = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3:]
    prefix = os.environ["WINEPREFIX"]
    wine = os.environ.get("WINE", "wine")

    master, slave = os.openpty()
    tty.setraw(slave)
    devices = os.path.join(prefix, "dosdevices")
    link = os.path.join(devices, "com%d" % com)
    missing = os.path.join(devices, "com%d" % absent)
    for path in (link, missing):
        if os.path.lexists(path):
            os.unlink(path)
    os.symlink(os.ttyname(slave), link)

    env = dict(os.environ, ZELT_PTY_COM=str(com), ZELT_ABSENT_COM=str(absent))
    child = subprocess.Popen([wine] + program, env=env)

    pending = b""
    later = []  # (when, bytes)
    mirror_left = 0
    try:
        while child.poll() is None:
            if master is None:
                time.sleep(0.05)
                continue
            timeout = 0.1
            if later:
                timeout = max(0.0, min(timeout, min(w for w, _ in later) - time.monotonic()))
            ready, _, _ = select.select([master], [], [], timeout)
            now = time.monotonic()
            for item in [x for x in later if x[0] <= now]:
                later.remove(item)
                os.write(master, item[1])
            if not ready:
                continue
            try:
                data = os.read(master, 65536)
            except OSError:  # the program's side is closed for now
                time.sleep(0.05)
                continue
            pending += data
            while pending:
                if mirror_left:
                    part, pending = pending[:mirror_left], pending[mirror_left:]
                    mirror_left -= len(part)
                    os.write(master, part)
                    continue
                if b"\n" not in pending:
                    break
                line, pending = pending.split(b"\n", 1)
                words = line.decode("ascii", "replace").split()
                if not words:
                    continue
                if words[0] == "echo":
                    os.write(master, bytes.fromhex(words[1]))
                elif words[0] == "later":
                    later.append((time.monotonic() + int(words[1]) / 1000.0, bytes.fromhex(words[2])))
                elif words[0] == "mirror":
                    mirror_left = int(words[1])
                elif words[0] == "flood":
                    n = int(words[1])
                    os.write(master, bytes(i % 251 for i in range(n)))
                elif words[0] == "hangup":
                    os.close(master)
                    os.close(slave)
                    master = slave = None
                    pending = b""
                    break
                else:
                    print("pty-peer: unknown command %r" % line, file=sys.stderr)
    finally:
        if child.poll() is None:
            child.wait()
        if os.path.lexists(link):
            os.unlink(link)
    return child.returncode


if __name__ == "__main__":
    sys.exit(main())
