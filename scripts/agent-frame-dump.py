#!/usr/bin/env python3
"""Dumps agent-link frames given in hex (arguments or stdin lines) as readable text.

Each frame: 13-byte header (0xEA, little-endian id, type, body length), then the body
of key=value pairs; RAW(count,bytes) values are shown as text when printable, else hex.
Several frames may follow one another in one hex string."""
import struct
import sys

TYPES = {
    1: "CPingAgentReq", 2: "CPingAgentResp", 3: "CCheckConnectionAgentReq", 4: "CCheckConnectionAgentResp",
    5: "CPollWithSettingsAgentReq", 6: "CPollAgentReq", 7: "CPollAgentResp", 8: "CProtocolVersionAgentNot",
    9: "CProductVersionAgentNot", 10: "CSelfIdentificationAgentNot", 11: "CAbortPollAgentNot",
    12: "CPluginDataAgentNot", 13: "CDeleteMonitorAgentNot", 14: "CLocalhostInfoAgentNot",
    15: "CUpgradeAgentMessage", 16: "CAgentStatusMessage", 17: "CSnmpReq", 18: "CSnmpResp", 19: "CSnmpData",
    20: "CResolveReq", 21: "CResolveResp", 22: "CDisconnectReason", 23: "CSubscribeSnmp",
    24: "CUnsubscribeSnmp", 25: "CMonitorEventNot", 26: "CSendAgentOsVersionToService",
    27: "CUpdateAgentLimits", 28: "CSubscribeSyslog", 29: "CUnsubscribeSyslog", 30: "CCheckAttachmentsReq",
    31: "CCheckAttachmentsResp", 32: "CCreateAttachmentsReq", 33: "CCreateAttachmentsResp",
    34: "CDeleteAttachmentsNot", 35: "CAgentSetModeMessage", 36: "CAgentExtCapsMessage",
}


def show(value):
    if all(32 <= b < 127 for b in value):
        return '"%s"' % value.decode("ascii")
    return "hex " + value.hex(" ")


def split_body(body):
    """Yields (key, kind, value) in wire order; raises ValueError on a malformed body."""
    pos, n = 0, len(body)
    while pos < n:
        eq = body.find(b"=", pos)
        if eq <= pos:
            raise ValueError("key without '=' at %d" % pos)
        key = body[pos:eq].decode("latin-1")
        comma = body.find(b",", eq + 1)
        end = n if comma < 0 else comma
        value = body[eq + 1:end]
        if len(value) >= 5 and value[:1] == b"R" and comma >= 0:
            count = int(value[4:])
            start = comma + 1
            if start + count >= n:
                raise ValueError("raw value of %s does not fit" % key)
            yield key, "raw", body[start:start + count]
            pos = start + count + 2
        else:
            yield key, "num", value.decode("latin-1")
            pos = end + 1


def dump(data):
    while data:
        if len(data) < 13:
            print("  short frame: %s" % data.hex(" "))
            return
        magic, fid, ftype, length = struct.unpack("<Biii", data[:13])
        body = data[13:13 + max(length, 0)]
        print("frame magic=0x%02x%s id=%d type=%d (%s) length=%d" % (
            magic, "" if magic == 0xEA else " (BAD)", fid, ftype, TYPES.get(ftype, "invalid"), length))
        try:
            for key, kind, value in split_body(body):
                print("  %s = %s" % (key, value if kind == "num" else "RAW(%d) %s" % (len(value), show(value))))
        except ValueError as e:
            print("  can't parse body: %s" % e)
        if length < 0 or len(body) < length:
            print("  (frame cut short)")
            return
        data = data[13 + length:]


def main():
    inputs = sys.argv[1:] or [line for line in sys.stdin if line.strip()]
    for text in inputs:
        dump(bytes.fromhex("".join(text.split())))


if __name__ == "__main__":
    main()
