#!/usr/bin/env python3
"""Writes the data files of the bundled example update.

    examples/generate.py            (rewrites the files beside this script)

The scripts (script.ini, readid.ini, MB/script.ini, EXT/script.ini) are written
by hand; the images they name are made here, so they can be made again:

  BOOT_EXT_OPTION.HEX   the extended boot of the microcontroller (4000-5FFF)
  MB/bank0.hex          firmware 1.50, common bank (0000-7FFF)
  MB/bank1.hex ..7      firmware 1.50, paged banks (8000-FFFF each)
  MB/prom1.svf          configuration 2.10 of PROM 1, the device on the JTAG chain

The contents look like what a firmware build leaves behind (vectors, code,
tables, texts, unwritten gaps) but are made up; every run gives the same bytes.
Python 3 standard library only.
"""

import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))

RECORD_BYTES = 16          # data bytes per HEX record, as the firmware build writes them
JTAG_WORD_BYTES = 16       # the PROM is written in 128-bit words
PROM_WORDS = 64            # configuration words written to PROM 1

# Instruction codes of the PROM on the JTAG chain (8-bit instruction register).
IR_IDCODE = 0x01
IR_ADDRESS = 0x10
IR_WRITE = 0x11
IR_READ = 0x12
IR_ERASE = 0x13
IR_USER = 0x14
PROM_IDCODE = 0x1C0DE0A5


# ---- Intel HEX ---------------------------------------------------------------------

def hex_record(record_type, address, data):
    body = bytes([len(data), (address >> 8) & 0xFF, address & 0xFF, record_type]) + bytes(data)
    checksum = (256 - sum(body) % 256) % 256
    return ":" + body.hex().upper() + "%02X" % checksum


def hex_file(segments):
    """segments: list of (address, bytes); records never cross a 16-byte boundary."""
    lines = []
    for start, data in sorted(segments):
        offset = 0
        while offset < len(data):
            address = start + offset
            count = min(RECORD_BYTES - address % RECORD_BYTES, len(data) - offset)
            lines.append(hex_record(0x00, address, data[offset:offset + count]))
            offset += count
    lines.append(hex_record(0x01, 0, b""))
    return "\n".join(lines) + "\n"


# ---- Image contents -------------------------------------------------------------------

def code(rng, size):
    """Bytes that look like compiled code: mostly small opcodes and operands, few FF."""
    out = bytearray()
    while len(out) < size:
        opcode = rng.choice((0x02, 0x12, 0x22, 0x74, 0x75, 0x78, 0x79, 0x85, 0x90, 0xE0, 0xE4, 0xE5,
                             0xF0, 0xF5, 0x60, 0x70, 0x80, 0xB4, 0xC3, 0xD3, 0x24, 0x34, 0x94, 0xA3))
        out.append(opcode)
        for _ in range(rng.choice((0, 1, 1, 2))):
            out.append(rng.randrange(0, 0xFF))
    return bytes(out[:size])


def text_table(texts, size=None):
    data = b"".join(t.encode("ascii") + b"\0" for t in texts)
    return data if size is None else data.ljust(size, b"\0")


def gamma_table(gamma):
    return bytes(round(255 * (i / 255) ** (1 / gamma)) for i in range(256))


def sine_table(entries, amplitude, offset):
    return bytes(round(offset + amplitude * math.sin(2 * math.pi * i / entries)) & 0xFF for i in range(entries))


def crc16_table():
    table = bytearray()
    for byte in range(256):
        crc = byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
        table += (crc & 0xFFFF).to_bytes(2, "big")
    return bytes(table)


def bank_header(bank, version):
    # What the common bank reads to find a paged bank: signature, bank, version, size.
    return b"PB" + bytes([bank]) + version.encode("ascii") + b"\0" * 9


def ljmp(address):
    return bytes([0x02, address >> 8, address & 0xFF])


def bank0(rng):
    # Reset, then the interrupt vectors 8 bytes apart: external 0, timer 0, external 1, timer 1, serial.
    vectors = ljmp(0x0100)
    for _ in range(5):
        vectors += ljmp(0x0100 + rng.randrange(0x40, 0x2000)) + b"\0" * 5
    menus = text_table(["CORVANE PELTO", "Firmware 1.50", "Input", "SDI 1", "SDI 2", "HDMI", "Output",
                        "1080p50", "1080p59.94", "1080i50", "720p50", "2160p25", "Brightness",
                        "Contrast", "Saturation", "Hue", "Sharpness", "Test pattern", "Colour bars",
                        "Ramp", "Black", "Network", "Address", "Save settings", "Factory reset"])
    return [
        (0x0000, vectors),
        (0x0100, code(rng, 0x2F00)),
        (0x3000, menus),
        (0x3400, crc16_table()),
        (0x3800, code(rng, 0x0600)),
    ]


