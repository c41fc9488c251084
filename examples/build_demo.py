#!/usr/bin/env python3
"""Builds the demo dictionary and data file from their text sources with tools/btrutil.

Usage: build_demo.py SOURCE_DIR OUTPUT_DIR BTRUTIL

For each NAME in (demo.def, clients.dbt): NAME.desc is the file's description for
`btrutil -create`, NAME.txt its records, one per line, each a list of OFFSET:TYPE:VALUE items
("#" starts a comment; a value holding blanks is written in double quotes). Every record
starts as zero bytes of the description's record length. Types:
  u8 i16 u16 i32 u32   integers (decimal, or 0x hex), little-endian
  f32 f64 f80          IEEE single, double, 10-byte extended
  date                 YYYY-MM-DD as day, month, 16-bit year
  time                 HH:MM:SS.hh as hundredths, seconds, minutes, hours
  z / oem              text, stored in CP1251 / CP866 (no terminating byte added)
  lz / la              a length byte, then the text in CP866 / CP1251
  hex                  raw bytes
The records are written in btrutil's unformatted form and loaded into a new file.
"""
import math
import os
import re
import shlex
import struct
import subprocess
import sys


def extended(value):
    """A double as the 10-byte extended format: 64-bit mantissa, 15-bit exponent, sign."""
    if value == 0:
        return bytes(10)
    sign = 0x8000 if value < 0 else 0
    mantissa, exponent = math.frexp(abs(value))  # value = mantissa * 2**exponent, 0.5 <= m < 1
    bits = int(mantissa * (1 << 64))
    return struct.pack("<QH", bits, sign | (exponent - 1 + 16383))


def encode(kind, value):
    if kind in ("u8", "i16", "u16", "i32", "u32"):
        fmt = {"u8": "<B", "i16": "<h", "u16": "<H", "i32": "<i", "u32": "<I"}[kind]
        return struct.pack(fmt, int(value, 0))
    if kind == "f32":
        return struct.pack("<f", float(value))
    if kind == "f64":
        return struct.pack("<d", float(value))
    if kind == "f80":
        return extended(float(value))
    if kind == "date":
        y, m, d = (int(x) for x in value.split("-"))
        return struct.pack("<BBH", d, m, y)
    if kind == "time":
        h, m, rest = value.split(":")
        s, hh = rest.split(".")
        return bytes([int(hh), int(s), int(m), int(h)])
    if kind == "z":
        return value.encode("cp1251")
    if kind == "oem":
        return value.encode("cp866")
    if kind == "lz":
        text = value.encode("cp866")
        return bytes([len(text)]) + text
    if kind == "la":
        text = value.encode("cp1251")
        return bytes([len(text)]) + text
    if kind == "hex":
        return bytes.fromhex(value)
    raise ValueError(f"unknown item type {kind}")


def record_length(desc_path):
    with open(desc_path, encoding="ascii") as f:
        match = re.search(r"record=(\d+)", f.read())
    if not match:
        raise ValueError(f"{desc_path}: no record= length")
    return int(match.group(1))


def records(source_path, length):
    out = []
    with open(source_path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            items = shlex.split(line, comments=True)
            if not items:
                continue
            record = bytearray(length)
            for item in items:
                try:
                    offset, kind, value = item.split(":", 2)
                    data = encode(kind, value)
                    start = int(offset)
                    if start + len(data) > length:
                        raise ValueError("past the end of the record")
                    record[start:start + len(data)] = data
                except ValueError as e:
                    raise SystemExit(f"{source_path}:{number}: {item}: {e}")
            out.append(bytes(record))
    return out


def build(source_dir, output_dir, btrutil, name):
    desc = os.path.join(source_dir, name + ".desc")
    target = os.path.join(output_dir, name)
    unformatted = target + ".unf"
    with open(unformatted, "wb") as f:
        for record in records(os.path.join(source_dir, name + ".txt"), record_length(desc)):
            f.write(str(len(record)).encode() + b"," + record + b"\r\n")
        f.write(b"\x1a")
    subprocess.run([btrutil, "-create", target, desc, "Y"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([btrutil, "-load", unformatted, target], check=True, stdout=subprocess.DEVNULL)
    os.remove(unformatted)


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    source_dir, output_dir, btrutil = sys.argv[1:]
    os.makedirs(output_dir, exist_ok=True)
    for name in ("demo.def", "clients.dbt"):
        build(source_dir, output_dir, btrutil, name)


if __name__ == "__main__":
    main()
