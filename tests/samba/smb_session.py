#!/usr/bin/python3
"""A Windows client's session of the desktop program, over SMB2/3 (impacket).

Does what the desktop program does when it opens a database from a share:
opens the database file for reading and writing, sharing both; creates the
lock file beside it, writes its machine and user record into its slot and
takes the slot's user lock (one byte at 0x10000001 + slot) and the
database's lock (0x10000000, 0x100 bytes); keeps all of it until a line
"stop" comes on standard input. "ready" on standard output says it holds
everything.

  --hold open     the database opened with share modes (and --cache), no
                  lock file, no byte lock
  --reads         instead of a session: reads the database whole, again and
                  again (--pause seconds apart), printing "whole SHA256" or
                  "refused STATUS" per copy, until "stop"
  read            (a line on stdin while holding) reads the database through
                  the open handle and prints "whole SHA256"

Exit status 0 when it held what it was asked to, 1 with the reason on stderr.
"""
import argparse
import hashlib
import select
import struct
import sys
import time

from impacket import smb3structs as s3
from impacket.nt_errors import STATUS_SUCCESS
from impacket.smbconnection import SMBConnection, SessionError

GENERIC_READ = 0x80000000
GENERIC_WRITE = 0x40000000
SHARE_READ, SHARE_WRITE = 0x1, 0x2
NON_DIRECTORY = 0x40
FILE_OPEN, FILE_OPEN_IF = 1, 3
ATTRIBUTE_NORMAL = 0x80

USER_LOCKS = 0x10000001  # one byte per session slot, on the lock file
DATABASE_LOCK = 0x10000000  # on the database, 0x100 bytes

LEASE_STATES = {"r": s3.SMB2_LEASE_READ_CACHING,
                "rh": s3.SMB2_LEASE_READ_CACHING | s3.SMB2_LEASE_HANDLE_CACHING,
                "rwh": s3.SMB2_LEASE_READ_CACHING | s3.SMB2_LEASE_WRITE_CACHING | s3.SMB2_LEASE_HANDLE_CACHING}


class RawContext:
    """A create context as the wire carries it (impacket asks for getData)."""

    def __init__(self, name, data):
        self.name, self.data = name, data

    def getData(self):
        # Name at 16, data 8-aligned after it.
        data_offset = 24
        return struct.pack("<LHHHHL", 0, 16, len(self.name), 0, data_offset, len(self.data)) + self.name + \
            b"\0" * (data_offset - 16 - len(self.name)) + self.data


def lease_context(state, dialect):
    key = hashlib.md5(b"vostrel-test-lease").digest()
    if dialect >= s3.SMB2_DIALECT_30:
        data = struct.pack("<16sLLQ16sHH", key, state, 0, 0, b"\0" * 16, 0, 0)
    else:
        data = struct.pack("<16sLLQ", key, state, 0, 0)
    return RawContext(b"RqLs", data)


def lock(conn, tree, fid, offset, length, exclusive):
    """One byte-range lock, failing at once where another holds it."""
    s = conn.getSMBServer()
    packet = s.SMB_PACKET()
    packet["Command"] = s3.SMB2_LOCK
    packet["TreeID"] = tree
    request = s3.SMB2Lock()
    request["FileID"] = fid
    request["LockCount"] = 1
    request["LockSequence"] = 0
    flags = (s3.SMB2_LOCKFLAG_EXCLUSIVE_LOCK if exclusive else s3.SMB2_LOCKFLAG_SHARED_LOCK) | \
        s3.SMB2_LOCKFLAG_FAIL_IMMEDIATELY
    request["Locks"] = struct.pack("<QQLL", offset, length, flags, 0)
    packet["Data"] = request
    answer = s.recvSMB(s.sendSMB(packet))
    answer.isValidAnswer(STATUS_SUCCESS)  # raises SessionError with the status otherwise


def read_whole(conn, tree, fid):
    # One READ request for a file up to the server's largest (8 MiB for
    # Samba): smbd reads it with one call, which a writer's lock refuses.
    size = conn.getSMBServer().getIOCapabilities()["MaxReadSize"]
    data = b""
    while True:
        try:
            block = conn.readFile(tree, fid, len(data), size)
        except SessionError as e:
            if e.getErrorCode() == 0xC0000011:  # STATUS_END_OF_FILE
                break
            raise
        if not block:
            break
        data += block
    return data


