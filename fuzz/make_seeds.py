#!/usr/bin/env python3
# Writes the seed inputs of corpus/: real frames, service texts, records,
# directories and skin files, each as the module or smsd meets them. Inputs
# of fixed crashes live beside them, named regress-*, and are never rewritten.
import os
import struct
import zlib

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
SEP = b"\x02"


def write(harness, name, data):
    folder = os.path.join(here, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def gbk(text):
    return text.encode("gbk")


def frame(opcode, payload=b""):
    return struct.pack("<IB", len(payload) + 1, opcode) + payload


def u32(v):
    return struct.pack("<I", v)


def u16(v):
    return struct.pack("<H", v)


def block(tag, text):
    return u16(tag) + text + b"\0"


def send_request(sender, recipient, text, when=None):
    tail = b"0" if when is None else b"1" + SEP + when
    return b"2" + SEP + sender + b":" + SEP + recipient + SEP + text + SEP + tail + b"\0"


# Service texts, as blocks: two transport bytes first. The first byte's low
# bit tells the harness whether a start-up waits for its answer.
startup = SEP.join([b"1", b"0", b"http://127.0.0.1:20062/order", b"1", b"13800000001"])
write("service_text", "startup-accepted", block(1, startup))
write("service_text", "startup-refused", block(3, SEP.join([b"1", b"0", b"http://x/order", b"4", b"13800000006"])))
write("service_text", "startup-unawaited", block(2, startup))
write("service_text", "incoming", block(5, SEP.join([b"4", b"0", b"10002", gbk("你好，明天见")])))
write("service_text", "incoming-separators", block(7, SEP.join([b"4", b"0", b"10002", b"a" + SEP + b"b\r\nc"])))
write("service_text", "undelivered", block(9, SEP.join([b"6", b"0", b"10009", gbk("对方号码不存在")])))
write("service_text", "unknown-type", block(11, SEP.join([b"9", b"0", b"x"])))
write("service_text", "short-fields", block(13, b"4"))

# Stored values: kind, then peer, time and text as counted strings.
def counted(s):
    return u16(len(s) + 1) + s + b"\0"

write("record", "received", bytes([3]) + counted(b"10002") + counted(b"2024-05-01 12:00:00") + counted(gbk("收到了")))
write("record", "sent", bytes([1]) + counted(b"10001") + counted(b"2024-05-01 12:00:01") + counted(b"hello"))
write("record", "scheduled-empty-text", bytes([2]) + counted(b"10004") + counted(b"2030-01-01 00:00:00") + counted(b""))
write("record", "signature", counted(gbk("—— 张三")))
write("record", "cut-short", bytes([3]) + counted(b"10002")[:4])
write("record", "unterminated", bytes([3]) + u16(3) + b"abc")
write("record", "count-past-end", bytes([0]) + u16(0xFFFF) + b"abc\0")

# Switch streams: the first byte sets the harness's read size.
login = frame(0x01, u32(10001))
call = frame(0x02, u32(7) + u32(10001) + u16(20061))
query = frame(0x03, u32(7) + b"1\0")
write("switch_frame", "client-startup", b"\x00" + login + call + query + frame(0x04, u32(7)))
write("switch_frame", "server-answers", b"\x05" + frame(0x81) + frame(0x82, u32(7) + u16(0))
      + frame(0x83, u32(7) + block(1, startup)) + frame(0x85, u32(0x80000000) + u32(10002) + u16(20061)))
write("switch_frame", "too-long", b"\xFF" + u32(70001) + b"\x01")
write("switch_frame", "unknown-opcode", b"\x01" + frame(0x77, b"abcd"))
write("switch_frame", "short-call", b"\x02" + frame(0x02, u32(1)))

# Send requests, as DATA on a call to another account.
write("send_request", "now", send_request(b"10001", b"10002", gbk("晚上一起吃饭")))
write("send_request", "scheduled", send_request(b"10001", b"10002", b"see you", b"2030-01-02 08:30:00"))
write("send_request", "text-with-separators", send_request(b"10001", b"10004", b"a" + SEP + b"1" + SEP + b"b"))
write("send_request", "bad-time", send_request(b"10001", b"10002", b"x", b"2030-13-40 25:61:00"))
write("send_request", "no-colon", b"2" + SEP + b"10001" + SEP + b"10002" + SEP + b"x" + SEP + b"0\0")

# smsd sessions: connections one after another, separated by FE FE FE FE.
MARK = b"\xFE\xFE\xFE\xFE"
def sms_call(sid, callee, req):
    return frame(0x02, u32(sid) + u32(callee) + u16(20061)) + frame(0x03, u32(sid) + req)

write("smsd_session", "startup", login + call + query + frame(0x04, u32(7)))
write("smsd_session", "send-then-recipient-logs-in",
      login + sms_call(9, 10002, send_request(b"10001", b"10002", gbk("你好")))
      + MARK + frame(0x01, u32(10002)))
write("smsd_session", "send-to-self", login + sms_call(3, 10001, send_request(b"10001", b"10001", b"me")))
write("smsd_session", "scheduled-and-undeliverable",
      login + sms_call(4, 10002, send_request(b"10001", b"10002", b"later", b"2030-01-02 08:30:00"))
      + sms_call(5, 10009, send_request(b"10001", b"10009", b"nobody"))
      + sms_call(6, 10003, send_request(b"10001", b"10003", b"no service"))
      + frame(0x02, u32(8) + u32(10002) + u16(1)))
write("smsd_session", "bad-first-frame", frame(0x02, u32(1) + u32(2) + u16(3)) + MARK + frame(0x77, b"abcd"))
write("smsd_session", "unknown-account", frame(0x01, u32(99999)))

# Account directories.
write("account_directory", "two-accounts",
      "[10001]\nname=张三\nphone=13800000001\nlevel=2\nfriends=10002, 10003\nstrangers=10004\n"
      "[10002]\nname=李四 ; a comment\nphone=13800000002\nlevel=3\nanswer=4\nknown=0\n# done\n".encode("utf-8"))
write("account_directory", "bad-section", b"[abc]\nname=x\n")
write("account_directory", "bad-list", b"[10001]\nfriends=1,two\n")
write("account_directory", "outside-section", b"name=x\n")

# Skin files: the demo skin as it ships, and small ones that fail.
with open(os.path.join(root, "host", "ixaskin", "skin", "default.skin"), "rb") as f:
    write("skin_file", "default.skin", f.read())
write("skin_file", "styles", "\ufeff[style EditSMS]\r\ncolor = #000000\r\nbackground = #FFFFFF\r\nborder = #7F9DB9\r\n"
      "font = 宋体, -12, 700, #102030\r\n".encode("utf-8"))
write("skin_file", "bad-colour", b"[element A B]\ncolor = #12345G\n")
write("skin_file", "bitmap-outside", b"[element A B]\npaint = bitmap ../x.bmp\n")
write("skin_file", "face-not-in-code-page", "[style S]\nfont = \U0001F600, 12, 400\n".encode("utf-8"))

# smsd's queue file: the mark, then records of u32 length, u32 CRC-32 and a
# body ('A': id, recipient, caller, due time, counted text; 'D': id).
QUEUE_MARK = b"SMSDQUE1"

def queue_record(body):
    return u32(len(body)) + u32(zlib.crc32(body)) + body

def accepted(qid, recipient, caller, text, due=0):
    return queue_record(b"A" + struct.pack("<QIIqI", qid, recipient, caller, due, len(text)) + text)

def done(qid):
    return queue_record(b"D" + struct.pack("<Q", qid))

one = accepted(1, 10002, 10001, block(1, SEP.join([b"4", b"0", b"10001", gbk("你好")])))
several = (accepted(1, 10002, 10001, b"first") + accepted(2, 10004, 10001, b"later", 1893456000)
           + done(1) + accepted(3, 10002, 10003, gbk("晚上见")) + accepted(4, 10009, 10001, b""))
write("queue_file", "empty", b"")
write("queue_file", "mark-only", QUEUE_MARK)
write("queue_file", "one-record", QUEUE_MARK + one)
write("queue_file", "several", QUEUE_MARK + several)
write("queue_file", "last-cut-short", QUEUE_MARK + several + accepted(5, 10002, 10001, b"cut by a crash")[:20])
changed = bytearray(QUEUE_MARK + several)
changed[8 + 8 + 29 + 2] ^= 0x20  # a byte of the first text
write("queue_file", "changed-byte", bytes(changed))
write("queue_file", "length-past-end", QUEUE_MARK + one + u32(0xFFFFFFF0) + u32(0) + b"A")
write("queue_file", "no-mark", several)
write("queue_file", "done-before-accept", QUEUE_MARK + done(7) + accepted(7, 10002, 10001, b"kept"))
# Sound checksums over bodies that do not hold together.
write("queue_file", "text-length-wrong", QUEUE_MARK + one
      + queue_record(b"A" + struct.pack("<QIIqI", 2, 10002, 10001, 0, 3) + b"abcdef") + done(9))
write("queue_file", "done-too-long", QUEUE_MARK + one + queue_record(b"D" + struct.pack("<Q", 1) + b"x"))
write("queue_file", "unknown-kind", QUEUE_MARK + queue_record(b"X" + struct.pack("<Q", 1))
      + queue_record(b"a" + struct.pack("<QIIqI", 2, 10002, 10001, 0, 1) + b"x") + one)
# Ids that leave none to give: the next text taken on must not take a waiting one's.
write("queue_file", "regress-highest-id", QUEUE_MARK + accepted(0, 10002, 10001, b"zero")
      + accepted(1, 10002, 10001, b"one") + accepted(0xFFFFFFFFFFFFFFFF, 10004, 10001, b"last"))
