#!/usr/bin/python3
"""Writes SIZE bytes that look like a product database: 4 KB pages of records and binary data."""
import random
import sys

path, size = sys.argv[1], int(sys.argv[2])
rnd = random.Random(20261208)
words = ["silencer", "heater", "filter", "damper", "rotary", "counter", "cross", "supply",
         "extract", "outdoor", "exhaust", "OTP", "TSD", "MAS", "teksolid", "param"]
with open(path, "wb") as out:
    written = 0
    page = 0
    while written < size:
        records = []
        length = 0
        while length < 3000:
            line = "%s;VH-%06d;%d;%s %s %d=%d\n" % (
                rnd.choice(words), rnd.randrange(1000000), rnd.choice((1501, 1507, 1525, 9552)),
                rnd.choice(words), rnd.choice(words), rnd.randrange(10000), rnd.randrange(100000))
            records.append(line)
            length += len(line)
        block = ("".join(records)).encode()[:3072] + rnd.randbytes(1024)
        block = block[: min(len(block), size - written)]
        out.write(block)
        written += len(block)
        page += 1
