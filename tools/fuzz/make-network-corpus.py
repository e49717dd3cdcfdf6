#!/usr/bin/env python3
"""Writes the seed inputs of the network fuzz target into tools/fuzz/corpus/network/.

Each seed is a set-up byte (bit 0 client, bit 1 level in play, bits 2-3 players less one) and a few
whole, valid records of the protocol, each behind a sender byte and a u16 length, so that the
fuzzer starts from traffic that every handler reads all the way through."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "network")


def text(value, size):
    data = value.encode()[: size - 1]
    return data + b"\0" * (size - len(data))


def state(x=1.0, y=2.0):
    return struct.pack("<ffffffB3xfBB2x", x, y, 0.5, -0.5, 0.25, 1.0, 1, -1.0, 1, 0)


RECORDS = {
    "join": struct.pack("<I", 0) + text("Mallory", 64),
    "player_joined": struct.pack("<II", 1, 3) + text("Cy", 64),
    "player_left": struct.pack("<I", 2) + text("Bo", 64) + struct.pack("<I", 2),
    "welcome": struct.pack("<II", 3, 1) + text("Den", 64),
    "renumber": struct.pack("<II", 4, 2),
    "chat_to_server": struct.pack("<I", 5) + text("hello", 256),
    "chat": struct.pack("<I", 6) + text("Ada", 64) + text("hi", 256),
    "start": struct.pack("<I", 7) + text("Cave.lrl", 64) + struct.pack("<I", 3),
    "end": struct.pack("<I", 8),
    "client_state": struct.pack("<I", 9) + state(),
    "player_state": struct.pack("<II", 10, 0) + state(-3.0, 4.0),
    "departed": struct.pack("<I", 11),
}


def framed(sender, record):
    return bytes([sender]) + struct.pack("<H", len(record)) + record


def seed(setup, records):
    return bytes([setup]) + b"".join(framed(sender, RECORDS[name]) for sender, name in records)


SERVER, CLIENT, LEVEL = 0, 1, 2
THREE_PLAYERS = 2 << 2
SEEDS = {
    "server_lobby": seed(SERVER, [(2, "join"), (0, "chat_to_server"), (1, "departed"), (3, "chat_to_server")]),
    "server_level": seed(SERVER | LEVEL | THREE_PLAYERS,
                         [(0, "client_state"), (1, "client_state"), (2, "client_state"), (0, "departed")]),
    "client_lobby": seed(CLIENT, [(0, "welcome"), (0, "player_joined"), (0, "chat"), (0, "renumber"),
                                  (0, "player_left"), (0, "start"), (0, "end")]),
    "client_level": seed(CLIENT | LEVEL | THREE_PLAYERS,
                         [(0, "player_state"), (0, "player_left"), (0, "player_state"), (0, "end")]),
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name + ".bin"), "wb") as file:
        file.write(data)
