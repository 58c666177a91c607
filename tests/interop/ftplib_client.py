#!/usr/bin/env python3
"""Drives kftpd with Python's ftplib for the interop tests.

Usage: ftplib_client.py SCENARIO --port P --user U --password W --root DIR [--outside DIR]
                        [--active] [--path PATH] [--read-only]

Each scenario checks what the server did against the files below --root (the account's
folder as the server sees it) and prints "OK" at the end; a failed check prints
"FAIL: ..." on stderr and exits with status 1. The listing scenario prints what the client
received and leaves the judging to the caller.
"""

import argparse
import ftplib
import io
import os
import random
import re
import sys
import time
import traceback

# ASCII -> EBCDIC as the server translates type E: the classic dd conversion table.
ASCII_TO_EBCDIC = bytes.fromhex(
    "00010203372d2e2f1605250b0c0d0e0f"
    "101112133c3d322618193f271c1d1e1f"
    "404f7f7b5b6c507d4d5d5c4e6b604b61"
    "f0f1f2f3f4f5f6f7f8f97a5e4c7e6e6f"
    "7cc1c2c3c4c5c6c7c8c9d1d2d3d4d5d6"
    "d7d8d9e2e3e4e5e6e7e8e94ae05a5f6d"
    "79818283848586878889919293949596"
    "979899a2a3a4a5a6a7a8a9c06ad0a107"
    "202122232415061728292a2b2c090a1b"
    "30311a333435360838393a3b04143ee1"
    "41424344454647484951525354555657"
    "58596263646566676869707172737475"
    "767778808a8b8c8d8e8f909a9b9c9d9e"
    "9fa0aaabacadaeafb0b1b2b3b4b5b6b7"
    "b8b9babbbcbdbebfcacbcccdcecfdadb"
    "dcdddedfeaebecedeeeffafbfcfdfeff"
)
EBCDIC_TO_ASCII = bytes(ASCII_TO_EBCDIC.index(b) for b in range(256))


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def pattern(size, seed):
    """Deterministic binary content."""
    return random.Random(seed).randbytes(size)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def snapshot(folder):
    """Every file and folder below `folder` with its content, to see that nothing changed."""
    state = {}
    for base, dirs, names in os.walk(folder, followlinks=False):
        for d in dirs:
            state[os.path.relpath(os.path.join(base, d), folder)] = None
        for n in names:
            full = os.path.join(base, n)
            state[os.path.relpath(full, folder)] = read(full) if os.path.isfile(full) else None
    return state


def expect_refusal(code, what, call, *args):
    try:
        call(*args)
    except ftplib.error_perm as e:
        check(str(e).startswith(code), f"{what}: expected a {code} refusal, got {e}")
        return
    raise Failure(f"{what}: succeeded, expected a {code} refusal")


class Client(ftplib.FTP):
    """ftplib.FTP that remembers the command words it sent and every reply line."""

    def __init__(self):
        super().__init__(timeout=10, encoding="latin-1")
        self.sent = []
        self.replies = []

    def putline(self, line):
        self.sent.append(line.split(" ", 1)[0].upper())
        super().putline(line)

    def getline(self):
        line = super().getline()
        self.replies.append(line)
        return line


def connect(args):
    f = Client()
    f.connect("127.0.0.1", args.port)
    check(f.login(args.user, args.password).startswith("230"), "login")
    f.set_pasv(not args.active)
    return f


def retr(f, command, rest=None):
    chunks = []
    f.retrbinary(command, chunks.append, rest=rest)
    return b"".join(chunks)


def raw_transfer(f, command, upload=None):
    """A transfer in the session's current type (ftplib forces TYPE I/A in its own methods)."""
    with f.transfercmd(command) as conn:
        if upload is not None:
            conn.sendall(upload)
            received = b""
        else:
            chunks = []
            while True:
                block = conn.recv(65536)
                if not block:
                    break
                chunks.append(block)
            received = b"".join(chunks)
    check(f.voidresp().startswith("226"), f"{command}: final reply")
    return received


