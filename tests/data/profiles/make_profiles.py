#!/usr/bin/env python3
"""Writes the profile files the profile tests read: one text in every encoding the profile API
tells by its byte order mark, an ASCII file without a mark, and UTF-16 without a mark.
Run it from this folder after changing the text; the files are committed."""

long_value = "".join(chr(ord("A") + i % 26) for i in range(200))
big = "\n".join(f"line{i:02d}=value number {i:02d} of the big section" for i in range(60))
ascii_part = f"""; leading comment
global=before any section
[General]
Name = Korvel   
Quoted="quoted value"
Single='single'
Mismatch="open only
LoneQuote="
EmptyQuotes=""
Empty=
NoEquals line
  Indented  =  value with  inner  blanks  
dup=first
DUP=second
=nameless
=nameless again
;comment=value
Long={long_value}
Equals=a=b=c
[general]
late=second section of the same name
[ Spaced ]
inner=blank names
[Big]
{big}
[Empty Section]
[Bracket]]Name]
x=1
[Unclosed
y=2
"""
wide_part = """[RV系列]
RV-1800K
RV-90=note
\u3000全角\u3000=\u3000ideographic\u3000blanks\u3000
[Ünïcödé]
Ключ=Значение
ÄÖÜ=umlaut
NoBreak=\u00a0kept\u00a0
"""
full = ascii_part + wide_part


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


write("utf16le_bom.ini", b"\xff\xfe" + full.replace("\n", "\r\n").encode("utf-16-le"))
write("utf16be_bom.ini", b"\xfe\xff" + full.encode("utf-16-be"))
write("utf8_bom.ini", b"\xef\xbb\xbf" + full.encode("utf-8"))
write("ascii_crlf.ini", ascii_part.replace("\n", "\r\n").encode("ascii"))
write("utf16le_nobom.ini", "[General]\r\nName=Korvel\r\n".encode("utf-16-le"))