def paged_bank(rng, bank, code_size, table):
    return [
        (0x8000, bank_header(bank, "0150")),
        (0x8010, code(rng, code_size)),
        (0xC000, table),
    ]


def paged_banks(rng):
    tables = {
        1: sine_table(256, 127, 128),
        2: gamma_table(2.2) + gamma_table(2.4),
        3: gamma_table(1 / 2.2),
        4: sine_table(512, 100, 128),
        5: text_table(["Scaler", "Frame sync", "Genlock", "Audio embed", "Audio de-embed"], 64),
        6: bytes(range(256)),
        7: text_table(["Diagnostics", "Temperature", "Fan", "Supply 1V0", "Supply 3V3"], 64),
    }
    sizes = {1: 0x2400, 2: 0x1C00, 3: 0x1400, 4: 0x1000, 5: 0x0C00, 6: 0x0800, 7: 0x0600}
    return {bank: paged_bank(rng, bank, sizes[bank], tables[bank]) for bank in range(1, 8)}


def boot_option(rng):
    # Option block first (read by the boot loader), then the extended boot code.
    options = b"OPT" + bytes([0x01, 0x00, 0x00]) + b"\0" * 10
    return [(0x4000, options), (0x4010, code(rng, 0x0BF0))]


# ---- Effect file -----------------------------------------------------------------------

def svf_hex(data):
    """SVF writes a register most significant byte first: byte 0 comes last."""
    return bytes(reversed(data)).hex().upper()


def prom_words(rng):
    words = []
    for index in range(PROM_WORDS):
        word = bytearray(rng.randrange(0, 256) for _ in range(JTAG_WORD_BYTES))
        word[0] = index  # the PROM's word header: its own index, then the frame type
        word[1] = 0xA0 | (index % 4)
        words.append(bytes(word))
    return words


def effect_file(rng):
    ones = "F" * (2 * JTAG_WORD_BYTES)
    zeros = "0" * (2 * JTAG_WORD_BYTES)
    words = prom_words(rng)
    user = b"\x10\x02CPLT\x00\x00"
    lines = [
        "// prom1.svf: PROM 1 of the Corvane Pelto motherboard, configuration 2.10.",
        "// Written by examples/generate.py. The card plays it one statement per line.",
        "TRST OFF;",
        "ENDIR IDLE;",
        "ENDDR IDLE;",
        "STATE RESET;",
        "STATE IDLE;",
        "// Check the device: the instruction register captures 01, IDCODE without its revision.",
        "SIR 8 TDI (%02X) TDO (01) MASK (03);" % IR_IDCODE,
        "SDR 32 TDI (00000000) TDO (%08X) MASK (0FFFFFFF);" % (PROM_IDCODE & 0x0FFFFFFF),
        "// Erase the whole PROM and give it time.",
        "SIR 8 TDI (%02X);" % IR_ERASE,
        "RUNTEST 20000 TCK;",
        "// Write %d words of 128 bits from address 0." % PROM_WORDS,
        "SIR 8 TDI (%02X);" % IR_ADDRESS,
        "SDR 16 TDI (0000);",
        "SIR 8 TDI (%02X);" % IR_WRITE,
    ]
    for word in words:
        lines.append("SDR 128 TDI (%s);" % svf_hex(word))
    lines += [
        "// Read every word back and compare it.",
        "SIR 8 TDI (%02X);" % IR_ADDRESS,
        "SDR 16 TDI (0000);",
        "SIR 8 TDI (%02X);" % IR_READ,
    ]
    for word in words:
        lines.append("SDR 128 TDI (%s) TDO (%s) MASK (%s);" % (zeros, svf_hex(word), ones))
    lines += [
        "// The user code: configuration 2.10, checked when read back.",
        "SIR 8 TDI (%02X);" % IR_USER,
        "SDR 64 TDI (%s);" % svf_hex(user),
        "SDR 64 TDI (%s) TDO (%s);" % (svf_hex(user), svf_hex(user)),
        "STATE RESET;",
    ]
    return "\n".join(lines) + "\n"


# ---- Output ----------------------------------------------------------------------------

def write(relative, text):
    path = os.path.join(HERE, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="") as out:
        out.write(text)


def main():
    rng = random.Random(1500)
    write("BOOT_EXT_OPTION.HEX", hex_file(boot_option(rng)))
    write("MB/bank0.hex", hex_file(bank0(rng)))
    for bank, segments in paged_banks(rng).items():
        write("MB/bank%d.hex" % bank, hex_file(segments))
    write("MB/prom1.svf", effect_file(rng))


if __name__ == "__main__":
    main()