def scenario_commands(f, args):
    """Every command that HELP offers, each checked against the disk."""
    root = args.root
    help_reply = f.sendcmd("HELP")
    check(help_reply.startswith("214-") and help_reply.splitlines()[-1].startswith("214 "),
          f"HELP reply form: {help_reply!r}")
    offered = dict((name, sign) for sign, name in re.findall(r"\[([+-])\](\w+)", help_reply))
    check(len(offered) >= 30, f"HELP lists the commands: {help_reply!r}")

    check(f.acct("PLANT").startswith("230"), "ACCT while logged in")
    check(f.sendcmd("SYST") == "215 UNIX Type: L8", "SYST")
    check(f.voidcmd("NOOP").startswith("200"), "NOOP")
    check(f.pwd() == root, f"PWD {f.pwd()!r}")
    check(ftplib.parse257(f.sendcmd("XPWD")) == root, "XPWD")

    check(f.mkd("MILL") == "MILL" and os.path.isdir(os.path.join(root, "MILL")), "MKD")
    check(ftplib.parse257(f.sendcmd("XMKD LATHE")) == "LATHE"
          and os.path.isdir(os.path.join(root, "LATHE")), "XMKD")
    f.cwd("MILL")
    check(f.pwd() == root + "/MILL", "CWD")
    f.cwd("..")  # ftplib sends CDUP
    check(f.pwd() == root, "CDUP")
    f.cwd("LATHE")
    check(f.sendcmd("XCUP").startswith("200") and f.pwd() == root, "XCUP")

    for setting in ("TYPE A", "TYPE A N", "TYPE L 8", "TYPE E", "TYPE I", "STRU F", "MODE S"):
        check(f.sendcmd(setting).startswith("200"), setting)

    # STOR and RETR over both kinds of data connection (PASV and PORT).
    data = pattern(100000, 2)
    prog = os.path.join(root, "MILL", "PROG.NC")
    for passive in (True, False):
        f.set_pasv(passive)
        f.storbinary("STOR MILL/PROG.NC", io.BytesIO(data))
        check(read(prog) == data, "STOR content")
        check(retr(f, "RETR MILL/PROG.NC") == data, "RETR content")
    f.set_pasv(not args.active)

    f.storbinary("APPE MILL/PROG.NC", io.BytesIO(b"tail"))
    check(read(prog) == data + b"tail", "APPE content")
    check(retr(f, "RETR MILL/PROG.NC", rest=99999) == data[99999:] + b"tail", "REST + RETR")
    f.storbinary("STOR MILL/PROG.NC", io.BytesIO(b"XYZ"), rest=10)
    expected = data[:10] + b"XYZ" + data[13:] + b"tail"
    check(read(prog) == expected, "REST + STOR overwrites in place")

    f.storbinary("STOU", io.BytesIO(b"unique"))
    made = [r for r in f.replies if r.startswith("150 FILE: ")][-1][len("150 FILE: "):]
    check(re.fullmatch(r"F0\d{5}", made) is not None, f"STOU name {made!r}")
    check(read(os.path.join(root, made)) == b"unique", "STOU content")
    f.storbinary("STOU WANTED.NC", io.BytesIO(b"wanted"))
    check(read(os.path.join(root, "WANTED.NC")) == b"wanted", "STOU with a free name")

    check(f.size("MILL/PROG.NC") == len(expected), "SIZE")
    stamp = 1204726029  # 2008-03-05 14:07:09 UTC
    os.utime(prog, (stamp, stamp))
    check(f.sendcmd("MDTM MILL/PROG.NC") == "213 20080305140709", "MDTM")

    lines = []
    f.retrlines("LIST MILL", lines.append)
    check(any(line.endswith(f" {len(expected)} Mar 05 14:07 PROG.NC") for line in lines),
          f"LIST {lines!r}")
    check(f.nlst("MILL") == ["PROG.NC"], f"NLST {f.nlst('MILL')!r}")

    f.rename("MILL/PROG.NC", "LATHE/PROG2.NC")
    check(not os.path.exists(prog)
          and read(os.path.join(root, "LATHE", "PROG2.NC")) == expected, "RNFR/RNTO")
    f.delete("LATHE/PROG2.NC")
    check(not os.path.exists(os.path.join(root, "LATHE", "PROG2.NC")), "DELE")
    f.rmd("MILL")
    check(f.sendcmd("XRMD LATHE").startswith("250"), "XRMD")
    check(not os.path.exists(os.path.join(root, "MILL"))
          and not os.path.exists(os.path.join(root, "LATHE")), "RMD")

    check(f.sendcmd("SITE CHMOD 644 WANTED.NC").startswith("200"), "SITE")
    check(f.sendcmd("ALLO 1000").startswith("202"), "ALLO")
    status = f.sendcmd("STAT")
    check(status.startswith("211-") and status.endswith("211 System status")
          and f"Login user: {args.user.upper()}." in status
          and f"Current directory: {root}" in status, f"STAT {status!r}")
    file_status = f.sendcmd("STAT WANTED.NC")
    check(file_status.startswith("213-") and " 6 " in file_status
          and file_status.endswith("213 File status."), f"STAT of a file {file_status!r}")
    expect_refusal("502", "SMNT", f.sendcmd, "SMNT X")
    check(f.abort().startswith("225"), "ABOR")  # sent as urgent data

    check(f.sendcmd("REIN").startswith("220"), "REIN")
    expect_refusal("530", "SYST after REIN", f.sendcmd, "SYST")
    f.login(args.user, args.password)
    check(f.pwd() == root, "login after REIN")
    check(f.quit().startswith("221"), "QUIT")

    sent = set(f.sent) | {"ABOR"}
    missing = sorted(name for name in offered if name not in sent)
    check(not missing, f"commands of the HELP list not exercised: {missing}")
    check(offered.get("SMNT") == "-", "HELP marks SMNT as not implemented")