def status_name(e):
    return e.getErrorString()[0] if isinstance(e.getErrorString(), tuple) else str(e.getErrorCode())


def record(machine, user):
    # The desktop program's record: the machine NUL-padded, the user padded
    # with spaces, 32 bytes each.
    return machine.encode("cp1250")[:32].ljust(32, b"\0") + user.encode("cp1250")[:32].ljust(32, b" ")


def stdin_lines():
    for line in sys.stdin:
        yield line.strip()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--share", required=True)
    p.add_argument("--db", required=True, help="the database's name in the share")
    p.add_argument("--lock-file", help="the lock file's name in the share")
    p.add_argument("--machine", default="PC-ANA")
    p.add_argument("--client-user", default="ana")
    p.add_argument("--slot", type=int, default=0)
    p.add_argument("--hold", choices=["session", "open"], default="session")
    p.add_argument("--cache", choices=["none", "batch", "exclusive", "level2", "r", "rh", "rwh"], default="none")
    p.add_argument("--reads", action="store_true")
    p.add_argument("--pause", type=float, default=0.0, help="seconds between two copies")
    a = p.parse_args()

    conn = SMBConnection("127.0.0.1", "127.0.0.1", sess_port=a.port)
    conn.login(a.user, a.password)
    tree = conn.connectTree(a.share)

    if a.reads:
        print("ready", flush=True)
        while True:
            if select.select([sys.stdin], [], [], 0)[0] and sys.stdin.readline().strip() == "stop":
                break
            try:
                fid = conn.getSMBServer().create(tree, a.db, GENERIC_READ, SHARE_READ | SHARE_WRITE, NON_DIRECTORY,
                                                 FILE_OPEN, ATTRIBUTE_NORMAL)
                try:
                    print("whole", hashlib.sha256(read_whole(conn, tree, fid)).hexdigest(), flush=True)
                finally:
                    conn.closeFile(tree, fid)
            except SessionError as e:
                print("refused", status_name(e), flush=True)
            time.sleep(a.pause)
        return 0

    oplock = {"none": s3.SMB2_OPLOCK_LEVEL_NONE, "batch": s3.SMB2_OPLOCK_LEVEL_BATCH,
              "exclusive": s3.SMB2_OPLOCK_LEVEL_EXCLUSIVE, "level2": s3.SMB2_OPLOCK_LEVEL_II}.get(
                  a.cache, s3.SMB2_OPLOCK_LEVEL_LEASE)
    contexts = [lease_context(LEASE_STATES[a.cache], conn.getDialect())] if a.cache in LEASE_STATES else None
    s = conn.getSMBServer()
    db = s.create(tree, a.db, GENERIC_READ | GENERIC_WRITE, SHARE_READ | SHARE_WRITE, NON_DIRECTORY, FILE_OPEN,
                  ATTRIBUTE_NORMAL, oplockLevel=oplock, createContexts=contexts)
    held = [db]
    if a.hold == "session":
        ldb = s.create(tree, a.lock_file, GENERIC_READ | GENERIC_WRITE, SHARE_READ | SHARE_WRITE, NON_DIRECTORY,
                       FILE_OPEN_IF, ATTRIBUTE_NORMAL)
        held.append(ldb)
        conn.writeFile(tree, ldb, record(a.machine, a.client_user), a.slot * 64)
        lock(conn, tree, ldb, USER_LOCKS + a.slot, 1, exclusive=True)
        lock(conn, tree, db, DATABASE_LOCK, 0x100, exclusive=False)
    print("ready", flush=True)
    for line in stdin_lines():
        if line == "stop":
            break
        if line == "read":
            try:
                print("whole", hashlib.sha256(read_whole(conn, tree, db)).hexdigest(), flush=True)
            except SessionError as e:
                print("refused", status_name(e), flush=True)
    for fid in held:
        conn.closeFile(tree, fid)
    conn.logoff()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except SessionError as e:
        print("smb_session: " + status_name(e), file=sys.stderr, flush=True)
        sys.exit(1)
