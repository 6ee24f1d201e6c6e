#!/usr/bin/env python3
"""Writes the small seed corpus of every fuzz target (run from anywhere; idempotent)."""
import os, struct, zlib

top = os.path.dirname(os.path.abspath(__file__))

def put(target, name, data):
    os.makedirs(os.path.join(top, target), exist_ok=True)
    if isinstance(data, str):
        data = data.encode('latin-1')
    with open(os.path.join(top, target, name), 'wb') as f:
        f.write(data)

def gif(w, h, pixels, colours=4, transparent=None, interlace=False):
    """A GIF with a global table; LZW codes stay 3 bits wide by a clear before every pixel."""
    table = b''.join(bytes((i * 60 % 256, i * 90 % 256, i * 120 % 256)) for i in range(colours))
    out = b'GIF89a' + struct.pack('<HHBBB', w, h, 0x80 | 0x10 | 1, 0, 0) + table
    if transparent is not None:
        out += b'\x21\xf9\x04\x01\x00\x00' + bytes((transparent,)) + b'\x00'
    out += b'\x2c' + struct.pack('<HHHHB', 0, 0, w, h, 0x40 if interlace else 0)
    clear, eoi = 4, 5
    codes = []
    for p in pixels:
        codes += [clear, p]
    codes.append(eoi)
    bits = 0; nbits = 0; data = bytearray()
    for c in codes:
        bits |= c << nbits; nbits += 3
        while nbits >= 8:
            data.append(bits & 0xff); bits >>= 8; nbits -= 8
    if nbits:
        data.append(bits & 0xff)
    out += b'\x02'
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out += bytes((len(chunk),)) + chunk
    return out + b'\x00\x3b'

def png(w, h, colour_type=6, pixel=lambda x, y: (x * 40 % 256, y * 40 % 256, 128, 255)):
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    channels = {2: 3, 6: 4}[colour_type]
    raw = b''.join(b'\x00' + b''.join(bytes(pixel(x, y)[:channels]) for x in range(w)) for y in range(h))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, colour_type, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))

# HTTP answers: plain, chunked with a two-digit size, relocation, error.
put('fuzz_answer', 'plain', 'HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain\r\n\r\nhello')
put('fuzz_answer', 'chunked', 'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1A\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\n\r\n')
put('fuzz_answer', 'moved', 'HTTP/1.0 302 Found\r\nLocation: /ridge/RadarImg/N0R/LOT/\r\n\r\n')
put('fuzz_answer', 'notfound', 'HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n')
# Listings of a site archive and of the mosaics.
put('fuzz_listing', 'site', '<html><body><a href="LOT_20251209_1217_N0R.gif">LOT_20251209_1217_N0R.gif</a> 09-Dec-2025 12:18 20K\n'
    '<a href="LOT_20251209_1207_N0R.gif">LOT_20251209_1207_N0R.gif</a> 09-Dec-2025 12:08 20K\n</body></html>')
put('fuzz_listing', 'mosaic', '<a href="latest_radaronly.png">latest_radaronly.png</a> 09-Dec-2025 12:20 1.2M\n'
    '<a href="Conus_20251209_1218_N0Ronly.gif">Conus_20251209_1218_N0Ronly.gif</a>\n')
# URLs and relocation targets.
put('fuzz_url', 'full', 'http://user:pw@radar.weather.gov:8080/ridge/RadarImg/N0R/LOT_N0R_0.gif?x=1')
put('fuzz_url', 'ipv6', 'https://[::1]/a/b')
put('fuzz_url', 'relative', '../Legend/N0R/LOT_N0R_Legend_0.gif')
put('fuzz_url', 'schemeless', '//127.0.0.1:81/x')
# World files: a site, a mosaic, one served inside a web page.
put('fuzz_world_file', 'site', '0.011588\r\n0\r\n0\r\n-0.010103\r\n-91.449\r\n44.675\r\n')
put('fuzz_world_file', 'mosaic', '0.017\n0.0\n0.0\n-0.017\n-127.620375523875420\n50.406626367301044\n')
put('fuzz_world_file', 'html', '<html><body>\n<p>0.011588</p>\n0\n0\n<b>-0.010103</b>\n-91.449\n44.675\n</body></html>\n')
# Ini text: the program's settings and a host ini.
put('fuzz_ini', 'settings', '[URL]\r\nRidgeBase=http://radar.weather.gov/ridge/RadarImg/\r\nSelectRidge=0\r\n[User]\r\nMode=1\r\n; comment\r\nTrayTip=0x1F\r\n[Shp]\r\nTor=1\r\n')
put('fuzz_ini', 'odd', 'key before section\n[ spaced ]\n = no key\nA=1\na=2\n[empty]\n[URL]\nx==y\n')
# Download-list lines.
put('fuzz_list_file', 'two', 'IL,Chicago,LOT\tShort Range Reflectivity, N0R\tLOT_N0R_0\tWaiting for new file\t'
    '-90.5,45.25,-83.5,38.75\tTRUE\tFALSE\t03/15/2012 07:05:09\t03/14/2012 23:59:00\t03/15/2012 17:30:00\r\n'
    '!!ConUS,Iowa State University\t, \tConUS\tNew record\t\tFALSE\tTRUE\t\t\t\r\n')
put('fuzz_list_file', 'bad', 'short\r\n!!..,dots\t, \t..\tWaiting for new file\t\tFALSE\tTRUE\n\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n')
# Wine registry lines (after the header the target writes itself).
put('fuzz_wine_registry', 'keys', '[Software\\\\UI-View32] 1600000000\n#time=1d6\n"InstallDir"="C:\\\\Program Files\\\\UI-View32"\n'
    '@="default"\n"Wide"=str(2):"a\\x20ac\\xd83d\\xde00"\n"Dw"=dword:0000001f\n"Hex"=hex:41,00,42,00,\\\n  00,00\n'
    '"Exp"=hex(2):43,00,3a,00,00,00\n[Software\\\\Classes\\\\CLSID\\\\{1}\\\\LocalServer32]\n@="C:\\\\quor\\\\QuorServer.exe"\n')
# Host text: Windows-1252 and UTF-16LE with a byte-order mark.
put('fuzz_host_text', 'cp1252', b'[Settings]\r\nLastMap=C:\\Maps\\M\xfcnchen \x80 \x9f.map\r\n')
put('fuzz_host_text', 'utf16', b'\xff\xfe' + '[Settings]\r\nLastMap=C:\\Maps\\\u00e9t\u00e9.map\r\n'.encode('utf-16-le') + b'\x3d\xd8')
# GIF files: tiny, interlaced, transparent.
put('fuzz_gif', 'tiny', gif(2, 2, [0, 1, 2, 3]))
put('fuzz_gif', 'interlaced', gif(3, 5, [i % 4 for i in range(15)], interlace=True))
put('fuzz_gif', 'transparent', gif(4, 1, [3, 2, 1, 0], transparent=2))
# PNG files: RGBA and RGB.
put('fuzz_png', 'rgba', png(3, 2))
put('fuzz_png', 'rgb', png(4, 3, colour_type=2))
# Conversions: first byte even = site GIF, odd = mosaic PNG.
put('fuzz_convert', 'site', b'\x00' + gif(100, 100, [(x // 10 + y // 10) % 4 for y in range(100) for x in range(100)]))
put('fuzz_convert', 'mosaic', b'\x01' + png(600, 300, pixel=lambda x, y: (0, 200, 0, 255) if (x // 50 + y // 50) % 2 else (0, 0, 0, 0)))