def scenario_listing(f, args):
    """Prints LIST and NLST of --path as received, one line each, for the caller to judge."""
    lines = []
    f.retrlines(f"LIST {args.path}" if args.path else "LIST", lines.append)
    for line in lines:
        print(f"LIST|{line}")
    for name in f.nlst(args.path) if args.path else f.nlst():
        print(f"NLST|{name}")
    print(f"SYST|{f.sendcmd('SYST')}")
    f.quit()


def scenario_transfers(f, args):
    root = args.root
    data = pattern(300007, 3)
    # An upload broken off after 123457 bytes, resumed where the server's SIZE says.
    f.storbinary("STOR RESUME.BIN", io.BytesIO(data[:123457]))
    have = f.size("RESUME.BIN")
    check(have == 123457, f"SIZE after a partial upload: {have}")
    f.storbinary("STOR RESUME.BIN", io.BytesIO(data[have:]), rest=have)
    check(read(os.path.join(root, "RESUME.BIN")) == data, "upload resumed with REST")
    check(retr(f, "RETR RESUME.BIN", rest=200000) == data[200000:], "download resumed with REST")
    check(retr(f, "RETR RESUME.BIN") == data, "REST serves one transfer only")

    files = sorted(n for n in os.listdir(root) if os.path.isfile(os.path.join(root, n)))
    check(f.nlst() == files, f"NLST {f.nlst()!r} != {files!r}")
    for name in files:
        check(f.size(name) == os.path.getsize(os.path.join(root, name)), f"SIZE {name}")
        mtime = time.strftime("%Y%m%d%H%M%S",
                              time.localtime(os.path.getmtime(os.path.join(root, name))))
        check(f.sendcmd(f"MDTM {name}") == f"213 {mtime}", f"MDTM {name}")

    # Type E: EBCDIC on the wire, ASCII on disk, every byte value both ways.
    wire = bytes(range(256)) * 3
    check(f.sendcmd("TYPE E").startswith("200"), "TYPE E")
    raw_transfer(f, "STOR EBCDIC.DAT", upload=wire)
    check(read(os.path.join(root, "EBCDIC.DAT")) == wire.translate(EBCDIC_TO_ASCII),
          "type E upload stored as ASCII")
    check(raw_transfer(f, "RETR EBCDIC.DAT") == wire, "type E round trip")
    write(os.path.join(root, "TEXT.NC"), b"AB\r\n")
    check(raw_transfer(f, "RETR TEXT.NC") == b"\xc1\xc2\x0d\x25", "type E text")
    ebcdic_listing = raw_transfer(f, "LIST")
    check(f.sendcmd("TYPE A").startswith("200"), "TYPE A")
    ascii_listing = raw_transfer(f, "LIST")
    check(ebcdic_listing.translate(EBCDIC_TO_ASCII) == ascii_listing,
          "a type E listing is the ASCII listing translated")
    check(b"TEXT.NC\r\n" in ascii_listing, "listing names the new file")
    f.quit()


