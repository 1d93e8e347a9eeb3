#!/usr/bin/env python3
"""Writes small ARJ archives by hand, for archives no archiver would make (hostile names).

    arj_write.py OUT.ARJ NAME=FILE [NAME=FILE ...]

Each member is stored (method 0) under NAME exactly as given, with its file name position
after the last backslash or slash of NAME only when NAME starts with '@' (the '@' is
dropped): so '..\\..\\x.exe' is stored with the whole name as its bare name.
"""
import struct
import sys
import zlib


def header(fields: bytes, name: bytes) -> bytes:
    basic = fields + name + b"\0" + b"\0"  # name, empty comment
    return (b"\x60\xea" + struct.pack("<H", len(basic)) + basic +
            struct.pack("<I", zlib.crc32(basic) & 0xFFFFFFFF) + b"\0\0")


def fixed(file_type, packed, unpacked, crc, name_pos):
    # first-part size, archiver version, minimum version, host system, flags, method,
    # file type, reserved, date and time, packed, unpacked, CRC, name position, mode, host data
    return struct.pack("<BBBBBBBBIIIIHHH", 30, 11, 1, 0, 0, 0, file_type, 0, 0x5A2E6B21,
                       packed, unpacked, crc, name_pos, 0o644, 0)


def main():
    out = sys.argv[1]
    data = header(fixed(2, 0, 0, 0, 0), b"HOSTILE.ARJ")
    for spec in sys.argv[2:]:
        name, path = spec.split("=", 1)
        pos = 0
        if name.startswith("@"):
            name = name[1:]
            pos = max(name.rfind("\\"), name.rfind("/")) + 1
        body = open(path, "rb").read()
        crc = zlib.crc32(body) & 0xFFFFFFFF
        data += header(fixed(0, len(body), len(body), crc, pos), name.encode("latin-1")) + body
    data += b"\x60\xea\0\0"
    open(out, "wb").write(data)


if __name__ == "__main__":
    main()
