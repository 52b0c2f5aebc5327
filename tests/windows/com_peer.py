#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The far end of the Windows port's tests: a pseudo-terminal whose slave
# side wine opens as COMn (links in the prefix's dosdevices), and on the
# master side a peer that takes commands, one a line:
#   ECHO N   reads the next N bytes and sends them back
#   HOLD N   sends XOFF and "HELD", waits a second, counts what came anyway,
#            sends XON, reads N bytes in all and answers "GOT HELD-COUNT N"
#   CLOSE    closes the line: the far end hangs up
# and on its standard input:
#   SEND FILE  sends the file's bytes, as the PC-8801 would send a transfer
#
#   com_peer.py DOSDEVICES NAME...    prints READY once the links are made
import os
import select
import sys
import threading
import time
import tty

XON, XOFF = b"\x11", b"\x13"


def read_exactly(fd, n, timeout=10.0):
    got = b""
    end = time.monotonic() + timeout
    while len(got) < n and time.monotonic() < end:
        if select.select([fd], [], [], 0.1)[0]:
            got += os.read(fd, n - len(got))
    return got


def read_line(fd):
    line = b""
    while not line.endswith(b"\n"):
        chunk = os.read(fd, 1)
        if not chunk:
            return None
        line += chunk
    return line.decode("ascii").strip()


def main():
    dosdevices, names = sys.argv[1], sys.argv[2:]
    master, slave = os.openpty()
    tty.setraw(master)
    # The slave stays open here too, so that wine opening and closing the
    # port between tests never leaves the line without a holder.
    path = os.ttyname(slave)
    links = [os.path.join(dosdevices, name) for name in names]
    for link in links:
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(path, link)
    print("READY", path, flush=True)

    def send_files():
        for command in sys.stdin:
            word, _, name = command.strip().partition(" ")
            if word == "SEND":
                with open(name, "rb") as f:
                    os.write(master, f.read())
                print("SENT", name, flush=True)

    threading.Thread(target=send_files, daemon=True).start()
    try:
        while True:
            try:
                line = read_line(master)
            except OSError:
                break
            if line is None:
                break
            word, _, arg = line.partition(" ")
            if word == "ECHO":
                os.write(master, read_exactly(master, int(arg)))
            elif word == "HOLD":
                os.write(master, XOFF + b"HELD\n")
                time.sleep(1.0)
                held = b""
                while select.select([master], [], [], 0)[0]:
                    held += os.read(master, 4096)
                os.write(master, XON)
                rest = read_exactly(master, int(arg) - len(held))
                os.write(master, b"GOT %d %d\n" % (len(held), len(held) + len(rest)))
            elif word == "CLOSE":
                os.close(slave)
                os.close(master)
                time.sleep(3)
                return
    finally:
        for link in links:
            if os.path.lexists(link):
                os.remove(link)


if __name__ == "__main__":
    main()
