"""SGI files for the tests that run programs: ones no independent writer makes."""


def write_giant(path, side=32767):
    """A four-channel run-length file of side x side pixels in which every row of a channel
    shares one stored row: about 1 MB on disk, a 4 GiB canvas."""
    header = bytearray(512)
    header[0:12] = b"\x01\xDA\x01\x01\x00\x03" + side.to_bytes(2, "big") * 2 + (4).to_bytes(2, "big")
    header[24:29] = b"giant"

    def row(value):
        packets = bytearray()
        left = side
        while left:
            packets += bytes([min(127, left), value])
            left -= min(127, left)
        return bytes(packets) + b"\0"

    rows = [row(v) for v in (200, 100, 50, 128)]
    offset = 512 + side * 4 * 8
    with open(path, "wb") as out:
        out.write(header)
        for stored in rows:
            out.write(offset.to_bytes(4, "big") * side)
            offset += len(stored)
        for stored in rows:
            out.write(len(stored).to_bytes(4, "big") * side)
        for stored in rows:
            out.write(stored)
