#!/usr/bin/env python3
"""A TCP proxy on 127.0.0.1 for failure tests: forwards to the port given until told otherwise.
SIGUSR1: black hole (nothing more is forwarded either way, connections stay open, new ones are
accepted and never answered). SIGUSR2: reset (every connection is reset, new ones too).
Prints its own port on the first line of stdout."""
import select
import signal
import socket
import struct
import sys

target = int(sys.argv[1])
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(64)
print(listener.getsockname()[1], flush=True)

mode = "forward"
peers = {}  # socket -> its other end


def reset(sock):
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass
    sock.close()


def set_mode(new):
    global mode
    mode = new
    if new == "reset":
        for sock in list(peers):
            reset(sock)
        peers.clear()


signal.signal(signal.SIGUSR1, lambda *_: set_mode("black hole"))
signal.signal(signal.SIGUSR2, lambda *_: set_mode("reset"))

while True:
    try:
        watched = list(peers) if mode == "forward" else []  # a black hole reads nothing
        readable, _, _ = select.select([listener] + watched, [], [], 0.2)
    except (InterruptedError, ValueError, OSError):
        continue
    for sock in readable:
        if sock is listener:
            client, _ = listener.accept()
            if mode == "reset":
                reset(client)
            elif mode == "black hole":
                peers[client] = None  # held, never answered
            else:
                try:
                    server = socket.create_connection(("127.0.0.1", target))
                    peers[client], peers[server] = server, client
                except OSError:  # the server is down: so is this connection
                    reset(client)
            continue
        if sock not in peers or mode != "forward":
            continue
        other = peers[sock]
        try:
            data = sock.recv(65536)
        except OSError:
            data = b""
        if data and other is not None:
            try:
                other.sendall(data)
                continue
            except OSError:
                pass
        for end in (sock, other):
            if end is not None:
                peers.pop(end, None)
                end.close()