def scenario_confined(f, args):
    root, outside = args.root, args.outside
    before = snapshot(outside)
    attempts = [
        ("CDUP", f.sendcmd, "CDUP"),
        ("CWD ..", f.sendcmd, "CWD .."),
        ("CWD outside", f.cwd, outside),
        ("CWD through a link", f.cwd, "OUT"),
        ("RETR ..", retr, f, "RETR ../SECRET.NC"),
        ("RETR absolute", retr, f, f"RETR {outside}/SECRET.NC"),
        ("RETR through a link", retr, f, "RETR OUT/SECRET.NC"),
        ("STOR ..", f.storbinary, "STOR ../PLANT.NC", io.BytesIO(b"x")),
        ("STOR through a link", f.storbinary, "STOR OUT/PLANT.NC", io.BytesIO(b"x")),
        ("APPE ..", f.storbinary, "APPE ../SECRET.NC", io.BytesIO(b"x")),
        ("STOU ..", f.storbinary, "STOU ../PLANT.NC", io.BytesIO(b"x")),
        ("DELE ..", f.delete, "../SECRET.NC"),
        ("RNFR ..", f.rename, "../SECRET.NC", "MINE.NC"),
        ("RNTO ..", f.rename, "INSIDE.NC", "../MOVED.NC"),
        ("MKD ..", f.mkd, "../NEWDIR"),
        ("RMD ..", f.rmd, "../KEEP"),
        ("SIZE ..", f.size, "../SECRET.NC"),
        ("MDTM ..", f.sendcmd, "MDTM ../SECRET.NC"),
        ("LIST ..", f.retrlines, "LIST ..", lambda line: None),
        ("NLST ..", f.nlst, ".."),
        ("STAT ..", f.sendcmd, "STAT ../SECRET.NC"),
    ]
    for what, call, *call_args in attempts:
        expect_refusal("521", what, call, *call_args)
    check(snapshot(outside) == before, "nothing outside the account's folder changed")
    check(not os.path.exists(os.path.join(root, "MINE.NC")), "nothing was moved in")

    # Inside, everything works.
    check(f.pwd() == root, "still in the account's folder")
    check(retr(f, "RETR INSIDE.NC") == read(os.path.join(root, "INSIDE.NC")), "RETR inside")
    f.mkd("SUB")
    f.storbinary("STOR SUB/NEW.NC", io.BytesIO(b"new"))
    f.cwd("SUB")
    check(retr(f, "RETR ../INSIDE.NC") == read(os.path.join(root, "INSIDE.NC")),
          "a relative path that stays inside")
    f.cwd("..")
    check(read(os.path.join(root, "SUB", "NEW.NC")) == b"new", "STOR inside")
    f.quit()


def scenario_readonly(f, args):
    root = args.root
    before = snapshot(root)
    attempts = [
        ("STOR", f.storbinary, "STOR NEW.NC", io.BytesIO(b"x")),
        ("STOR over a file", f.storbinary, "STOR A.NC", io.BytesIO(b"x")),
        ("APPE", f.storbinary, "APPE A.NC", io.BytesIO(b"x")),
        ("STOU", f.storbinary, "STOU", io.BytesIO(b"x")),
        ("DELE", f.delete, "A.NC"),
        ("MKD", f.mkd, "NEWDIR"),
        ("XMKD", f.sendcmd, "XMKD NEWDIR"),
        ("RMD", f.rmd, "KEEP"),
        ("XRMD", f.sendcmd, "XRMD KEEP"),
        ("RNFR", f.rename, "A.NC", "B.NC"),
    ]
    for what, call, *call_args in attempts:
        expect_refusal("530", what, call, *call_args)
    check(snapshot(root) == before, "nothing changed")
    check(retr(f, "RETR A.NC") == read(os.path.join(root, "A.NC")), "RETR")
    check(f.size("A.NC") == os.path.getsize(os.path.join(root, "A.NC")), "SIZE")
    check("A.NC" in f.nlst(), "NLST")
    f.quit()


