#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets.

    fuzz/make_corpus.py          (rewrites fuzz/corpus/<target>/seed-*)

Each seed is a small, meaningful input in the layout its target reads (see the
comment at the top of each *_fuzz.cpp): a complete exchange with a card that
answers well, or a known awkward case. Inputs kept from findings (crash-*,
leak-*, timeout-*) are not made here; they live beside the seeds and are never
removed. Python 3 standard library only.
"""

import hashlib
import io
import json
import os
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
EXAMPLES = os.path.join(HERE, "..", "examples")

REPLY_END = b"\xff"
ESC = b"\x1b"


def record(kind, address, data):
    body = bytes([len(data) % 256, address >> 8, address & 0xFF, kind]) + data
    return ":" + body.hex().upper() + "%02X" % ((256 - sum(body) % 256) % 256)


def hex_file(lines):
    return ("\r\n".join(lines) + "\r\n").encode()


def example(name, lines=None):
    with open(os.path.join(EXAMPLES, name), "rb") as f:
        text = f.read()
    if lines is None:
        return text
    return b"".join(text.splitlines(keepends=True)[:lines])


def replies(*parts):
    return REPLY_END.join(p if isinstance(p, bytes) else p.encode() for p in parts)


SMALL_HEX = hex_file([record(0, 0x4000, bytes([1, 2])), record(0, 0x4010, bytes(range(16))), ":00000001FF"])
BANK_HEX = hex_file([record(0, 0x8000, bytes(range(16))), record(0, 0x8010, b"\xAA" * 16), ":00000001FF"])
PLAY_SVF = (b"SIR 8 TDI (FE);\n"
            b"SDR 16 TDI (1234);\n"
            b"SDR 32 TDI (00000000) TDO (12345678) MASK (FFFFFFFF);\n"
            b"RUNTEST 100 TCK;\n")
# The card's answers to PLAY_SVF: "P8", SIR, the stream's record, the stream,
# the captured bits (78 56 34 12 and their sum 14), the "." after the PC's "." and
# RUNTEST, then the end-of-file record.
PLAY_REPLIES = [".", ".", ESC + b".", ".", b"7856341214" + ESC + b".", ".", ".", "."]


def hex_records():
    def seed(first, last, kind, address, text):
        return struct.pack(">HHBH", first, last, kind, address) + text

    return {
        "boot-image": seed(0x4000, 0x5FFF, 0x00, 0x4000, example("BOOT_EXT_OPTION.HEX", 12)),
        "bank-image": seed(0x8000, 0xFFFF, 0x0C, 0x0000, example("MB/bank1.hex", 12)),
        "worked-example": seed(0x4000, 0x5FFF, 0x01, 0x0000, b":024000000102BB\n:00000001FF\n"),
        "garbage": seed(0x0000, 0x7FFF, 0x00, 0x1234, b"hello\n:zz\n:\n:10\n:10000000\n\x00\xff:\r"),
        "past-ffff": seed(0xFFF0, 0xFFFF, 0x00, 0xFFF8,
                          (record(0, 0xFFF8, bytes(range(16))) + "\n" + record(0, 0xFFFF, b"\x01\x02") + "\n").encode()),
        "truncated": seed(0x0000, 0xFFFF, 0x00, 0x0000, b":1040000001020304\n:104010\n:0"),
        "lower-case": seed(0x4000, 0x4001, 0x00, 0x4000, b":0240000001abBB\n:02400000ABCDxx\n"),
        "other-types": seed(0x0000, 0xFFFF, 0x02, 0x0000,
                            b":020000021000EC\n:04000005000000CD2A\n:00000001FF\n:0100000011EE\n"),
        "empty-range": seed(0x8000, 0x7FFF, 0xFF, 0xFFFF, b":0180000055AA\n"),
    }


def effect_lines():
    return {
        "example-play": example("MB/prom1.svf"),
        "worked-examples": (b"SIR 8 TDI (FE);\nSDR 32 TDI (00000000);\nSDR 16 TDI (1234);\n"
                            b"SDR 32 TDI (00000000) TDO (12345678) MASK (FFFFFFFF);\nRUNTEST 100 TCK;\n"
                            b"RUNTEST DRPAUSE 5 TCK;\nSTATE RESET IDLE;\nSTATE;\nENDDR IDLE;\nENDIR IRPAUSE;\n"
                            b"// note\nTRST OFF;\nSIR 8 TDI (FE); // note\nSIR 8 TDI (fe);\n"),
        "rejected": (b"sir 8 tdi (fe);\nFREQUENCY 1E6 HZ;\n! comment\n\n   \nSDR 513 TDI (00);\n"
                     b"RUNTEST 1 SEC;\nRUNTEST IDLE 5 TCK ENDSTATE IDLE;\nENDIR IDLE\nSIR\nSDR\n"),
        "fields": (b"SDRE 8 TDI (FF) SMASK (0F);\nSIRC 8 TDI (0F);\nSDRS 8;\nSDR 8 TDI (0F);\n"
                   b"SDR 16 TDI (12) TDI (3456);\nSDR 8 TDI (1 2);\nSDR 8 TDI (123);\nSDR 8 TDI (12\n"
                   b"SDR 8 TDI (12) MASK (F);\nSDR -8 TDI (12);\nRUNTEST $10 TCK;\nRUNTEST 0x7FFFFFFF TCK;\n"),
        "long-scan": b"SDR 512 TDI (" + b"0123456789ABCDEF" * 8 + b");\nSIR 512 TDI (" + b"F0" * 64 + b");\n",
        "captures": b"7856341214" + ESC + b".\n" + ESC + ESC + ESC + b"0" + ESC + b"x1B" + ESC + b".\n" + ESC + b"\n.\n",
    }


def var_replies():
    serial, udp = b"\x00", b"\x01"
    return {
        "hand-over": serial + replies("DEV57\r\n", "UPD1\r\n", "UPD254\r\n"),
        "split-lines": serial + replies("DE", "V5", "8\r", "\nUPD", "3\r\n"),
        "grammar": udp + replies("DEV\r\nDEVx\r\n DEV4\r\n$\r\n$12\r\n$ab\r\n#\r\nADBG4294967296\r\nDDBG$FF\r\nUPD 0x10\r\n"),
        "long-tail": serial + replies("0123456789ABCDEFGHIJ", "KLMNOP", "\r\nDEV1\r\n"),
        "mode-switch": serial + replies("DEV57\r\nxyz", b"\xfe" + b"raw.bytes", "more", b"\xfe" + b"DEV58\r\n"),
        "zero-bytes": udp + replies(b"DEV5\x007\r\n", b"\xfe" + b"ab\x00cd"),
        "noisy-hand-over": bytes([0x02]) + replies("DEV57\r\n", "UPD1\r\n", "UPD254\r\n", b"\xfe" + b"."),
        "noisy-datagrams": bytes([0x03]) + replies("DEV58\r\n", b"\xfe" + b"1234AAAA."),
    }


def engine_replies():
    boot, check, psd, jtag = 0, 1, 2, 3
    identified = 4
    noisy = 8

    def seed(engine, line, data=b"", answers=()):
        return bytes([engine]) + line.encode() + b"\n" + data + b"\x00" + replies(*answers)

    return {
        "boot-sync": seed(boot, "SYN", answers=["", ".", ".", "1234AAAA."]),
        "boot-sync-second-type": seed(boot, "SYN", answers=[".", "X", ".", "E000AAAA."]),
        "boot-upload": seed(boot | identified, "PB F", SMALL_HEX, [".", ".", ".", "R", ".", ".", ".", "."]),
        "boot-upload-checksum": seed(boot, "PB F 1234", SMALL_HEX, [".", ".", ".", ".", ".", ".", "X"]),
        "boot-missing-file": seed(boot, "PB nothing.hex"),
        "boot-folder": seed(boot, "PB D", answers=["."]),
        "psd-upload": seed(psd | identified, "P1 F", BANK_HEX, [".", ".", ".", ".", "R", ".", ".", "."]),
        "psd-not-allowed": seed(psd, "P0 F", BANK_HEX, ["."]),
        "psd-identifier": seed(psd, "D3", answers=[".", "5A."]),
        "psd-function": seed(psd, "F7", answers=["I"]),
        "check-version": seed(check, "T1 0102", answers=[".", "0102."]),
        "check-write": seed(check, "V0 0150", answers=[".", "."]),
        "check-user": seed(check, "UV 0150", answers=[".", "X"]),
        "check-option": seed(check, "OP 0000", answers=[".", "."]),
        "check-ping": seed(check, "M3", answers=["I"]),
        "check-wait": seed(check, "wait 100"),
        "check-prompt": seed(check, "prompt Corvane Pelto update package 1.50"),
        "check-reset": seed(check, "RS", answers=["", "."]),
        "check-missing-number": seed(check, "V"),
        "jtag-play": seed(jtag | identified, "P8 F", PLAY_SVF, PLAY_REPLIES),
        "jtag-play-retries": seed(jtag | identified, "P 8 F", PLAY_SVF,
                                  [".", "R", ".", ESC + b".", "R", ESC + b".", ".", b"7856341215" + ESC + b".",
                                   b"7856341214" + ESC + b".", ".", ".", "."]),
        "jtag-end-record-repeated": seed(jtag | identified, "P8 F", PLAY_SVF, PLAY_REPLIES[:-1] + ["R", "R", "."]),
        "jtag-example-play": seed(jtag | identified, "P8 F", example("MB/prom1.svf", 20), ["."] * 24),
        "jtag-identifiers": seed(jtag, "D8", answers=[".", "A5E00D1C."]),
        "jtag-function": seed(jtag, "F8", answers=["."]),
        "jtag-folder": seed(jtag | identified, "P8 D", answers=["."]),
        "noisy-boot-sync": seed(boot | noisy, "SYN", answers=["", ".", "X", ".", "1234AAAA."]),
        "noisy-psd-upload": seed(psd | identified | noisy, "P1 F", BANK_HEX, [".", ".", ".", ".", "R", ".", ".", "."]),
        "noisy-check-version": seed(check | noisy, "T1 0102", answers=[".", "0102."]),
        "noisy-jtag-play": seed(jtag | identified | noisy, "P8 F", PLAY_SVF, PLAY_REPLIES),
        "noisy-jtag-identifiers": seed(jtag | noisy, "D8", answers=[".", "A5E00D1C."]),
    }


def script_dispatch():
    type57, type58, unknown_type, silent = 0, 1, 2, 3

    def seed(main, board=b"", data=b"", answers=(), firmware=type57):
        return bytes([firmware]) + main + b"\x00" + board + b"\x00" + data + b"\x00" + replies(*answers)

    # The boot loader's answers to "%" and to the device type.
    hand_over = [".", ".E000AAAA."]
    # The extended boot ("PB" accepted and the erase done, three line
    # transmissions, the checksum record), the option code, and "FI".
    closing = ["..", ".", ".", ".", "."] + [".", "."] + ["."]
    return {
        "versions": seed(b"rem versions only\r\nprompt hello\r\nFY\r\nV0 0150\r\nUV 0150\r\n",
                         answers=hand_over + [".", ".", ".", ".", "."] + closing),
        "motherboard": seed(b"CM\r\nM0\r\nC0\r\n", b"T0 0150\r\nP1 F\r\nV0 0150\r\nD0\r\nF0\r\nD8\r\nF8\r\n",
                            BANK_HEX, answers=hand_over + [".0150.", ".5A.", ".", ".A5E00D1C.", ".", ".", ".", "."]
                            + closing),
        "bank": seed(b"CM\r\n", b"T0 0100\r\nP1 F\r\nV0 0150\r\n", BANK_HEX,
                     answers=hand_over + [".0150.", "..", ".", ".", ".", ".", ".", ".", "."] + closing),
        "play": seed(b"CM\r\n", b"P8 F\r\n", PLAY_SVF, answers=hand_over + PLAY_REPLIES + closing),
        "syntax-error": seed(b"rem\r\nREM capitals\r\n", answers=hand_over),
        "no-card": seed(b"prompt nobody\r\n", firmware=silent),
        "second-type": seed(b"prompt 58\r\n", answers=[".", "X", ".0000ABCD."] + closing, firmware=type58),
        "unknown-type": seed(b"prompt unknown\r\n", answers=[".", "X", "X"], firmware=unknown_type),
        "binary": seed(b"\x01\x02P\x00\xffC\r\nwait x\r\n", answers=hand_over),
    }


def update_plan():
    def seed(main, board=b"", image=b"", effect=b""):
        return main + b"\0" + board + b"\0" + image + b"\0" + effect

    return {
        # Bank 0 and the extended boot both take an image at 4000.
        "clean": seed(b"prompt plan\r\nCM\r\nUV 0150\r\n", b"T0 0150\r\nP0 F\r\nP8 E\r\nV0 0150\r\nwait 10\r\n",
                      SMALL_HEX, PLAY_SVF),
        "example-scripts": seed(example("script.ini"), example("MB/script.ini"), example("MB/bank1.hex", 40),
                                example("MB/prom1.svf", 40)),
        "read-id": seed(b"D0\r\nD8\r\nF8\r\nF0\r\n"),
        "syntax": seed(b"REM capitals\r\nC1\r\nC\r\nCX\r\nCM\r\n", b"CM\r\nC0\r\nP9 F\r\n"),
        "versions": seed(b"CM\r\n", b"V1 015\r\nT0 01500\r\nUV 15\r\nOP 00\r\nwait soon\r\nM A\r\nV\r\nM3\r\n"),
        "checksum": seed(b"PB F 1234\r\nPB F DE05\r\nPB F\r\n", b"", SMALL_HEX),
        "damaged-records": seed(b"CM\r\n", b"P1 F\r\nP0 F\r\nP8 F\r\n",
                                b":0280100001027b\n:028020000178\n:0280300001027A\n:020000021000EC\n"
                                + (record(0, 0x7FF0, b"\x01") + "\n" + record(0, 0x8000, b"\x01\x02") + "\n"
                                   + record(0, 0x8001, b"\xAA") + "\n:00000001FF\n"
                                   + record(0, 0x9000, b"\x01") + "\n").encode()),
        "effect-errors": seed(b"CM\r\n", b"P8 E\r\nP8 F\r\nP8 missing\r\nP8 .\r\n", b"",
                              b"SIR 8 TDI (FE);\nSIR 8 TDI (FE)\nFREQUENCY 1E6 HZ;\n" + PLAY_SVF),
    }


SVF_STATEMENTS = (b"! Vendor header\nFREQUENCY 1.00E+06 HZ;\nHIR 0; HDR 0 ;\nTIR\t0;\nTRST OFF;\nENDIR IRPAUSE;\n"
                  b"sir 8 tdi (e0);     ! idcode\nSDR\t32\tTDI  (00000000)\n\t\tTDO  (21111043)\n\t\tMASK (0fffffff);\n"
                  b"SDR 32 TDI (00000000) TDO (21111043);\nSDR 32 TDO (00000000);\nSDR 13 TDI (1fff) SMASK (0FF0);\n"
                  b"SIR 6 TDI (3) TDO (01);\nRUNTEST IDLE 2 TCK 1.00E-02 SEC;\n"
                  b"RUNTEST DRPAUSE 1.5E-3 SEC MAXIMUM 1 SEC ENDSTATE IDLE;\nRUNTEST 100 TCK;\nSTATE RESET  IDLE; // reset\n")


def svf_convert():
    no_frequency, kilohertz_250 = b"\x00", b"\xfa"
    return {
        "vendor": no_frequency + SVF_STATEMENTS,
        "example-play": no_frequency + example("MB/prom1.svf"),
        "seconds": kilohertz_250 + b"RUNTEST 1E-3 SEC;\nFREQUENCY 1E5 HZ;\nRUNTEST 1E-3 SEC;\nFREQUENCY;\n"
                                   b"RUNTEST 1.0000001E-3 SEC;\n",
        "long-scan": no_frequency + b"SDR 512 TDI (" + b"0123456789abcdef" * 8 + b");\nSDR 600\n TDI (00);\n",
        "headers": no_frequency + b"HIR 8 TDI (FF);\n",
        "no-tdi": no_frequency + b"SDR 8 TDI (00);\nSDR 16 TDO (0012);\n",
        "unfinished": no_frequency + b"SDR 8 TDI (00\n",
        "others": no_frequency + b"PIO (HLX);\nTRST ON;\nRUNTEST 10 SCK;\n",
    }


def bundle_reader():
    raw, pieces, trusted = 0, 1, 2
    files = {"script.ini": b"prompt Small update\r\nCM\r\n", "MB/script.ini": b"P1 bank1.hex\r\n",
             "MB/bank1.hex": BANK_HEX}

    def manifest(listed):
        return json.dumps({"format": 1, "name": "Small update",
                           "files": [{"path": path, "size": len(data), "sha256": hashlib.sha256(data).hexdigest()}
                                     for path, data in listed.items()]}, indent=4).encode()

    def archive(entries, symlinks=()):
        out = io.BytesIO()
        with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as bundle:
            for name, data in entries:
                info = zipfile.ZipInfo(name, date_time=(2024, 5, 1, 10, 15, 0))
                info.external_attr = (0o120777 if name in symlinks else 0o100644) << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                bundle.writestr(info, data)
        return out.getvalue()

    def seeded(mode, content):
        return bytes([mode]) + content

    def structured(manifest_text, signature, entries):
        return b"\0".join([manifest_text, signature] + [part for pair in entries for part in pair])

    good = archive([("manifest.json", manifest(files))] + list(files.items()))
    return {
        "bundle": seeded(raw, good),
        "bundle-trusting": seeded(raw | trusted, good),
        "cut-short": seeded(raw, good[:len(good) // 2]),
        "parent": seeded(raw, archive([("manifest.json", manifest(files)), ("../x", b"outside")] + list(files.items()))),
        "symlink": seeded(raw, archive([("manifest.json", manifest(files)), ("MB/link", b"/etc/passwd")]
                                       + list(files.items()), symlinks=("MB/link",))),
        "pieces": seeded(pieces, structured(manifest(files), b"",
                                            [(name.encode(), data) for name, data in files.items()])),
        "pieces-signature": seeded(pieces | trusted, structured(
            manifest(files), b"untrusted comment: x\nRUQ=\ntrusted comment: t\nAA==\n",
            [(name.encode(), data) for name, data in files.items()])),
        "pieces-unlisted": seeded(pieces, structured(manifest({}), b"", [(b"MB/../x", b"1"), (b"a", b"2")])),
    }


TARGETS = {
    "hex_records": hex_records,
    "effect_lines": effect_lines,
    "var_replies": var_replies,
    "engine_replies": engine_replies,
    "script_dispatch": script_dispatch,
    "update_plan": update_plan,
    "svf_convert": svf_convert,
    "bundle_reader": bundle_reader,
}


def main():
    for target, make in TARGETS.items():
        folder = os.path.join(CORPUS, target)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            if name.startswith("seed-"):
                os.remove(os.path.join(folder, name))
        for name, content in make().items():
            with open(os.path.join(folder, "seed-" + name), "wb") as f:
                f.write(content)


if __name__ == "__main__":
    main()
