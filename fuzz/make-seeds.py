#!/usr/bin/env python3
"""Writes the seed inputs of the handler fuzz targets into fuzz/corpus/<target>/: good
exchanges taken from the protocol examples of the drivers and their tests, and a few
malformed ones. The input layout is described in FuzzRig.h and at the top of each target.

    fuzz/make-seeds.py          (rewrites the seeds it knows; other files stay)
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def rtu(*parts):
    """A Modbus RTU frame with its CRC, low byte first."""
    body = b"".join(bytes(p) if not isinstance(p, bytes) else p for p in parts)
    return body + struct.pack("<H", crc16(body))


def mbap(trans, unit, pdu):
    return struct.pack(">HHHB", trans, 0, len(pdu) + 1, unit) + pdu


def ydt(ver, adr, cid1, rtn, info):
    """A YD/T 1363 reply frame: SOI, header, LENGTH with its check, INFO, CHKSUM, EOI."""
    lenid = len(info)
    lsum = (-(lenid & 0xF) - ((lenid >> 4) & 0xF) - ((lenid >> 8) & 0xF)) & 0xF
    length = (lsum << 12) | lenid
    body = "%02X%02X%02X%02X%04X%s" % (ver, adr, cid1, rtn, length, info)
    chk = (-sum(body.encode())) & 0xFFFF
    return ("~%s%04X\r" % (body, chk)).encode()


def point(addr=1, variant=0, ext1=0, ext2=0, name=b""):
    return bytes([addr, variant, (ext1 + 8) & 0xFF, (ext2 + 8) & 0xFF, len(name)]) + name


def script(*steps, mode=0):
    """Steps: bytes (an answer), None (no answer), ('short', n), ('split', at, bytes)."""
    out = bytes([mode])
    for s in steps:
        if s is None:
            out += b"\x01\x00"
        elif isinstance(s, tuple) and s[0] == "short":
            out += bytes([2, s[1]]) + b"\x00" * s[1]
        elif isinstance(s, tuple) and s[0] == "split":
            out += bytes([3 | (s[1] << 2), len(s[2])]) + s[2]
        else:
            assert len(s) < 256
            out += bytes([0, len(s)]) + s
    return out


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


IDENT = b"#" + b"SANTAK".ljust(15) + b" " + b"C1K".ljust(10) + b" " + b"V1.02".ljust(10) + b"\r"
Q1 = b"(230.0 000.0 229.5 012 50.0 2.25 30.0 00001001\r"


def ups():
    # Driver 0: the default handler, every variant's status form, then Q2, F and I.
    write("ups", "default_q1", bytes([0]) + point() + b"\x32" +
          script(Q1, b"(000.0 231.0 232.0\r", b"#220.0 004 024.0 50.0\r", IDENT))
    write("ups", "default_qgs", bytes([0]) + point(variant=2, ext2=12) + b"\x00" +
          script(b"(230.0 50.0 229.5 50.0 000.0 012 000.0 000.0 2.25 000.0 30.0 AB00001001\r",
                 b"(x 231.0 232.0\r", None, b"#short\r"))
    write("ups", "default_split", bytes([0]) + point(variant=3, name=b"UPS 'A'") + b"\x10" +
          script(("split", 20, Q1), b"(1 2\r", b"#220.0 004 024.0 50.0\r", IDENT[:30], mode=1))
    write("ups", "default_bad", bytes([0]) + point() + b"\x00" +
          script(b"(230.0 1e999 229.5 012 50.0 2.25 30.0 0000\r", b"(\r", b"\r"))
    # Driver 1: East, Q1 then G1, G3, F and I.
    write("ups", "east", bytes([1]) + point() + b"\x00" +
          script(b"(230.0 000.0 229.5 012 50.0 27.5 30.0 00000000\r",
                 b"!000 100 0120 050 000 000 000 50.0\r",
                 b"!000 231.0 232.0 001 002 003 000 000 000 000 000 045\r",
                 b"#220.0 004 024.0 50.0\r", IDENT))
    # Driver 2: GXGD on a serial and a network channel.
    write("ups", "gxgd", bytes([2]) + point(ext1=100) + b"\x00" +
          script(b"(230.0 000.0 230.0 012 50.0 2.25 30.0 00000001\r"))
    write("ups", "gxgd_net", bytes([2]) + point(variant=1, ext1=247) + b"\x20" +
          script(b"(" + b"9" * 60 + b" 1 2 3 4 5 6 00000001\r", mode=4))
    # Driver 3: SANTAK, each variant.
    v0 = (b"(220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 00001000 "
          b"01.2 100 \r")
    write("ups", "santak_v0", bytes([3]) + point() + b"\x00" + script(v0))
    v1 = (b"(220.0 221.0 219.0 50.0 220.0 000.0 000.0 50 012 040 000 27.4 30.0 012 100 \r")
    write("ups", "santak_v1", bytes([3]) + point(variant=1) + b"\x00" +
          script(v1, b"(00001000\r"))
    v2 = (b"(220.0 221.0 219.0 50.0 220.0 000.0 000.0 50 012 040 000 1 2 3 27.4 30.0 "
          b"00001000\r")
    write("ups", "santak_v2", bytes([3]) + point(variant=2) + b"\x00" + script(v2))
    v3 = (b"(220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 1 2 00001000 "
          b"01.2 100 \r")
    write("ups", "santak_v3", bytes([3]) + point(variant=3) + b"\x00" + script(v3))
    write("ups", "santak_short", bytes([3]) + point(variant=1) + b"\x00" +
          script(v1, b"(0\r", ("short", 1)))
    # Driver 4: Symmetra, status registers 0-4 then measurements 7-51.
    def regs(*words):
        return b"".join(struct.pack(">H", w) for w in words)
    sy_status = rtu(bytes([1, 3, 10]), regs(0x0008, 0x0080, 0, 0x00C9, 0))
    sy_measure = rtu(bytes([1, 3, 90]), regs(*[2300 + r for r in range(45)]))
    write("ups", "symmetra", bytes([4]) + point() + b"\x00" + script(sy_status, sy_measure))
    write("ups", "symmetra_bad", bytes([4]) + point(ext2=1) + b"\x00" +
          script(sy_status, rtu(bytes([1, 0x83, 4])), sy_status, sy_measure[:-1] + b"\x00",
                 rtu(bytes([1, 3, 2]), regs(1)), ("split", 40, sy_measure)))
    # Driver 5: Galaxy 5000, measurements 256-331 then status 64-79.
    ga_measure = rtu(bytes([1, 3, 152]), regs(*[(r * 7) & 0xFFFF for r in range(76)]))
    ga_status = rtu(bytes([1, 3, 32]), regs(0x0809, 0x0046, 0x0504, 0, 0, 0, 0, 0, 0, 0x0009, 0,
                                           0, 0, 0x0020, 0, 0x0001))
    write("ups", "galaxy", bytes([5]) + point() + b"\x00" + script(ga_measure, ga_status))
    write("ups", "galaxy_bad", bytes([5]) + point(ext1=3) + b"\x00" +
          script(ga_measure, ga_status[:20], ga_measure, rtu(bytes([1, 0x83, 2])),
                 ("split", 60, ga_measure), rtu(bytes([2, 3, 32]), bytes(32)), mode=1))
    # Driver 6: NMYG, RS, RD and RN; then a signed flag and an unended reading.
    rd = b"(220.1 221.0 219.8 220.0 220.2 219.9 35.0 30.1 28.7 26.5 50.0 272.0 45.0\r"
    write("ups", "nmyg", bytes([6]) + point() + b"\x0a" + script(b"(1 0 0 0 1\r", rd, b"\r"))
    write("ups", "nmyg_bad", bytes([6]) + point() + b"\x00" +
          script(b"(-5 0.05 0 0 1\r\n", rd[:-1], None, ("split", 9, b"(0 0 1 0 0\n"), rd,
                 ("short", 1), mode=4))
    # Driver 7: Sentry, a 70-byte reply and a short one.
    frame = bytearray(b" " * 80)
    frame[0], frame[1] = 1, ord("g")
    frame[41:45] = b"\xf4\x01\x01\x0e"
    frame[48], frame[59], frame[60], frame[61] = 31, 220, 221, 219
    frame[68:70] = b"\xf4\x01"
    write("ups", "sentry", bytes([7]) + point() + b"\x00" +
          script(bytes(frame[:70]), ("split", 30, bytes(frame)), bytes(frame[:69])))
    # Driver 8: Link, eleven registers then the alarm word; a refused alarm word.
    regs = struct.pack(">11H", 2200, 500, 2201, 499, 35, 41, 0, 0, 2720, 0, 28)
    write("ups", "link", bytes([8]) + point() + b"\x00" +
          script(rtu([1, 3, 22], regs), rtu([1, 3, 2], b"\x80\x07"),
                 ("split", 9, rtu([1, 3, 22], regs)), rtu([1, 0x83, 2]),
                 rtu([1, 0x83, 4])))
    # Driver 9: Smart, thirteen answers; then a poll cut after "C".
    answers = [b"SM", b"031.5", b"08", b"024", b"27.40", b"100.0", b"220.4", b"235.0",
               b"196.0", b"220.0", b"50.00", b"041.0", b"0042:"]
    write("ups", "smart", bytes([9]) + point() + b"\x00" +
          script(*[a + b"\r\n" for a in answers], b"SM\r\n", b"1e999\r\n"))
    write("ups", "smart_split", bytes([9]) + point() + b"\x00" +
          script(*[("split", 1, a + b"\r\n") for a in answers[:6]], b"xx\r", mode=1))


def aircon():
    rec = bytearray(52)
    rec[0:2] = b"\x2A\x09"
    rec[2:4] = b"\x34\x0A"
    rec[4:7] = b"\x1A\x1E\x10"
    rec[8] = 0x32
    rec[11] = 0x50
    rec[12:14] = b"\x0A\x00"
    rec[14] = 1
    rec[48:52] = b"\x01\x00\x01\x00"
    full = rtu([1, 4, 52], bytes(rec))
    fn9 = rtu([1, 9, 1, 5])
    cmd = rtu([1, 11, 0, 42, 0, 3, 0, 0, 1])
    write("aircon", "record", point() + b"\x00\xc8\x00\x00\x00\x01" +
          script(full, fn9, full, fn9, cmd))
    write("aircon", "stale", point() + b"\x00\x00\x00\x00\x00\x01" +
          script(b"\x01\x08\x00", full, fn9, mode=8))
    write("aircon", "full_record", point(ext2=3) + b"\x00\x50\x00\x00\x00\x01" +
          script(rtu([1, 4, 120], bytes(rec) + bytes(68)), fn9, rtu([1, 8, 0, 80, 0, 1, 1])))
    write("aircon", "split", point() + b"\x00\x00\x00\x00\x00\x02" +
          script(("split", 30, full), fn9, mode=0))
    write("aircon", "exception", point() + b"\x00\x00\x00\x00\x00\x00" +
          script(rtu([1, 0x84, 4]), b"\x01\x04\x02\x00"))


def aircser():
    # driver, point, wait, command index, value, script
    def head(which, cmd=0, value=1, ext2=0):
        return bytes([which]) + point(ext2=ext2) + bytes([0, cmd]) + struct.pack(">i", value)
    das = rtu([1, 3, 18], bytes([2, 1, 3, 26, 60, 25, 0x2C, 1, 0x20, 3, 16, 32, 5, 1, 17, 7, 9, 1]))
    write("aircser", "das", head(0, 3, 9, ext2=3) +
          script(das, das, das, rtu([1, 6, 0, 1, 4, 26])))
    write("aircser", "das_status", head(0, 7) + script(das, das, das, rtu([1, 3, 2, 2, 1])))
    write("aircser", "das_no_reading", head(0, 1, 7) + script(das, das, None))
    temps = rtu([1, 4, 56], bytes([0, 180, 1, 9]) + bytes(44) + bytes([0, 220]) + bytes(6))
    flags = rtu([1, 3, 4], bytes([0, 1, 0, 0]))
    write("aircser", "lcpdx", head(1, 8) + script(temps, flags, temps, flags, rtu([1, 5, 0, 29, 0, 1])))
    write("aircser", "lcpdx_exception", head(1, 8) + script(temps, rtu([1, 0x83, 2]), rtu([1, 0x85, 3])))
    write("aircser", "mitsubishi", head(2) + script(bytes.fromhex("55 00 01 9A 19 85 03 AA"),
                                                     bytes.fromhex("01 00 9A 19 85 03 AA")))
    write("aircser", "mitsubishi_short", head(2) + script(bytes.fromhex("55 00 01"),
                                                           ("split", 2, bytes.fromhex("01 00 9A 19 85"))))
    one = lambda v: rtu([1, 3, 2], struct.pack(">H", v))
    write("aircser", "plc", head(3, ext2=2) + script(one(1), one(0), rtu([1, 3, 4], b"\x00\xfd\x02\x59"),
                                                      one(248), one(555)))
    write("aircser", "plc_third_fails", head(3) + script(one(1), one(0), rtu([1, 0x83, 4])))
    k200 = rtu([1, 3, 16], bytes([1, 0, 0, 220, 0, 50, 0, 0x3E, 0, 235, 0, 48, 0, 0x10, 0, 0]))
    write("aircser", "k200", head(4) + script(k200, k200))
    write("aircser", "k200_wrong_count", head(4) + script(rtu([1, 3, 18], bytes(18)), rtu([1, 4, 16], bytes(16))))


def aircmodbus():
    """GI, GT, PeX (both maps), Hiross, Matrix, Station (both maps): every request answered,
    then a poll cut short, an exception and a split reply."""
    def rd(fn, count, fill=0x41):
        n = (count + 7) // 8 if fn in (1, 2) else 2 * count
        return rtu([1, fn, n], bytes([fill]) * n)
    maps = [
        (0, 0, [(3, 3), (3, 1), (3, 1), (3, 1), (1, 3), (1, 2), (1, 5), (1, 7), (1, 1), (1, 5)]),
        (1, 0, [(3, 7), (3, 1), (1, 4), (1, 7), (1, 1)]),
        (2, 0, [(2, 21), (4, 1), (4, 4), (4, 2)]),
        (2, 1, [(3, 64)]),
        (3, 0, [(3, 19), (3, 6), (3, 10)]),
        (4, 0, [(1, 52), (3, 15)]),
        (5, 0, [(1, 19), (1, 10), (3, 2), (3, 2)]),
        (5, 1, [(1, 19), (1, 10), (3, 2), (3, 2)]),
    ]
    for which, variant, reqs in maps:
        name = "d%d_v%d" % (which, variant)
        head = bytes([which]) + point(variant=variant, ext2=3) + b"\x19"
        answers = [rd(fn, n) for fn, n in reqs]
        write("aircmodbus", name, head + script(*answers, *answers))
        write("aircmodbus", name + "_cut", head + script(*answers[:1], None, *answers))
        write("aircmodbus", name + "_exception", head + script(rtu([1, reqs[0][0] | 0x80, 2]), *answers))
        write("aircmodbus", name + "_split", head + script(("split", 3, answers[0]), *answers[1:]))
    # PeX inputs one byte each (byte count 21).
    write("aircmodbus", "pex_byte_per_input", bytes([2]) + point() + b"\x00" +
          script(rtu([1, 2, 21], bytes([1, 0] * 10 + [1])), rd(4, 1), rd(4, 4, 0xFF), rd(4, 2)))


def meters():
    pt = bytearray(40)
    pt[4:6] = b"\x00\x0A"  # PT 10
    pt[6:8] = b"\x00\x05"  # CT 5
    energy = rtu([1, 3, 4], b"\x00\x01\x86\xA0")
    three = bytes(range(30))
    write("meters", "elec_three", bytes([0]) + point() + b"\x00\x00\x00\x00\x01" +
          script(rtu([1, 3, 40], bytes(pt)), energy, rtu([1, 3, 30], three),
                 rtu([1, 6, 0, 11, 0, 1])))
    write("meters", "elec_single", bytes([0]) + point(ext1=1) + b"\x00\x00\x00\x00\x01" +
          script(rtu([1, 3, 40], bytes(pt)), energy, rtu([1, 4, 14], bytes(range(14)))))
    write("meters", "elec_model1", bytes([0]) + point(variant=1) + b"\x00\x00\x00\x00\x07" +
          script(rtu([1, 3, 2], b"\x12\x34"), rtu([1, 16, 0, 1, 0, 1])))
    # Every meter model with registers: good replies of the right size to each read.
    models = {1: [(3, 32)], 2: [(3, 57)], 3: [(3, 28), (3, 28)], 4: [(3, 19), (3, 6)],
              5: [(3, 23), (3, 2), (3, 2)], 6: [(4, 57)], 8: [(3, 2), (4, 39)], 10: [(3, 110)],
              12: [(3, 18)], 14: [(3, 50)], 15: [(3, 1), (3, 32)], 17: [(3, 30)],
              18: [(3, 30), (3, 2)], 19: [(3, 41)], 21: [(4, 30)], 26: [(3, 2)], 27: [(3, 70)],
              28: [(3, 2), (3, 2), (4, 29), (3, 2)], 30: [(3, 10)], 32: [(3, 53)],
              33: [(3, 41)], 34: [(3, 41)],
              # the models with floating-point registers
              7: [(3, 55)], 9: [(3, 64)], 11: [(3, 96)], 16: [(3, 18), (3, 24), (3, 12)],
              20: [(4, 18), (4, 24), (4, 12)], 22: [(3, 24), (3, 26)],
              23: [(3, 18), (3, 16), (3, 8), (3, 8), (3, 2), (3, 4)],
              24: [(3, 18), (3, 34), (3, 12)], 25: [(3, 16), (3, 32), (3, 32)], 29: [(3, 42)],
              31: [(3, 60)]}
    for model, reads in models.items():
        replies = [rtu([1, fn, 2 * n], bytes((7 * i + model) & 0xFF for i in range(2 * n)))
                   for fn, n in reads]
        write("meters", "elec_m%d" % model, bytes([4]) + point(ext1=3, ext2=10) +
              bytes([model]) + b"\x00\x00\x00\x00\x01" + script(*replies))
    # Singles that are not numbers, infinite, negative or beyond 32 bits once scaled.
    odd = bytes.fromhex("7FC00000 7F800000 FF800000 C3660000 4E6E6B28 7149F2CA")
    for model, reads in ((16, models[16]), (11, models[11]), (23, models[23])):
        replies = [rtu([1, fn, 2 * n], (odd * 20)[:2 * n]) for fn, n in reads]
        write("meters", "elec_m%d_odd_floats" % model, bytes([4]) + point(ext1=2) +
              bytes([model]) + b"\x00\x00\x00\x00\x01" + script(*replies))
    tcp = mbap(1, 1, bytes([3, 220]) + bytes(i & 0xFF for i in range(220)))
    write("meters", "elec_m13", bytes([4]) + point(ext1=1) + bytes([13]) +
          b"\x00\x00\x00\x00\x01" + script(tcp))
    write("meters", "envir", bytes([1]) + point() + b"\x00\x00\x00\x00\x00" +
          script(bytes.fromhex("010304 01C2 00EB 1A7C")))
    write("meters", "envir_v1", bytes([1]) + point(variant=1) + b"\x00\x00\x00\x00\x00" +
          script(rtu([1, 4, 4], b"\xFF\x38\x01\xC2"), rtu([1, 0x84, 2])))
    write("meters", "pm", bytes([2]) + point() + b"\x00\x00\x00\x00\x00" +
          script(bytes.fromhex("01030200 23F99D"), rtu([1, 3, 0, 0x23])))
    write("meters", "dio", bytes([3]) + point() + b"\x00\x00\x00\x00\x00" +
          script(b"\xFE\x03", mode=8))


ENGINE_DEF = """[comm]
note=TH-01
model=QX-TH
delay=0
brief=T=%1% H=%2% D=%3%
Yk03=0600100001
[flds]
cnt=3
1=40001
2=40002
3=00011
[flds.def]
1='Temp',1,'温度',0,10,1,0,'',600,''
2='Hum',1,'湿度',0,10,1,0,'',900,''
3='Door',1,'门',0,1,1,0,'',1,''
[regs1]
10=8
[regs3]
0=2
1bit=2
""".encode()


NORMAL_DEF = """[comm]
note=TPL-01
SND=7E len adr cmd dat crc 0D
chk0=1
chk=3
dat0=4
dinfo=I
dmax=64
cmds=01,03
Yk01=05,0102
brief=A=%1% B=%2% C=%3%
[01H]
cdat=0010
dinfo=B
dfac=10
1=F
2=-
3bit=1
[03H]
dmax=16
[flds]
cnt=3
1=01H01
2=01H03
3=03H01
[flds.def]
1='A',1,'a',0,10,1,0,'',600,''
2='B',1,'b',0,1,1,0,'',900,''
3='C',1,'c',0,1,1,0,'',900,''
""".encode()


def framed(body):
    """7E, the body, its CRC (low byte first) from the byte after 7E, 0D."""
    return b"\x7e" + body + struct.pack("<H", crc16(body)) + b"\x0d"


def engine():
    # The template engine (first byte 1): both commands of a poll, then control command 1.
    r01 = framed(bytes([12, 1, 1]) + b"\x41\x20\x00\x00" + b"\x07\x81\x05")
    r03 = framed(bytes([8, 1, 3]) + b"\x00\x64\x01\xf4")
    write("engine", "normal", b"\x01" + NORMAL_DEF + b"\x00" + point() + b"\x00\x01" +
          script(r01, r03, framed(bytes([6, 1, 5]))))
    write("engine", "normal_split", b"\x01" + NORMAL_DEF + b"\x00" + point() + b"\x00\x01" +
          script(("split", 5, r01), r03[:6], b"\x7e"))
    odd_tpl = (b"[comm]\nSND=AA adr cmd dlen dat sum xor\nchk0=9\nchk=2\ndat0=300\ndinfo=F\n"
               b"dmax=999\ncmds=0,01,zz,\nYk02=1\nYk03=,\n[01H]\ncdat=1\n1=F\n2=I\n99bit=1\n")
    write("engine", "normal_odd", b"\x01" + odd_tpl + b"\x00" + point() + b"\x00\x02" +
          script(b"\xaa\x01\x01", b"\xaa"))
    # The SNMP engine (first byte 2): loaded, registered, stored; the agent text split.
    snmp_def = (b"[comm]\nnote=SNMP-01\nbrief=load %1%\n[flds]\ncnt=2\n1=load\n2=tab\n"
                b"[flds.def]\n1='load',1,'l',0,1,1,0,'',90,''\n"
                b"[oids]\n1.3.6.1.2.1.1.5.0=sysName\n1.3.6.1.4.1.99999.1.1.0=load\n"
                b"1.3.6.1.4.1.99999.2.1=tab:,2,3,\nnot.an.oid=x\n1.3.6.1.4.1.99999.9=" + b"n" * 70 +
                b"\n[vals.str]\nsysName=1\ntab.3=2\n[vals.ext]\ntab.1=1\n"
                b"[vals]\nload=42\nsysName=it's\nx=1e5\ny=-\nz=0x10\n")
    write("engine", "snmp", b"\x02" + snmp_def + b"\x00" + point() + b"\x00\x00" +
          b"snmp127.0.0.1:1161:public:user:pass\x00")
    write("engine", "snmp_addr", b"\x02" + snmp_def + b"\x00" + point() + b"\x00\x00" +
          b"10.0.0.1:99999999999:" + b"c" * 60)
    # The YD/T 1363 engine (first byte 3): answers framed by the target (RTN, INFO bytes).
    def yd(rtn, info):
        body = bytes([rtn]) + info
        return bytes([0, len(body)]) + body
    ydt_def = (b"[comm]\nnote=YDT-01\ncid1=60\ncid2=42,44\nver=21\nbak=1\ndinfo=I\ndmax=200\n"
               b"Yk01=0102\nbrief=%1% %2%\n[42H]\ndinfo=F\ndflag=1\ndfac=10\n2=-\n3=I\n3bit=2\n"
               b"[44H]\ndcmd=01\ndmax=300\n[flds]\ncnt=2\n1=42H01\n2=44H01\n[flds.def]\n"
               b"1='F1',1,'f',0,10,1,0,'',600,''\n2='S1',1,'s',0,1,1,0,'',1,''\n")
    info42 = b"\x00" + b"\x00\x00\x66\x43" * 2 + b"\x12\x34" + b"\x20" * 8
    write("engine", "ydt", b"\x03" + ydt_def + b"\x00" + point() + b"\x00\x01" +
          yd(0, info42) + yd(0, b"\x01\x02\x03\x04") + yd(0, b""))
    write("engine", "ydt_ver", b"\x03" + ydt_def.replace(b"bak=1", b"bak=0") + b"\x00" + point() +
          b"\x00\x01" + yd(0, b"") + yd(0, info42) + yd(2, b"") + bytes([1, 0]))
    # Modbus (first byte 0).
    rtu_replies = script(rtu([1, 1, 1], b"\x05"), rtu([1, 3, 4], b"\x00\xFA\x01\xC2"),
                         rtu([1, 6, 0, 0x10, 0, 1]))
    write("engine", "rtu", b"\x00" + ENGINE_DEF + b"\x00" + point() + b"\x00\x03" + rtu_replies)
    tcp_replies = script(mbap(1, 1, bytes([1, 1, 0x05])),
                         mbap(2, 1, bytes([3, 4, 0, 0xFA, 1, 0xC2])),
                         mbap(3, 1, bytes([6, 0, 0x10, 0, 1])), mode=4)
    write("engine", "tcp", b"\x00" + ENGINE_DEF + b"\x00" + point() + b"\x00\x03" + tcp_replies)
    bad = ENGINE_DEF.replace(b"cnt=3", b"cnt=99999").replace(b"0=2", b"0=200\nx=1\n65535=2")
    write("engine", "refused", b"\x00" + bad + b"\x00" + point() + b"\x00\x03" +
          script(rtu([1, 0x81, 2])))
    odd = (b"[comm]\nnote=" + b"\xd6\xd0" * 20 + b"\nbrief=%1%%2%%9%" + b"%1%" * 80 +
           b"\nYk01=zz\n[flds]\ncnt=2\n1=40001\n[flds.def]\n1='',1\n2=no quote\n"
           b"x'=1,2,3,4,5\n[regs4]\n0=1\n")
    write("engine", "odd", b"\x00" + odd + b"\x00" + point() + b"\x01\x01" +
          script(rtu([1, 4, 2], b"\x80\x00")))


def alarm_frame(cmd, data=b""):
    """A remote alarm module frame: AA, length, command, data, XOR, 55."""
    x = cmd
    for b in data:
        x ^= b
    return bytes([0xAA, len(data) >> 8, len(data) & 0xFF, cmd]) + data + bytes([x, 0x55])


def alarm():
    # Unit 0: the link. Each reply as the module sends it (the channel's read takes the header,
    # then the rest of the same answer).
    link = lambda which, *steps: bytes([0, which]) + script(*steps, mode=0)
    write("alarm", "link_id", link(0, alarm_frame(1, b"\x30\x00\x00\x01")))
    write("alarm", "link_status", link(1, alarm_frame(2, b"\x00\x05\x01\x00")))
    write("alarm", "link_status_long", link(1, b"\xaa\x01\x2c" + alarm_frame(2, b"\x00\x05\x01\x00")[3:]))
    write("alarm", "link_request", link(2, alarm_frame(7, bytes(range(20)))))
    write("alarm", "link_sig", link(3, alarm_frame(6, b"\x17")))
    write("alarm", "link_sig_two", link(3, alarm_frame(6, b"\x17\x00")))
    write("alarm", "link_io_short", link(4, alarm_frame(0x33, b"\x01\x02\x03")))
    write("alarm", "link_sms", link(5, alarm_frame(0x11, b"\x00")))
    write("alarm", "link_too_long", link(0, alarm_frame(1, bytes(30))))
    write("alarm", "link_end54", link(9, alarm_frame(0x10)[:-1] + b"\x54"))
    write("alarm", "link_mms", link(10, alarm_frame(0x12, b"\x00"), alarm_frame(0x13), alarm_frame(0x13),
                                    alarm_frame(0x14, b"\x00"), alarm_frame(0x15, b"\x00")))
    write("alarm", "link_dial", link(12, alarm_frame(4), alarm_frame(0x21)))
    write("alarm", "link_upload", link(15, b"\xaa\x00\x05\x13\x13\x55"))
    # Unit 1: the text-command unit.
    ok = b"OK\r\r\n"
    text = lambda cmd, t, *steps: bytes([1, cmd]) + point() + t + b"\x00" + script(*steps)
    write("alarm", "text_sms", text(4, b"fire", ok, ok, ok, b"18\r\r\n" + ok, b"0\r\r\n" + ok))
    write("alarm", "text_tts", text(2, b"fire alarm", ok, ok, ok, b"x\r\r\n" + ok, b"OK\r\n"))
    write("alarm", "text_quote", text(4, b'a"b', ok, ok, b"\r\r\n\r\r\n", None))
    # Unit 2: the CDMA modem.
    aok = b"\r\nOK\r\n"
    csq = b"\r\n+CSQ: 20,99\r\n\r\nOK\r\n"
    cdma = lambda cmd, phone, t, *steps: bytes([2, cmd]) + phone + b"\x00" + t + b"\x00" + script(*steps)
    write("alarm", "cdma_send", cdma(2, b"13912345678", b"\xbb\xf0", aok, aok, aok, csq, aok, aok))
    write("alarm", "cdma_error", cdma(2, b"13912345678", b"fire", aok, aok, aok, csq, aok, b"\r\nERROR\r\n"))
    write("alarm", "cdma_init_err", cdma(0, b"", b"", aok, aok + aok, b"ERR\r", csq))
    write("alarm", "cdma_number_text", cdma(1, b"1", b"10086;fire", aok, aok, aok, b"+CSQ: 6,0\r\nOK", aok, aok))


def gsm():
    ok = b"\r\nOK\r\n"
    test = [ok, b"\r\n+CSQ: 20,0\r\n\r\nOK\r\n", b"\r\n+CPIN: READY\r\n\r\nOK\r\n",
            b'\r\n+COPS: 0,0,"China Mobile"\r\n\r\nOK\r\n']
    init = [ok, ok, b"\r\n+ESIMS: 1\r\n\r\nOK\r\n", b'\r\n+COPS: 0,0,"China Mobile"\r\n\r\nOK\r\n',
            b"\r\n+CSQ: 20,0\r\n\r\nOK\r\n", ok, ok]
    smsc = b'\r\n+CSCA: "+8613800100500",145\r\n\r\nOK\r\n'
    send = [b"\r\n> ", ok]
    head = lambda cmd, variant=0: bytes([cmd]) + point(variant=variant)
    write("gsm", "send", head(4) + b"13912345678\x00alarm 1\x00" +
          script(*(test + init + [smsc] + send)))
    write("gsm", "send_parts", head(4, 1) + b"13912345678\x00" + b"\xb1\xa8\xbe\xaf" * 40 +
          b"\x00" + script(*(test + init[:2] + init[4:] + [smsc] + send * 3)))
    write("gsm", "init", head(1) + b"\x00\x00" + script(*(test + init)))
    write("gsm", "smsc", head(2) + b"\x00\x00" + script(*(test + [smsc])))
    write("gsm", "smsc_bad", head(2) + b"\x00\x00" +
          script(*(test + [b'+CSCA: "+86abc",145\r\n\r\nOK', b'"x"'])))
    write("gsm", "test_fails", head(0) + b"\x00\x00" +
          script(ok, b"+CSQ: 5,0\r\nOK", ok, b"+CSQ: ,\r\nOK", ok, b"+CSQ: 20,0\r\nOK",
                 b"+CPIN: SIM PIN\r\nOK", None, ok, b"+CSQ: 99", b"READY", b"+COPS: 0"))
    write("gsm", "send_error", head(5) + b"8613912345678\x00text\x00" +
          script(*(test + init + [smsc, b"\r\n> ", b"\r\nERROR\r\n", b"+CMEE: 2\r\n"])))


def exchange():
    def head(which, addr, fn, reg, count, size):
        return bytes([which, addr, fn]) + struct.pack(">HHB", reg, count, size)
    write("exchange", "mb_rtu", head(0, 1, 3, 0, 2, 64) +
          script(rtu([1, 3, 4], b"\x00\xFA\x01\xC2")))
    write("exchange", "mb_rtu_split", head(0, 1, 1, 10, 8, 64) +
          script(("split", 2, rtu([1, 1, 1], b"\x05"))))
    write("exchange", "mb_tcp", head(0, 1, 4, 7, 0x8002, 64) +
          script(mbap(7, 1, bytes([4, 4, 0, 1, 0, 2])), mode=4))
    write("exchange", "mb_exception", head(0, 1, 3, 0, 2, 5) + script(rtu([1, 0x83, 2])))
    frame = ydt(0x21, 1, 0x2A, 0, "00FA012C")
    write("exchange", "yd", head(1, 1, 0x42, 21, 0, 200) + script(frame))
    write("exchange", "yd_rtn", head(1, 1, 0x42, 0, 0, 40) + script(ydt(0x21, 1, 0x2A, 4, "")))
    write("exchange", "yd_split", head(1, 1, 0x42, 17, 3, 100) +
          script(("split", 9, frame), mode=0))
    write("exchange", "base_mb", head(2, 1, 3, 0, 2, 64) +
          script(rtu([1, 3, 4], b"\x00\xFA\x01\xC2")))
    write("exchange", "base_mb_tcp", head(2, 1, 3, 9, 0x8002, 64) +
          script(mbap(9, 1, bytes([3, 4, 0, 1, 0, 2])), mode=4))
    write("exchange", "base_yd", head(3, 1, 0x42, 0, 4, 128) + script(frame))
    write("exchange", "base_yd_short", head(3, 1, 0x42, 0, 0, 18) + script(frame))


def smspdu():
    write("smspdu", "decode_ucs2",
          b"\x01" + b"0891683108100005F011000D91683119325476F8000800020041")
    write("smspdu", "decode_7bit", b"\x01" + b"07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07")
    write("smspdu", "decode_odd", b"\x01" + b"0G91F" + bytes(range(0x80, 0x90)))
    write("smspdu", "encode_ucs2", b"\x00" + b"8613800100500\x00" + b"8613912345678\x00" +
          b"\x00\x01" + b"\xb1\xa8\xbe\xaf alarm")
    write("smspdu", "encode_7bit", b"\x00" + b"\x00" + b"123\x00" + b"\x00\x00" +
          b"hello world")
    write("smspdu", "encode_8bit", b"\x00" + b"\x00" + b"1234567890123456\x00" + b"\x00\x02" +
          b"x" * 141)
    write("smspdu", "encode_parts", b"\x00" + b"8613800100500\x00" + b"8613912345678\x00" +
          b"\x00\x01" + b"\xb1\xa8" * 300)


def binups():
    """Mode 0: EDX polls (eight blocks); 1: III polls (two frames); 2: the checks alone."""
    def xor(b):
        x = 0
        for c in b:
            x ^= c
        return x

    def edx(ident, data, ack=False):
        body = bytes([ident]) + bytes(data)
        return (b"\x06" if ack else b"") + bytes([0x84, len(body)]) + body + bytes([xor(body)])

    blocks = [edx(0x01, [1, 0, 1, 0, 1]), edx(0x06, [100]), edx(0x07, [35, 220, 0]),
              edx(0x31, [0x32, 0xE6, 0]), edx(0x38, [0, 0, 0, 0, 0]), edx(0x3A, [0, 0xE6, 0]),
              edx(0x41, [1, 0, 0, 0]), edx(0x42, [0, 0, 0xE8, 3, 4, 50, 80, 0xE6, 0])]
    write("binups", "edx", bytes([0]) + point() + b"\x00" + script(*blocks))
    write("binups", "edx_ack_split", bytes([0]) + point() + b"\x40" +
          script(*[("split", 3, edx(b[2], b[3:-1], ack=True)) for b in blocks]))
    write("binups", "edx_wrong_id", bytes([0]) + point() + b"\x00" +
          script(blocks[0], edx(0x07, [100]), *blocks[2:]))
    write("binups", "edx_too_short", bytes([0]) + point() + b"\x00" +
          script(*blocks[:3], edx(0x31, [0x32, 0xE6])))
    # A block is judged by everything that arrives: a byte after it fails it, in the same read
    # or in a read of its own; a block whose second piece opens with a zero byte is joined.
    write("binups", "edx_byte_more", bytes([0]) + point() + b"\x00" +
          script(*blocks[:3], blocks[3] + b"\x00", *blocks[4:]))
    write("binups", "edx_byte_more_later", bytes([0]) + point() + b"\x00" +
          script(*blocks[:2], ("split", len(blocks[2]), blocks[2] + b"\x99"), *blocks[3:]))
    write("binups", "edx_split_zero", bytes([0]) + point() + b"\x00" +
          script(*[("split", 4, b) for b in blocks]))

    def iii(cmd, length, values, addr=1):
        f = bytearray(length + 6)
        f[0], f[1], f[2], f[3], f[4] = 0xEA, length, length, addr, cmd
        for at, v in values:
            f[at:at + 2] = struct.pack("<H", v)
        f[length + 4] = sum(f[3:length + 4]) & 0xFF
        f[length + 5] = 0x16
        return bytes(f)

    measure = iii(0x81, 47, [(6, 2200), (8, 2210), (10, 2190), (12, 2200), (44, 500), (50, 1)])
    battery = iii(0x86, 19, [(22, 100)])
    write("binups", "iii", bytes([1]) + point() + b"\x00" + script(measure, battery, measure, battery))
    write("binups", "iii_second_fails", bytes([1]) + point(addr=0x90) + b"\x00" +
          script(measure, battery, measure, iii(0x86, 15, [(6, 1)])))
    write("binups", "iii_split", bytes([1]) + point() + b"\x00" +
          script(("split", 2, measure), ("split", 30, battery), mode=1))
    write("binups", "check_edx", bytes([2, 0x31, 0]) + bytes.fromhex("0684043132E600E5"))
    write("binups", "check_iii", bytes([2, 0, 51]) + measure)

def q1scan():
    write("q1scan", "status", bytes([7, 0, 1, 0, 0]) + Q1[1:])
    write("q1scan", "east", bytes([12, 1, 1, 1, 0]) +
          b"!000 231.0 232.0 001+002/003 000 000 000 000 000 045\r")
    write("q1scan", "ident", bytes([3, 2, 0, 2, ord("#")]) + IDENT)
    write("q1scan", "huge", bytes([4, 0, 1, 0, 0]) + b"(1e308 -1e308 nan inf 99999999999 \r")
    write("q1scan", "gbk", bytes([2, 0, 0, 2, 0xFF]) + b"\xd6\xd0\xce\xc4 \xd6" + b" " * 3)


def ydtups():
    """Answers framed by the target: kind 0, the RTN byte, then the INFO bytes."""
    def yd(rtn, info):
        body = bytes([rtn]) + info
        return bytes([0, len(body)]) + body
    floats = b"\x00" + b"\x00\x00\x66\x43" * 16  # DATAFLAG, then 230.0 sixteen times
    states = b"\x00\x01\x00" + bytes(range(0xE0, 0xF0)) + bytes(20)
    # Driver 0: Emerson, each Variant profile.
    for variant in range(6):
        answers = yd(0, floats) * 5 + yd(0, states)
        if variant == 3:
            answers = yd(0, floats) + yd(0, b"\x03\x00\x00\x8a\x00\x0d" + floats) + yd(0, floats)
        write("ydtups", "variant%d" % variant, b"\x00" + point(variant=variant, ext2=3) + b"\x00" + answers)
    write("ydtups", "rtn", b"\x00" + point() + b"\x00" + yd(4, b"") + yd(0, floats[:10]))
    write("ydtups", "raw", b"\x00" + point(variant=5) + b"\x00" + bytes([0, 17]) +
          b"\xff~21012A00000FDA5\r" + bytes([1, 0]) + yd(0, floats))
    # Driver 1: Hipulse U series, CID2 41, E1, E3, 43; then a poll refused at its third reply,
    # and one whose floats are NaN, infinite or blank.
    def f32(*values):
        return b"".join(struct.pack("<f", v) for v in values)
    hp41 = b"\x00" + f32(230.5, 231.0, 229.5, 220.0, 220.5, 219.5, 10.5, 11.0, 11.5, 272.5, 50.0)
    hpE1 = bytes(14) + f32(12.0, 12.5, 13.0, 49.9) + bytes(4) + f32(229.0, 229.5, 230.0, 50.1)
    hpE3 = bytes(50) + f32(45.0)
    hp43 = bytes([0x01, 0x00]) + bytes(range(0xE0, 0xEF))
    hipulse = yd(0, hp41) + yd(0, hpE1) + yd(0, hpE3) + yd(0, hp43)
    write("ydtups", "hipulse", b"\x01" + point() + b"\x00" + hipulse)
    write("ydtups", "hipulse_bad", b"\x01" + point(ext2=5) + b"\x01" + hipulse +
          yd(0, b"\x00" + f32(float("nan"), float("inf"), -float("inf"), 3e9) + bytes(29)) +
          yd(0, hpE1) + yd(2, b"") + bytes([0, 20]) + b"~11012A00 000FDA5\r\x00\x00")


def aircydt():
    """Driver byte, point, wait, command and parameter, value, then answers (YD/T: framed by
    the target; raw: noise or the DME3000's Modbus replies)."""
    def yd(rtn, info):
        body = bytes([rtn]) + info
        return bytes([0, len(body)]) + body
    def raw(b):
        return bytes([3, len(b)]) + b
    def crc(b):
        c = 0xFFFF
        for x in b:
            c ^= x
            for _ in range(8):
                c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
        return b + bytes([c & 0xFF, c >> 8])
    no_cmd = b"\x00\x00" + bytes(4)
    # Emerson: CID2 42, 47, 82, 85; then a poll cut short in its INFO.
    emerson = yd(0, b"\x00\xeb\x01\xc2" + bytes(10)) + yd(0, bytes(24)) + \
        yd(0, b"\x01" + b"\x01\x00" * 9) + yd(0, b"\x00" + b"\x00\x10" + bytes(9))
    write("aircydt", "emerson", b"\x00" + point(ext2=3) + b"\x00" + no_cmd + emerson +
          yd(0, bytes(13)) + yd(4, b""))
    # EVO DX: CID2 42 (7FFF and 8000 among the values), 43, 44 (alarm codes 01, 02, FF).
    evo42 = b"\x00\xe7\x7f\xff\x80\x00" + bytes(60)
    evo = yd(0, evo42) + yd(0, bytes(26)) + yd(0, b"\x01\x02\xff" + bytes(74))
    write("aircydt", "evo", b"\x01" + point() + b"\x00" + no_cmd + evo)
    write("aircydt", "evo_variant", b"\x01" + point(variant=1) + b"\x00" + no_cmd +
          raw(b"~21016000" + b"4084" + b"0" * 132 + b"0000\r") + raw(b"A" * 40 + b"\r") + evo)
    # DME3000 over YD/T 1363: CID2 82 (0x41 alarms), 42, 47, 83 (0x1A); command 2, parameter 5.
    dme = yd(0, b"\x00\x03\x00\x41\x81\x80") + yd(0, bytes(6)) + yd(0, bytes(10)) + \
        yd(0, b"\x1a\x05")
    write("aircydt", "dme_ydt", b"\x02" + point() + b"\x00" + b"\x02\x05" +
          b"\x23\x01\x00\x00" + dme + yd(0, b""))
    # DME3000 over Modbus RTU: the six reads, then a command refused.
    mb = crc(b"\x01\x04\x06\xff\xfb\x00\x00\x01\xf4") + crc(b"\x01\x04\x04\x00\xeb\x01\xc2") + \
        crc(b"\x01\x04\x02\x00\x01") + crc(b"\x01\x02\x03\x0d\xff\x01") + \
        crc(b"\x01\x02\x01\x10") + crc(b"\x01\x02\x01\x01")
    steps = b"".join(raw(f) for f in [mb[i:j] for i, j in ((0, 11), (11, 20), (20, 27), (27, 35), (35, 41), (41, 47))])
    write("aircydt", "dme_modbus", b"\x02" + point(variant=1) + b"\x00" + b"\x01\x00" +
          bytes(4) + steps + raw(crc(b"\x01\x84\x02")) + yd(4, b""))
    # T-MASTER: CID2 E0 with humidity 8001 and a blank alarm pair.
    te = yd(0, b"\x00\xeb\x80\x01\x01\x05\x02\xff\xff\xff\xff" + bytes(18))
    write("aircydt", "tmaster", b"\x03" + point() + b"\x00" + no_cmd + te + yd(4, b""))


def apmups():
    """Driver byte, point, wait, then answers (YD/T: framed by the target; Modbus: raw)."""
    def yd(rtn, info):
        body = bytes([rtn]) + info
        return bytes([0, len(body)]) + body
    floats = b"\x00" + b"\x00\x80\x66\x43" * 16   # DATAFLAG, then 230.5 sixteen times
    alarms = b"\x00" + b"\xf0\x01" * 50          # F0 at every other byte
    words = b"\x00" + b"\x08\xfc" * 40           # 16-bit values 2300
    seq = yd(0, floats) * 3 + yd(0, alarms)
    for variant in (0, 1):
        write("apmups", "apm150_v%d" % variant, bytes([0]) + point(variant=variant) + b"\x00" + seq)
    for variant in (0, 2, 3):
        write("apmups", "itrust_v%d" % variant, bytes([1]) + point(variant=variant) + b"\x14" + seq)
    write("apmups", "itrust_5k", bytes([1]) + point(variant=4) + b"\x00" + yd(0, words) + yd(0, alarms))
    write("apmups", "gxe", bytes([2]) + point(ext2=1) + b"\x00" + yd(0, words) + yd(0, bytes(range(12))))
    write("apmups", "gxe_rtn", bytes([2]) + point() + b"\x00" + yd(0, words) + yd(4, b""))
    write("apmups", "ahp_ydt", bytes([3]) + point(variant=2) + b"\x00" + yd(0, b"") +
          yd(0, floats) * 5)
    regs = b"".join(struct.pack(">H", 220 + r) for r in range(41))
    write("apmups", "ahp_modbus", bytes([3]) + point() + b"\x00" + script(rtu([1, 3, 82], regs)))
    write("apmups", "ahp_exception", bytes([3]) + point() + b"\x00" + script(rtu([1, 0x83, 2])))
    write("apmups", "apm150_short", bytes([0]) + point(variant=1) + b"\x00" + yd(0, floats[:20]))
    write("apmups", "apm150_far", bytes([0]) + point(ext1=247) + b"\x00" + seq)


def mbups():
    """Mode 0..4: GX, HR7000, IPGuard, HTxx, 9E polls (point, wait, script); 5: the 9E block
    reassembly (area size, script)."""
    def regs(n, base=2300):
        return b"".join(struct.pack(">H", base + r) for r in range(n))

    def read(fn, count, base=2300):
        return rtu(bytes([1, fn, 2 * count]), regs(count, base))

    gx = read(3, 56)
    check = rtu(bytes([1, 4, 2]), b"\x00\x01")
    write("mbups", "gx", bytes([0]) + point() + b"\x00" + script(gx, check, gx, check))
    write("mbups", "gx_check_fails", bytes([0]) + point() + b"\x00" +
          script(gx, rtu(bytes([1, 0x84, 2])), gx, check[:-1]))
    write("mbups", "gx_short", bytes([0]) + point() + b"\x00" + script(gx[:-3], ("split", 50, gx), check))
    write("mbups", "hr7000", bytes([1]) + point() + b"\x32" + script(read(4, 66, 0), read(4, 66)))
    inputs = rtu(bytes([1, 2, 21]), bytes([1, 0, 1, 0, 5, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1]))
    write("mbups", "ipguard", bytes([2]) + point(variant=1) + b"\x00" + script(read(4, 51), inputs))
    write("mbups", "ipguard_106", bytes([2]) + point() + b"\x00" +
          script(rtu(bytes([1, 4, 102]), regs(51)[:-1]), read(4, 51), rtu(bytes([1, 2, 3]), b"\xff\xff\x1f")))
    write("mbups", "htxx", bytes([3]) + point() + b"\x00" + script(read(3, 57, 5000), read(4, 57, 0)))
    write("mbups", "htxx_second_fails", bytes([3]) + point() + b"\x00" + script(read(3, 57), None))
    e9_inputs = [rtu(bytes([1, 2, 1, b])) for b in (0x3D, 0x01, 0x01, 0x00)]
    write("mbups", "9e_modbus", bytes([4]) + point() + b"\x00" + script(read(4, 82), *e9_inputs))
    write("mbups", "9e_modbus_third_fails", bytes([4]) + point(variant=2) + b"\x00" +
          script(read(4, 82), e9_inputs[0], rtu(bytes([1, 0x82, 2]))))

    # The 9E block protocol (Variant 1): per transaction the sync's answer, then the blocks.
    def blocks(data, size=15):
        chunks = [data[i:i + size] for i in range(0, len(data), size)] or [b""]
        out = []
        for i, c in enumerate(chunks):
            flag = 0x84 if i == len(chunks) - 1 else 0x04
            out.append((b"\x06" if i == 0 else b"") + bytes([flag, len(c)]) + c)
        return out

    sizes = [17, 23, 3, 13, 13, 2, 2, 7, 2]
    steps = []
    for n in sizes:
        steps.append(b"\x06")
        steps.extend(blocks(bytes(range(1, n + 1)), 8))
        steps.append(None)  # the final acknowledgement gets no answer
    write("mbups", "9e_block", bytes([4]) + point(variant=1) + b"\x00" + script(*steps))
    endless = [b"\x06", b"\x06\x04\x0f" + bytes(15)] + [b"\x04\x0f" + bytes(15)] * 20
    write("mbups", "9e_block_endless", bytes([4]) + point(variant=1) + b"\x00" + script(*endless))
    write("mbups", "reassembly", bytes([5, 20]) + script(b"\x06", *blocks(bytes(range(40)), 15)))
    write("mbups", "reassembly_long", bytes([5, 255]) +
          script(b"\x06", b"\x06\x04\x0f" + bytes(20), b"\x84\xff" + bytes(3)))



def precairc():
    def jadc_block(kind, start, items, width=4):
        b = bytes([2, 0x31, ord(kind), 0x30 + start, 0x30 + (len(items) * (8 if kind == "B" else 1))])
        b += b"".join(("%0*X" % (width, v)).encode() for v in items) + b"\x03"
        s = sum(b) & 0xFF
        return b + bytes([0x30 + (s >> 4), 0x30 + (s & 15)])
    s_blk = jadc_block("S", 1, [240, 400, 0, 0, 200])
    u_blk = jadc_block("U", 11, [1200, 300, 900, 850])
    b_blk = jadc_block("B", 33, [0x41, 1, 1], 2)
    opening = [b"\x02\x31?JADC\x03\x30\x30", b"\x06", None]
    enq = []
    for blk in (s_blk, u_blk, b_blk, b_blk):
        enq += [blk, None]
    write("precairc", "jadc", bytes([0]) + point() + script(*(opening + enq)))
    write("precairc", "jadc_end", bytes([0]) + point() + script(*(opening + [s_blk, None, b"\x00"])))

    def line(*bs):
        body = bytes(bs)
        lrc = (-sum(body)) & 0xFF
        return b":" + body.hex().upper().encode() + b"%02X\r\n" % lrc
    delta = [line(1, 3, 2, 0, 235)] * 12 + [line(1, 3, 14, *([0, 1] * 7))]
    write("precairc", "delta", bytes([1]) + point() + script(*delta))
    write("precairc", "delta_exception", bytes([1]) + point() + script(line(1, 0x83, 2)))
    gos = b"\x02L01" + b"00FA0032" + b"3A" + b"0280" + b"0081" + b"\x03"
    write("precairc", "sunrise_gos", bytes([2]) + point(variant=1) +
          script(gos, b"\x02R010300DC\x03", b"\x02R01040037\x03"))
    regs = b"".join(struct.pack(">H", v) for v in (220, 50, 0x26, 250, 45, 0x8202, 0x8081, 0))
    write("precairc", "sunrise_modbus", bytes([2]) + point() + script(rtu([1, 3, 16], regs)))
    rec = bytearray(512)
    rec[0] = 1
    rec[5:7] = b"\xf0\x00"
    rec[134] = 1
    write("precairc", "stulz_c5000", bytes([3]) + point(variant=1) + b"\x09\x24" +
          script(bytes(rec[:250])))
    f = lambda *v: b"".join(struct.pack(">f", x) for x in v)
    reads = [(4, 2), (6, 3), (2, 1), (14, 7), (20, 10), (4, 2), (2, 1), (2, 1), (6, 3), (2, 1), (2, 1)]
    c7 = [rtu([1, 3, 2 * c], f(*([23.5] * n))) for c, n in reads] + [rtu([1, 1, 1], b"\x01")]
    write("precairc", "stulz_c7000", bytes([3]) + point(variant=0) + b"\x09\x24" +
          script(*(c7 + [rtu([1, 16, 9, 0x24, 0, 2])])))



def cyberairc():
    """Mode 0..4: SCA, HSTXX, HaiRuiFu, RDA, Canatal polls (point, wait, script)."""
    def read(fn, data):
        return rtu(bytes([1, fn, len(data)]), data)

    def words(*ws):
        return b"".join(struct.pack(">H", w) for w in ws)

    sca = read(3, words(240, 500, 0x4103, 251, 452, 1, 0x8100, 3, 0xFFFF, 1, 10) + bytes(18) +
               words(180, 550, 183, 561, 25, 40) + bytes(16) + words(75, 0))
    write("cyberairc", "sca", bytes([0]) + point() + b"\x00" + script(sca, sca[:-4], sca))
    hst12 = read(3, words(5, 0x1FF) + struct.pack(">ffff", 30.5, 12.25, 23.46, -5.25) +
                 words(15, 8) + struct.pack(">ff", 50.0, 24.0))
    write("cyberairc", "hst12", bytes([1]) + point() + b"\x00" + script(hst12, ("split", 9, hst12)))
    hst26 = read(3, struct.pack(">ffffff", float("nan"), 55.0, 1e30, 50.0, 30.5, 24.0) +
                 words(0xFF, 0xFFFF, 0x0600) + bytes(18))
    write("cyberairc", "hst26jf", bytes([1]) + point(variant=1) + b"\x00" + script(hst26, hst26))
    hrf = [read(4, words(235, 0x8001)), read(4, words(*range(13))), read(2, b"\x77"),
           read(2, b"\x05")]
    write("cyberairc", "hairuifu", bytes([2]) + point() + b"\x00" + script(*hrf, *hrf[:2],
          rtu(bytes([1, 0x82, 2]))))
    rda = [read(2, bytes([0x1F, 0, 0xA0, 7, 0, 0, 0x20])), read(3, words(540, 0, 0, 262)),
           read(4, words(220, 0, 0, 500))]
    write("cyberairc", "rda", bytes([3]) + point() + b"\x00" + script(*rda, rda[0], None))
    can = [read(1, b"\x01"), read(2, b"\x7f"), read(2, b"\x0f"), read(4, words(245, 513)),
           read(3, words(230, 0, 0, 0, 500, 0, 0, 0))]
    bad = bytearray(can[3])
    bad[-1] ^= 0xFF
    write("cyberairc", "canatal", bytes([4]) + point() + b"\x00" +
          script(*can, *can[:3], bytes(bad)))


def battery():
    """Unit byte, point, DataGet cell count and command 0 count (each doubled), then answers
    (Modbus: raw; ADU1000: YD/T framed by the target)."""
    def words(*ws):
        return b"".join(struct.pack(">H", w & 0xFFFF) for w in ws)

    def read(fn, data):
        return rtu(bytes([1, fn, len(data)]), data)
    group = read(4, words(125, -10, 5350, 251))
    block = read(4, words(*range(1330, 1394)))
    # BAT100, 10 cells: group, one block of each array; then a poll cut in its second block.
    write("battery", "batt100", b"\x00" + point(ext1=10) + b"\x05\x00" +
          script(group, block, block, block, block, group, block, block[:60]))
    # BAT100, count 130 (three blocks of four arrays); the next poll refused at its first block.
    write("battery", "batt100_blocks", b"\x00" + point(ext1=130) + b"\x41\x00" +
          script(group, *[block] * 12, group, rtu(bytes([1, 0x84, 2]))))

    def cell(i):
        return read(4, bytes([i, 120 + i, 0, 250, 0, 0]))
    # BOD-800, 4 cells: one corrupt, one short, then a second poll silent at its second cell.
    bad = bytearray(cell(1))
    bad[-1] ^= 0x5A
    write("battery", "bod800", b"\x01" + point(ext1=4) + b"\x02\x00" +
          script(cell(0), bytes(bad), cell(2)[:7], cell(3), cell(0), None))
    # BOD-800, 6 cells by command 0, rows for Ext1 200 (capped).
    write("battery", "bod800_count", b"\x01" + point(ext1=200) + b"\x00\x03" +
          script(*[cell(i) for i in range(6)]))

    def yd(rtn, info):
        body = bytes([rtn]) + info
        return bytes([0, len(body)]) + body

    def fl(v):
        return struct.pack("<f", v)
    # ADU1000: two bytes, 49 cells, a byte, the six group floats with their spare bytes.
    info = b"\x00\x31" + b"".join(fl(13.3 + 0.01 * i) for i in range(49)) + b"\x00" + \
        fl(53.2) + fl(53.1) + b"\x00" + fl(2.01) + fl(-1.25) + b"\x00" + fl(25.1) + \
        struct.pack("<I", 0x7FC00000) + b"\x00"
    assert len(info) == 226
    write("battery", "adu1000", b"\x02" + point(ext2=1) + b"\x00\x00" + yd(0, info) +
          yd(1, b"") + yd(0, info[:200]))
    # DB100: the 30 registers, a negative current; then 29 registers with a good CRC.
    regs = words(5350, -100, 253, *range(13300, 13324), 10000, 24, 12)
    write("battery", "db100", b"\x03" + point(ext2=3) + b"\x00\x00" +
          script(read(3, regs), read(3, regs[:58])))


def battcell():
    # Mode 0: the RTVS monitor, Ext1 (4 bytes) after the point; '~' replies ending in CR.
    def rtvs(cmd, data, addr=1, stepped=True):
        body = bytes([cmd]) + (bytes([addr]) if stepped else b"") + data
        return b"~" + body + bytes([sum(body) & 0xFF, 0x0D])

    def curr(cmd, word):
        return rtvs(cmd, b"\x00" + struct.pack(">H", word))

    def volt(cmd, word):
        body = bytes([cmd, 1]) + struct.pack(">H", word)
        return b"~" + body + bytes([sum(body) & 0xFF, 0x0D])

    def recs(n, first=1):
        return b"".join(bytes([first + i]) + struct.pack(">H", 110 + i) + bytes([85, 86, 122, 0])
                        for i in range(n))

    head = bytes([0]) + point() + struct.pack(">I", 0x0203)
    good = [curr(0xF1, 0x0064), curr(0xF2, 0x1032), volt(0x91, 535), rtvs(0xE1, recs(3)),
            volt(0x92, 530), rtvs(0xE2, recs(2, 21))]
    write("battcell", "rtvs", head + script(*good, *good))
    write("battcell", "rtvs_cut_record", head + script(*good[:3], rtvs(0xE1, recs(3))[:24],
                                                       *good[4:]))
    write("battcell", "rtvs_more_records", head + script(*good[:3], rtvs(0xE1, recs(9)), *good[4:]))
    write("battcell", "rtvs_no_cr", head + script(curr(0xF1, 0x0064)[:-1] + b"\x0a"))
    write("battcell", "rtvs_variant1", bytes([0]) + point(variant=1) + struct.pack(">I", 0x01) +
          script(curr(0xF1, 0x64)[:3] + curr(0xF1, 0x64)[4:], curr(0xF2, 0x64)[:3] +
                 curr(0xF2, 0x64)[4:], volt(0x91, 535), rtvs(0xE1, recs(1), stepped=False)))
    write("battcell", "rtvs_all_channels", bytes([0]) + point() + struct.pack(">I", 0xFFFFFFFF) +
          script(curr(0xF1, 1), curr(0xF2, 2), *[x for k in range(4) for x in
                 (volt(0x91 + k, 500), rtvs(0xE1 + k, recs(30)))]))

    # Mode 1: the EB90 string, Addr 10, count 4 (byte 6), 1200 s between cycles (byte 2).
    def eb(addr, cmd, value):
        b = bytes([0xEB, 0x90, addr, cmd]) + struct.pack("<I", value)[:3]
        return b + bytes([sum(b[2:]) & 0xFF, 0x16])

    head = bytes([1]) + point(addr=10, ext1=4, ext2=15) + bytes([6, 2])
    sweep = [x for c in range(4) for x in (eb(10 + c, 0x62, 3500), eb(10 + c, 0x60, 13200),
                                           eb(10 + c, 0x61, 251))]
    write("battcell", "eb90_sweep", head + script(*sweep, eb(10, 0x62, 3400), eb(10, 0x60, 13100),
                                                  eb(10, 0x61, 250)))
    bad = bytearray(eb(10, 0x60, 13200))
    bad[-2] ^= 1
    write("battcell", "eb90_bad", head + script(eb(10, 0x62, 3500), bytes(bad), eb(10, 0x61, 251)[:6],
                                                eb(11, 0x62, 1), None))
    write("battcell", "eb90_named", bytes([1]) + point(addr=250, variant=7, ext1=24, name=b"x-2") +
          bytes([10, 0]) + script(*sweep))
    # Mode 2: the reply check alone.
    write("battcell", "check", bytes([2]) + eb(10, 0x60, 13200))
    write("battcell", "check_short", bytes([2]) + eb(10, 0x60, 13200)[:6])




def dio():
    """Handler 0..6: PD220-6, FD220, RD230, AD5DA5, AD5DA5 with curves, the distribution
    board, the DO alarm output; point, wait, command function and low byte, buffer, script."""
    def head(which, fn=0, low=0, buf=b"", addr=1):
        assert len(buf) % 2 == 0
        return bytes([which]) + point(addr=addr) + b"\x00" + bytes([fn, low, len(buf) // 2]) + buf

    def regs(fn, *ws, unit=1):
        return rtu(bytes([unit, fn, 2 * len(ws)]), b"".join(struct.pack(">H", w) for w in ws))

    pd = rtu([1, 4, 12], bytes([1] + [0] * 10 + [1]))
    write("dio", "pd2206", head(0, 8, 0x40, b"\x01\x00\x00\x00") +
          script(pd, rtu([1, 8, 0, 0x40, 0, 1, 0, 1]), pd))
    write("dio", "pd2206_standard", head(0) + script(regs(4, *range(12)), rtu([1, 0x84, 2])))
    write("dio", "fd220", head(1, 0, 5, b"\x00\xFF") +
          script(rtu([1, 1, 1, 1]), rtu([1, 5, 1, 0xF4, 0xFF, 0]), rtu([1, 1, 1, 0])))
    write("dio", "rd230", head(2) + script(rtu([1, 2, 1, 0x7F]), ("split", 2, rtu([1, 2, 1, 0xFE]))))
    ad = [regs(4, 1, 2, 3, 4, 40000), regs(3, 6, 7, 8, 9, 10)]
    write("dio", "ad5da5", head(3, 16, 0, b"\x12\x34\x56\x78") +
          script(*ad, rtu([1, 16, 0, 0, 0, 2]), ad[0], None))
    def ivc(unit):
        return [regs(4, 8, 410, 830, 1000, 2000, unit=unit), regs(3, 2048, 0, 4095, 0, 0, unit=unit)]
    curve = struct.pack("<ffff", 0.0, 0.0, 10.0, 100.0)
    write("dio", "ivc_curve", head(4, 22, 2, curve, addr=3) + script(*ivc(3), *ivc(3)))
    write("dio", "ivc_curve_long", head(4, 24, 50, bytes(400), addr=13) + script(*ivc(13), *ivc(13)))
    write("dio", "ivc_write", head(4, 6, 1, b"\xFF\x0F\x00\x00") +
          script(*ivc(1), rtu([1, 6, 0, 1, 0x0F, 0xFF]), *ivc(1)))
    board = regs(3, *([2, 1, 0] * 24))
    write("dio", "mlan", head(5) + script(board, board[:-3], board))
    write("dio", "almdo", head(6, 0, 11) + script(b"\x5A", mode=8))


def camera():
    # Case 0: the JPEG camera's poll; 1: its set-up; 2: the 3GE camera's poll.
    pic = b"\xff\xd8" + bytes(range(1, 41)) + b"\xff\xd9"
    frame = bytes.fromhex("7600360000")
    length = bytes.fromhex("76003400040000") + struct.pack(">H", len(pic))
    burst = bytes.fromhex("7600320000") + pic + bytes.fromhex("7600320000")
    write("camera", "poll", bytes([0]) + point() + script(frame, length, burst, frame, length, burst))
    write("camera", "poll_cut", bytes([0]) + point() + script(frame, length, burst[:30]))
    write("camera", "poll_split", bytes([0]) + point() + script(("split", 2, frame), length, ("split", 9, burst), mode=1))
    write("camera", "poll_big", bytes([0]) + point() + script(frame, bytes.fromhex("760034000401000010"), burst))
    ok = bytes.fromhex("7600310000")
    write("camera", "setup", bytes([1]) + point() + script(bytes.fromhex("76002600"), frame, ok, ok))
    write("camera", "setup_retries", bytes([1]) + point() +
          script(None, bytes.fromhex("76002600"), b"Init end\r\n", bytes.fromhex("7600310001"), ok))
    head = b"UG#UP" + struct.pack("<H", len(pic)) + b"\x00"
    write("camera", "ge", bytes([2]) + point() + script(head + pic, head + pic))
    write("camera", "ge_more", bytes([2]) + point() + script(b"UG#UP\x05\x00\x01" + pic))
    write("camera", "ge_fewer", bytes([2]) + point() + script(b"UG#UP\xff\xff\x01" + pic))
    write("camera", "ge_bad", bytes([2]) + point() + script(b"UG3UP\x05\x00\x01" + pic, b"UG#U"))


def plant():
    """Handler 0..4: transformer, SCADA, DC monitor, generator set, HC-311A (point, wait,
    command, buffer byte, script)."""
    def read(fn, data):
        return rtu(bytes([1, fn, len(data)]), data)

    def words(*ws):
        return b"".join(struct.pack(">H", w) for w in ws)

    def head(which, cmd=0, value=1, wait=0, ext2=0):
        return bytes([which]) + point(ext2=ext2) + bytes([wait]) + struct.pack(">I", cmd) + \
            bytes([value])

    transf = [read(1, b"\x05"), read(4, words(240, 241, 0, 125))]
    write("plant", "transf", head(0, ext2=1) + script(*transf, transf[0], None))
    pair = struct.pack(">I", 2000000001)
    scada = [read(3, words(6400, 0x4000, 0, 0) + pair + words(0, 0, 0, 21, 22, 20, 230, 231, 229, 0)),
             read(3, pair * 3 + words(0, 0x8000, 0xFFFF, 0, 0, 0) + pair),
             read(3, words(400, 10000, 540)), read(3, words(0xFFFE))]
    write("plant", "scada", head(1, wait=25, ext2=0x20) + script(*scada, scada[0],
          rtu(bytes([1, 0x83, 2]))))
    fbjk = [read(4, words(*range(3800, 3820))), read(2, b"\x15"), read(2, b"\x02")] + \
        [read(4, words(535 + g, 25, 0, 0)) for g in range(4)]
    write("plant", "fbjk", head(2, ext2=0x40) + script(*fbjk, fbjk[0], fbjk[1][:-1]))
    hgm = [read(1, bytes([0x05, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0x53])),
           read(3, words(*range(1000, 1016))), read(3, words(1017)), read(3, words(1019)),
           read(3, words(*range(1021, 1035)))]
    write("plant", "hgm", head(3, cmd=30) + script(*hgm, *hgm, rtu([1, 5, 0, 0, 0xFF, 0])))
    write("plant", "hgm_refused", head(3, cmd=31) + script(*hgm, hgm[0], None, rtu([1, 0x85, 2])))
    hc = [read(3, words(0, 0, 1, 1) + bytes(24) + words(10, 10)),
          read(4, words(22000, 500, 1100, 0xFF38, 1120, 9800, 5000, 315)),
          read(3, struct.pack(">8I", 120000000, 0, 24000, 12000, 120000000, 0xFFFFFFFF, 36000, 12000)),
          read(1, b"\x01")]
    write("plant", "hc311a", head(4, cmd=15 << 16, value=0) + script(*hc, hc[0], None,
          rtu([1, 15, 0, 0, 0, 1])))
    write("plant", "hc311a_factors", head(4, cmd=15 << 16, value=1) +
          script(read(3, words(0, 0, 0xFFFF, 0xFFFF) + bytes(24) + words(0xFFFF, 0xFFFF)),
                 read(4, words(0xFFFF, 0xFFFF, 0x8000, 0x7FFF, 0xFFFF, 0x8000, 0xFFFF, 0x8000)),
                 read(3, b"\xFF" * 32), read(1, b"\x00"), None, rtu([1, 0x8F, 2])))


def iomodules():
    """Handler byte, point, command (function, register) and value, then the script."""
    def head(handler, cmd=(0, 0), value=0, **pt):
        return bytes([handler]) + point(**pt) + bytes(cmd) + struct.pack(">i", value)
    write("iomodules", "onoff", head(0) +
          script(rtu([1, 4, 12], bytes([0, 1, 0, 0, 2, 0] + [0] * 6)), rtu([1, 0x84, 2]),
                 rtu([1, 4, 6], bytes(6))))
    # Leak detectors: every model's reads answered, then a command.
    m0 = [rtu([1, 4, 8], b"\x00\x7D\x01\xF4\x00\x0A\x01\xF4"), rtu([1, 3, 2], b"\x00\x07"),
          rtu([1, 4, 4], b"\x00\x10\x13\x88")]
    write("iomodules", "leak_m0", head(1, (6, 3), 0x0102) + script(*m0, rtu([1, 6, 0, 3, 1, 2])))
    write("iomodules", "leak_m0_cut", head(1) + script(m0[0], m0[1][:4], b"\x01\x04\x08\x00"))
    write("iomodules", "leak_m1", head(1, (6, 8), 0x00FF, variant=1, ext1=100) +
          script(rtu([1, 6, 0, 8, 0, 1]), rtu([1, 3, 4], b"\x00\x03\x00\x64"),
                 rtu([1, 3, 8], b"\x01\x81\x00\x00\x00\x09\x00\x0B"), rtu([1, 6, 0, 8, 0, 1])))
    write("iomodules", "leak_m2", head(1, variant=2, ext2=20) +
          script(rtu([1, 4, 2], b"\x00\x02"), rtu([1, 3, 2], b"\x00\x2C")))
    write("iomodules", "leak_m3", head(1, variant=3) +
          script(rtu([1, 4, 2], b"\x03\x00"), rtu([1, 4, 2], b"\x00\x4D"), rtu([1, 4, 2], b"\x01\x81")))
    # W70XX modules by Variant, with the relay switch and the vendor function.
    write("iomodules", "w70xx_relays", head(2, (5, 0x20), 1, variant=2) +
          script(rtu([1, 2, 1], b"\xFF"), rtu([1, 1, 1], b"\x05"), rtu([1, 5, 0, 0x20, 0xFF, 1])))
    write("iomodules", "w70xx_16", head(2, (0x46, 0), 3, variant=1) +
          script(rtu([1, 2, 2], b"\x0F\xF0"), rtu([1, 0x82, 2]), rtu([1, 0x46, 0xC6, 3])))
    write("iomodules", "w70xx_analog", head(2, variant=4) +
          script(rtu([1, 3, 16], bytes(range(16)))))
    write("iomodules", "w7017", head(3, ext1=20) +
          script(rtu([1, 3, 16], b"\x03\xE8\x03\xE8" + bytes(12)),
                 rtu([1, 3, 16], b"\x00\x00\x03\xE8" + bytes(12))))
    # KW7: both layouts, a bad digit, then each command's frames.
    write("iomodules", "kw7", head(4, (0x70, 9), 1, variant=1) +
          script(b"!03FF15\r", b"!03FG15\r", b"!\r", b">\r"))
    write("iomodules", "kw7_v0", head(4, (0x80, 0), 5, ext1=100) +
          script(b"!00050003\r", b"!01400600\r", b"!05\r"))
    # The BLE scanner: set-up, "AT", then a scan of records (one cut short in the second).
    def rec(addr, r, g, digits=b"%04X%04X"):
        body = bytearray(b"4C000215:" + b"0" * 61)
        body[42:50] = digits % (r, g)
        body[50:53] = b"C5:"
        body[53:65] = addr
        body[65:70] = b":-061"
        return b"OK+DISC:" + bytes(body)
    scan = b"OK+DISIS" + rec(b"D4F51378E929", 1023, 501) + rec(b"D4F51378E69E", 0, 9) + b"OK+DISCE"
    write("iomodules", "ble", head(5, ext2=100) +
          script(b"OK+Set:1", b"OK+Set:1", b"OK", scan, b"OK",
                 b"OK+DISIS" + rec(b"D4F51378ED87", 2047, 0)[:50]))
    write("iomodules", "ble_lower", head(5) +
          script(b"OK+Set:0", b"OK+Set:1", b"OK", b"OK+DISIS" + rec(b"987BF3694231", 0x3ff, 1, b"%04x%04x")))


def cards():
    """Handler 0..5 (A, K, T, W, people counter, RS-485 reader; 6 the frame checks alone), the
    point, the wait, a command word and a data length, then the answers."""
    def head(h, cmd=0x1081, length=0, addr=1, wait=0):
        return bytes([h]) + point(addr=addr) + bytes([wait]) + struct.pack(">I", cmd) + bytes([(length + 2) & 0xFF])

    def card_a(cmd, data):
        f = bytearray(34)
        f[0] = 0x7E
        f[1:5] = struct.pack("<HH", 1, cmd)
        f[5:5 + len(data)] = data
        f[31:33] = struct.pack("<H", sum(f[1:31]) & 0xFFFF)
        f[33] = 0x0D
        return bytes(f)
    ev = bytes(7) + bytes([5, 0, 0, 0, 0, 0x39, 0x30, 3, 1]) + struct.pack("<HH", (14 << 9) | (3 << 5) | 5, (8 << 11) | (9 << 5) | 5) + bytes([1, 2, 0, 3])
    write("cards", "a_events", head(0, 0x109D, 1) + script(card_a(0x1081, ev), card_a(0x1081, ev), card_a(0x1081, ev[:7] + b"\x06" + ev[8:]), card_a(0x109D, b"\x00")))
    write("cards", "a_bad", head(0, 0x109D, 30) + script(card_a(0x1081, ev)[:33], None, card_a(0x1081, ev)[:-3] + b"\x00\x00\x0d"))

    def card_k(info, adr=1):
        lenid = 2 * len(info)
        lsum = (-(lenid & 0xF) - ((lenid >> 4) & 0xF) - ((lenid >> 8) & 0xF)) & 0xF
        body = "%02X%02X%02X%02X%04X%s" % (0x10, adr, 0x80, 0, (lsum << 12) | lenid, info.hex().upper())
        chk = (-sum(body.encode())) & 0xFFFF
        return b"\x7f" + ("%s%04X" % (body, chk)).encode() + b"\r"
    info = bytes([2, 0, 0, 0x30, 0x39, 0x20, 0x14, 3, 5, 8, 9, 0x10, 0, 0])
    write("cards", "k_event", head(1) + script(card_k(info), card_k(info[:13] + b"\x01"), card_k(info + bytes(9))))
    write("cards", "k_lower", head(1) + script(card_k(info).lower(), card_k(info[:5])))
    write("cards", "k_codec", bytes([6]) + card_k(info))

    def card_t(cmd, data):
        f = bytes([0xA6, 1, 1, cmd, len(data)]) + data
        return f + bytes([sum(f) & 0xFF])
    rep = bytes([1, 3, 1]) + struct.pack(">II", 12345678, 0x1234) + struct.pack(">I", 1393978150) + b"\x09"
    write("cards", "t_events", head(2, 5, 2) + script(card_t(0x42, rep), card_t(0x42, rep), card_t(1, b""), card_t(5, b"\x05\x00")))
    write("cards", "t_short", head(2, 5, 0) + script(card_t(0x42, rep[:10]), card_t(0x42, bytes([0]) + rep[1:]), card_t(5, b"")))

    w = bytearray(64)
    w[0:2] = b"\x17\xb0"
    w[4:8] = struct.pack("<I", 1)
    w[8:12] = struct.pack("<I", 300)
    w[13:15] = b"\x01\x02"
    w[16:20] = struct.pack("<I", 4242)
    w[20:27] = bytes([0x20, 0x14, 0x03, 0x05, 0x08, 0x09, 0x10])
    write("cards", "w_records", head(3) + script(bytes(w), bytes(w), bytes(w[:28]), bytes(w[:27])))

    def cx(letter, data):
        f = bytes([0xFA, letter, 0xFF - letter, 0, 1]) + data
        x = 0
        for b in f:
            x ^= b
        return f + bytes([x, 0x0D, 0x0A])
    state = cx(ord("b"), bytes([1, 2, 3, 4, 5, 6, 7, 8]))
    counts = cx(ord("f"), bytes([0, 0, 0, 120, 0, 0, 0, 135]))
    records = b"".join(cx(ord("c"), bytes([0, 0, 14, 3, 5, i, 0, 10])) for i in range(12))
    write("cards", "cx_poll", head(4, 3) + script(state, counts, state, counts[:-3] + b"\x00\r\n", state, counts, records))
    write("cards", "cx_config", head(4, 5) + script(None, None, None, cx(ord("e"), bytes(8))))

    def rs(body):
        x = 0
        for b in body:
            x ^= b
        return body + ("%02X" % x).encode() + b"\r"
    sn = rs(b"\x09A1B00012345")
    dev = rs(b"\x09AXD3")
    write("cards", "rs485_cards", head(5, 0, 0) + script(sn, dev, rs(b"\x09A1F00'012341"), sn, dev, rs(b"\x091N"), sn, None, rs(b"\x09A1F")))


if __name__ == "__main__":
    for f in (plant, dio, battery, aircydt, mbups, apmups, binups, ydtups, ups, aircon, aircser, aircmodbus, meters, engine, gsm, alarm, exchange, smspdu, q1scan, precairc, cyberairc, battcell, camera, cards, iomodules):
        f()
