"""Reading binary PGM, PPM and PAM files, for the tests that compare pictures."""


def read_pnm(path_or_bytes):
    """Returns (width, height, channels, pixel bytes)."""
    data = path_or_bytes if isinstance(path_or_bytes, bytes) else open(path_or_bytes, "rb").read()
    magic = data[:2]
    if magic == b"P7":
        header_end = data.index(b"ENDHDR\n") + 7
        info = dict(line.split(" ", 1) for line in data[3:header_end - 7].decode().splitlines() if " " in line)
        return int(info["WIDTH"]), int(info["HEIGHT"]), int(info["DEPTH"]), data[header_end:]
    fields, pos = [], 2
    while len(fields) < 3:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(int(data[start:pos]))
    pos += 1
    channels = 1 if magic == b"P5" else 3
    return fields[0], fields[1], channels, data[pos:]


def as_rgb(channels, pixels):
    """Grey or RGB pixel bytes as RGB bytes."""
    if channels == 3:
        return pixels
    return bytes(v for v in pixels for _ in range(3))
