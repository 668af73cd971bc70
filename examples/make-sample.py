#!/usr/bin/env python3
"""Writes the sample project: sample/sample.kwj and its contents file
sample/sample.KWT, four records in layout 102 (the oldest), with Japanese texts
in code page 932. The project names its contents file without a folder, so
kwtconv finds it when it runs in the sample's folder.

Run it again after changing the records below; the output is byte-stable."""

import pathlib
import struct

RECORD_SIZE = 300

# (Value1, Value2, Text1 <= 30 bytes, Text2 <= 200 bytes, Value3, Text3 <= 51 bytes, Value4)
RECORDS = [
    (1, 1, "はじめに", "しおりばこの見本プロジェクトです。", 20240401, "表紙のメモ", 0),
    (2, 2, "ソフトウェアの章", "第二章：ダウンロードと設定", 20240402, "p.12 から", 7),
    (3, 2, "Appendix", "ASCII only text, 0123456789", 20240403, "", -1),
    (1, 3, "おわりに", "最後のしおり。長い説明文がここに入ります。", 20240404, "要確認", 255),
]


def short_string(text, capacity):
    data = text.encode("cp932")
    if len(data) > capacity:
        raise ValueError(f"{text!r} is longer than {capacity} bytes")
    return bytes([len(data)]) + data + bytes(capacity - len(data))


def record(value1, value2, text1, text2, value3, text3, value4):
    data = bytearray(RECORD_SIZE)
    data[0] = value1
    data[4:8] = struct.pack("<i", value2)
    data[8:39] = short_string(text1, 30)
    data[39:240] = short_string(text2, 200)
    data[240:244] = struct.pack("<i", value3)
    data[244:296] = short_string(text3, 51)
    data[296:300] = struct.pack("<i", value4)
    return bytes(data)


def main():
    folder = pathlib.Path(__file__).resolve().parent / "sample"
    folder.mkdir(exist_ok=True)
    contents = b"".join(record(*row) for row in RECORDS)
    (folder / "sample.KWT").write_bytes(contents)
    project = (
        "; しおりばこ project (sample)\r\n"
        "[KWJ]\r\n"
        "Version=102\r\n"
        f"Count={len(RECORDS)}\r\n"
        "KWT=sample.KWT\r\n"
        "\r\n"
        "[Info]\r\n"
        "Title=見本のしおり\r\n"
    )
    (folder / "sample.kwj").write_bytes(project.encode("cp932"))


if __name__ == "__main__":
    main()
