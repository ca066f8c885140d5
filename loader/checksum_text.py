#!/usr/bin/env python3
"""Writes a file's checksum text as a C++ initialiser line: the MD5 state words A, B, C, D
(little-endian in the digest) printed D, C, B, A with eight hex digits each, the form the
launcher compares loader digests in.

usage: checksum_text.py FILE OUTPUT
"""
import hashlib
import struct
import sys


def checksum_text(data):
    a, b, c, d = struct.unpack("<4I", hashlib.md5(data).digest())
    return "%.8x%.8x%.8x%.8x" % (d, c, b, a)


def main():
    source, output = sys.argv[1], sys.argv[2]
    with open(source, "rb") as f:
        text = checksum_text(f.read())
    with open(output, "w") as f:
        f.write('    u"%s",\n' % text)


if __name__ == "__main__":
    main()