def expected_facts(path, read_only, listed=False):
    """The facts the server gives for `path`, from the file's own status."""
    st = os.stat(path)
    writable = bool(st.st_mode & 0o200) and not read_only
    facts = {
        "modify": time.strftime("%Y%m%d%H%M%S", time.gmtime(st.st_mtime)),
        "unix.mode": "%04o" % (st.st_mode & 0o7777),
    }
    if os.path.isdir(path):
        facts["type"] = "cdir" if listed else "dir"
        facts["perm"] = "e" + ("l" if st.st_mode & 0o400 else "") + ("cmpdf" if writable else "")
    else:
        facts["type"] = "file"
        facts["size"] = str(st.st_size)
        facts["perm"] = ("r" if st.st_mode & 0o400 else "") + ("wadf" if writable else "")
    return facts


def scenario_mlsd(f, args):
    """FEAT, MLSD and MLST as ftplib reads them, every fact checked against the disk."""
    root = args.root
    folder = os.path.join(root, args.path)
    feat = f.sendcmd("FEAT")
    check(" MLST type*;size*;modify*;perm*;unix.mode*;" in feat.splitlines(), f"FEAT {feat!r}")
    check(f.sendcmd("OPTS UTF8 ON").startswith("200"), "OPTS UTF8 ON")

    listed = {name: facts for name, facts in f.mlsd(args.path)}
    # ftplib decodes as latin-1: the bytes of each name, compared with the disk's.
    on_disk = sorted(os.listdir(os.fsencode(folder)))
    check(sorted(n.encode("latin-1") for n in listed if n != ".") == on_disk,
          f"MLSD names {sorted(listed)!r} != {on_disk!r}")
    check(listed.pop(".") == expected_facts(folder, args.read_only, listed=True), "cdir facts")
    for name, facts in listed.items():
        path = os.path.join(os.fsencode(folder), name.encode("latin-1"))
        want = expected_facts(path, args.read_only)
        check(facts == want, f"MLSD facts of {name!r}: {facts!r} != {want!r}")
        if args.read_only:
            check(set(facts["perm"]) <= set("rel"), f"read-only perm of {name!r}")

    # ftplib selects facts with OPTS MLST before its MLSD.
    for name, facts in f.mlsd(args.path, facts=["type", "size"]):
        keys = {"type", "size"} if facts["type"] == "file" else {"type"}
        check(set(facts) == keys, f"selected facts of {name!r}: {facts!r}")

    # MLST keeps that selection; it names the entry by its full path, as found on disk.
    for name, listed_facts in listed.items():
        reply = f.sendcmd(f"MLST {args.path}/{name}").splitlines()
        shown = os.fsencode(folder).decode("latin-1") + "/" + name
        check(len(reply) == 3 and reply[0] == f"250-Listing {shown}" and reply[2] == "250 End",
              f"MLST {name!r}: {reply!r}")
        facts_text, _, path = reply[1][1:].partition(" ")
        check(path == shown, f"MLST path {path!r}")
        want = {"type": listed_facts["type"]}
        if "size" in listed_facts:
            want["size"] = listed_facts["size"]
        check(dict(fact.split("=", 1) for fact in facts_text[:-1].split(";")) == want,
              f"MLST facts {facts_text!r}")
    f.quit()


SCENARIOS = {
    "commands": scenario_commands,
    "listing": scenario_listing,
    "mlsd": scenario_mlsd,
    "transfers": scenario_transfers,
    "confined": scenario_confined,
    "readonly": scenario_readonly,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--outside")
    parser.add_argument("--path", default="")
    parser.add_argument("--active", action="store_true")
    parser.add_argument("--read-only", action="store_true")
    args = parser.parse_args()
    try:
        f = connect(args)
        SCENARIOS[args.scenario](f, args)
    except Failure as e:
        print(f"FAIL: {e}", file=sys.stderr)
        return 1
    except ftplib.all_errors as e:
        print(f"FAIL: {type(e).__name__}: {e}\n{traceback.format_exc()}", file=sys.stderr)
        return 1
    if args.scenario != "listing":
        print("OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
