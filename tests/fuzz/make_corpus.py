#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (tests/fuzz/corpus/<target>/).

    make_corpus.py [QIVPACK]

Run by hand when the seeds change; the files it writes are kept in the tree.
With the path of a built qivpack, streams it encodes from small inputs are
added to the decoder's seeds.
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


class Stream:
    """A module stream written bit by bit: header, literals, copies."""

    def __init__(self, declared):
        self.bits = []
        self.field(declared & 0xFFFFFFFF, 32)

    def field(self, value, n):
        self.bits += [(value >> i) & 1 for i in range(n - 1, -1, -1)]
        return self

    def literal(self, byte):
        return self.field(0, 1).field(byte, 8)

    def copy(self, position, count):
        return self.field(1, 1).field(position, 10).field(count, 4)

    def back(self, distance, count):
        return self.copy((1010 + 1024 - distance) % 1024, count)

    def bytes(self):
        bits = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def decoder_seeds():
    seeds = {
        "three_letters": bytes.fromhex("00000003 20FF12"),
        "initial_cells": bytes.fromhex("00000002 8824"),
        "header_zero": bytes.fromhex("00000000"),
        "header_negative": bytes.fromhex("FFFFFFFF 1234"),
        "header_short": bytes.fromhex("000000"),
        "empty": b"",
        "count_zero_copy": Stream(2).copy(7, 0).literal(0x41).copy(1009, 1).bytes(),
        "overlapping_run": Stream(16).literal(0x5A).back(1, 15).bytes(),
        "last_copy_overshoots": Stream(3).literal(1).back(1, 15).bytes(),
        "ends_early": Stream(1000).literal(1).back(1, 15).bytes(),
        "unwritten_cells": Stream(4).copy(1015, 2).literal(7).literal(8).bytes(),
    }
    # Past 1,024 bytes a copy from position 1010 repeats the byte 1,024 back.
    s = Stream(1024 + 20)
    for i in range(1024):
        s.literal((i * 7) & 0xFF)
    s.copy(1010, 10).copy(1010, 10)
    seeds["window_wraps"] = s.bytes()
    # More output than the staging area holds before it is flushed.
    s = Stream(75000).literal(0x90)
    for _ in range(75000 // 15):
        s.back(1, 15)
    seeds["passes_flush"] = s.bytes()
    return seeds


def packed_seeds(qivpack):
    inputs = {
        "packed_text": b"The decoder keeps a 16-bit window count. " * 12,
        "packed_zeros": bytes(600),
        "packed_ramp": bytes(range(256)) * 3,
        "packed_mixed": bytes(((i * i) >> 3 ^ (i % 5)) & 0xFF for i in range(1500)),
    }
    seeds = {}
    with tempfile.TemporaryDirectory() as tmp:
        for name, data in inputs.items():
            src, out = os.path.join(tmp, name), os.path.join(tmp, name + ".qvz")
            with open(src, "wb") as f:
                f.write(data)
            subprocess.run([qivpack, "encode", src, out], check=True)
            with open(out, "rb") as f:
                seeds[name] = f.read()
    return seeds


# The walk's input: fault byte, call byte, then keys (see layout_walk_fuzz.cpp).
FAULTS = {"none": 0, "create": 1, "enum": 2, "query": 3, "delete": 4}
TYPES = {"sz": 0, "dword": 1, "binary": 2, "none": 3}


def key(name, value=None, type="sz", values=None, other_case=False, below=False):
    if isinstance(name, str):
        name = name.encode("latin-1")
    kind = values if values is not None else (0 if value is None else 1)
    flags = kind | TYPES[type] << 2 | (0x20 if other_case else 0) | (0x40 if below else 0)
    value = value or b""
    if isinstance(value, str):
        value = value.encode("latin-1")
    return (len(name).to_bytes(2, "little") + name + bytes([flags]) +
            len(value).to_bytes(2, "little") + value)


def walk(fault="none", nth=1, *keys):
    return bytes([FAULTS[fault], nth - 1]) + b"".join(keys)


def walk_seeds():
    sz = b"QIV95.IME\0"
    return {
        "one_95_key": walk("none", 1, key("E0080404", sz, values=2)),
        "nt_after_others": walk("none", 1, key("00000409", "KBDUS.DLL\0"), key("E0010404", "OTHER.IME\0"),
                                key("E0020404", "QIVNT.IME\0", values=2)),
        "lower_case_then_nt": walk("none", 1, key("E0080404", "qiv95.ime\0"), key("E0090404", "QIVNT.IME\0")),
        "long_name_ends_walk": walk("none", 1, key("A" * 100, sz), key("E0080404", sz)),
        "name_of_99": walk("none", 1, key("B" * 99, sz), key("E0080404", sz)),
        "value_fills_buffer": walk("none", 1, key("K1", sz + bytes(90)), key("K2", b"QIV95.IME" + b"X" * 91)),
        "value_too_long": walk("none", 1, key("K1", sz + bytes(91)), key("K2", "QIVNT.IME")),
        "no_terminator": walk("none", 1, key("E0080404", "QIV95.IME", type="binary")),
        "dword_type": walk("none", 1, key("E0080404", sz, type="dword", other_case=True, below=True)),
        "two_matches": walk("none", 1, key("E0080404", sz), key("E0090404", "QIVNT.IME\0")),
        "empty_name_first": walk("none", 1, key("", sz), key("E0080404", sz)),
        "text_only": walk("none", 1, key("E0080404", sz, values=3), key("E0090404", "QIV95.IME\0junk")),
        "enum_fails": walk("enum", 2, key("00000409", "KBDUS.DLL\0"), key("E0080404", sz)),
        "query_fails": walk("query", 1, key("E0080404", sz), key("E0090404", sz)),
        "open_fails": walk("create", 1, key("E0080404", sz)),
        "delete_fails": walk("delete", 1, key("E0080404", sz), key("E0090404", sz)),
        "long_value_long_name": walk("none", 1, key("C" * 300, b"Z" * 300), key("D" * 150, sz)),
    }


def write(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    seeds = decoder_seeds()
    if len(sys.argv) > 1:
        seeds.update(packed_seeds(sys.argv[1]))
    write("module_decoder", seeds)
    write("layout_walk", walk_seeds())


if __name__ == "__main__":
    main()
