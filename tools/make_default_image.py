#!/usr/bin/env python3
"""Writes the stand-in default firmware image QUORVEL_140428_01_02.mot.

The real file comes from the device vendor; this one only has to look like it: an S0 header,
S2 data records of 16 bytes in the areas the device's flash uses (0x4000-0xDFFF and
0x10000-0x23FFF) with gaps, some rows of only FF (erased padding), and an S8 end record.
The bytes come from a fixed linear congruential generator, so the file is the same every run.
"""
import sys

AREAS = [  # (first address, last address + 1)
    (0x4000, 0x4800),    # reset and interrupt vectors, start-up code
    (0x5000, 0x9C00),    # program code
    (0xA000, 0xA400),    # constant tables
    (0xC000, 0xDE00),    # calibration data
    (0x10000, 0x1B800),  # program code, upper bank
    (0x1C000, 0x1E000),  # message texts
    (0x20000, 0x21000),  # parameter tables
]
FF_ROWS = {0x4400, 0x4410, 0x8000, 0x8010, 0x8020, 0x11000, 0x11010, 0x1D000}


def srec(kind, address_bytes, address, data):
    count = address_bytes + len(data) + 1
    body = bytes([count]) + address.to_bytes(address_bytes, "big") + bytes(data)
    checksum = 0xFF - (sum(body) & 0xFF)
    return f"S{kind}" + (body + bytes([checksum])).hex().upper()


def main(path):
    state = 0x1404_2801
    lines = [srec(0, 2, 0, b"QUORVEL_140428_01_02")]
    for first, end in AREAS:
        for address in range(first, end, 16):
            if address in FF_ROWS:
                data = [0xFF] * 16
            else:
                data = []
                for _ in range(16):
                    state = (state * 1103515245 + 12345) & 0x7FFFFFFF
                    data.append((state >> 16) & 0xFF)
            lines.append(srec(2, 3, address, data))
    lines.append(srec(8, 3, 0x4000, b""))
    with open(path, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "QUORVEL_140428_01_02.mot")
