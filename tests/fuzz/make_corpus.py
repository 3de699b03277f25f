#!/usr/bin/env python3
"""Writes the starting inputs of the fuzz targets into corpus/<target>/. Run it from this folder
after changing them; the files are committed. libFuzzer grows its own inputs from these."""

import os

series = "[PRINTER_SERIES]\nRV系列\n[RV系列]\nRV-1800K\nRV-90=note\nRV-95\n"
profile = {
    "ascii_sections.ini": (
        "; comment before any section\n"
        "[S]\nK=value\nQuoted=\"abc\"\nSingle='x'\nLone=\"\nEmpty=\nNoEquals\n=nameless\n"
        "=nameless again\n;comment=1\n  Spaced  =  inner  blanks  \nk=duplicate\n"
        "Equals=a=b=c\n[s]\nlate=second section\n[ S ]\nK=blank name\n[Unclosed\nK=1\n"
    ).encode("ascii"),
    # A line that begins with a NUL, as in a file of the wrong encoding.
    "nul_line.ini": b"[S]\r\nK=1\r\n\x00garbled\r\n\x00x=y\r\nL=2\r\n",
    "quoted_cut.ini": b"[S]\nK=\"abc\"\nL='abcdefgh'\n",
    "utf8_bom.ini": b"\xef\xbb\xbf" + (series + "[S]\nK=\"引号\"\n").encode("utf-8"),
    "utf16le_bom.ini": b"\xff\xfe" + (series + "[S]\nK=v\n").replace("\n", "\r\n").encode("utf-16-le"),
    "utf16be_bom.ini": b"\xfe\xff" + ("[S]\nK=v\n" + series).encode("utf-16-be"),
    "latin1.ini": "[S]\nK=Ünïcödé\x1a\nÄ=1\n".encode("latin-1"),
    "long_section.ini": ("[S]\n" + "".join(f"L{i:02d}=value {i}\n" for i in range(40))).encode(),
}
inf_line = '"KORVEL RV-90" = RV90.GPD,USBPRINT\\KORVELRV-90C21B,KORVEL_RV-90'
inf = {
    "model_line.txt": '"Korvel RV-90"\n[KORVEL.NTamd64]\r\n' + inf_line + "\r\n",
    "line_rules.txt": '"Korvel RV-90"\n'
    '"KORVEL RV-90" = USB.GPD,LPTENUM\\ID4\n'
    ' "KORVEL RV-90" = RV90.GPD,USBPRINT\\ID6\n'
    '"KORVEL RV-900" = RV900.GPD,USBPRINT\\ID8\n'
    '"KORVEL RV-90" = RV90.GPD,LPTENUM\\ID3,USBPRINT\\X\n'
    '"KORVEL RV-90",USBPRINT\\ID7',
    "no_second_comma.txt": '"Korvel RV-90"\nx\n"KORVEL RV-90" = RV90.GPD,USBPRINT\\ID2',
    "long_id.txt": '"Korvel RV-90"\n"KORVEL RV-90" = A,USBPRINT\\' + "L" * 1015 + ",X\n"
    '"KORVEL RV-90" = A,USBPRINT\\F,X\n',
    "wide_key.txt": '"Korvel 打印机"\n"KORVEL 打印机" = A,USBPRINT\\X\n',
}


def reply(text):
    data = text.encode("latin-1")
    length = len(data) + 2
    return bytes([length >> 8, length & 0xFF]) + data


device_id = {
    "full.bin": reply("MFG:KORVEL;CMD:ESC/P;MDL:RV 1800 K;CLS:PRINTER;"),
    "short.bin": reply("MDL:RV-90;"),
    "last_field.bin": reply("MFG:KORVEL;MDL:RV-95"),
    "nul_inside.bin": reply("MFG:KORVEL;\0MDL:RV-95;"),
    "cut_by_count.bin": reply("MDL:RV-90;")[:10],
    "past_buffer.bin": reply("MFG:KORVEL;" + "X" * 1010 + ";MDL:RV-2400K;"),
    "latin1.bin": reply("MDL:RV-Ü;"),
}
guid = "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"
vid_pid = {
    "path.txt": "\\\\?\\usb#vid_fff0&pid_0001#S1#" + guid,
    "instance.txt": "USB\\VID_FFF1&PID_0024\\SERIAL",
    "reversed.txt": "PID_0001&VID_FF",
    "vid_only.txt": "USB\\VID_FFF0\\x",
    "longest.txt": "VID_FFF0&PID_0001" + "x" * 242,
    "too_long.txt": "VID_FFF0&PID_0001" + "x" * 243,
    "dotless_i.txt": "usb\\vıd_fff0&pid_0001",
}

setup_info = (
    "[PRINTER_SERIES]\nRV系列\nKP系列\n[RV系列]\nRV-90\nRV-1800K\n[KP系列]\nKP-960\n"
    "[PRINTER_NAME]\nRV-90=Korvel RV-90\nRV-1800K=\"Korvel RV-1800K\"\nKP-960=Korvel KP-960\n"
    "[PRINTER_TYPE]\nKorvel RV-90=9\nkorvel rv-1800k=24\nKorvel KP-960=9\n"
)
setup_inf = (
    "[Version]\r\nCatalogFile=oemprint.cat\r\n"
    "[Manufacturer]\r\n%KORVEL%=KORVEL,NTamd64\r\n[KORVEL.NTamd64]\r\n"
    '"KORVEL RV-90" = RV90.GPD,USBPRINT\\KORVELRV-90C21B,KORVEL_RV-90\r\n'
    '"KORVEL RV-1800K" = RV1800K.GPD,USB\\VID_FFF0&PID_0001,X\r\n'
    '"KORVEL KP-960" = KP960.GPD,LPTENUM\\KP960\r\n'
    '"KORVEL KP-960" = KP960.GPD,USBPRINT\\KP960,X\r\n'
)
setup_folder_check = {
    "utf8_bom.txt": b"\xef\xbb\xbf" + (setup_info + "@INF@" + setup_inf).encode("utf-8"),
    "utf16le_bom.txt": b"\xff\xfe"
    + setup_info.replace("\n", "\r\n").encode("utf-16-le")
    + ("@INF@" + setup_inf).encode("latin-1"),
    "no_inf.txt": b"\xef\xbb\xbf" + setup_info.encode("utf-8"),
}

for target, files in {
    "profile": profile,
    "inf_hardware_id": inf,
    "device_id": device_id,
    "vid_pid": vid_pid,
    "setup_folder_check": setup_folder_check,
}.items():
    os.makedirs(os.path.join("corpus", target), exist_ok=True)
    for name, data in files.items():
        with open(os.path.join("corpus", target, name), "wb") as f:
            f.write(data.encode("utf-8") if isinstance(data, str) else data)
