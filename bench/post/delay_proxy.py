#!/usr/bin/env python3
"""A loopback TCP proxy for the posting benchmark that delays every chunk, in each direction,
by DELAY_MS milliseconds, as a line with a round trip of twice that would:

    delay_proxy.py UPSTREAM_PORT DELAY_MS

It listens on 127.0.0.1 at a port it picks, prints that port on a line of its own, and
forwards every connection to 127.0.0.1:UPSTREAM_PORT until it is ended (SIGTERM). Chunks keep
their order and are delayed from the moment they are read, so a chunk does not wait for the
ones before it to be delivered: bytes in flight do not add up their delays. At most
WINDOW bytes wait in each direction; beyond that the proxy stops reading, as a full line would.
"""
import asyncio
import signal
import sys
import time

CHUNK = 256 * 1024
WINDOW = 8 * 1024 * 1024


async def pump(reader, writer, delay):
    """Forwards one direction: a reader task puts (due time, bytes) into a queue, this
    coroutine's writer side sleeps until each is due."""
    queue = asyncio.Queue()
    room = asyncio.Semaphore(WINDOW // CHUNK)

    async def read_side():
        try:
            while True:
                await room.acquire()
                data = await reader.read(CHUNK)
                await queue.put((time.monotonic() + delay, data))
                if not data:
                    return
        except (ConnectionError, OSError):
            await queue.put((time.monotonic() + delay, b""))

    reading = asyncio.ensure_future(read_side())
    try:
        while True:
            due, data = await queue.get()
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            room.release()
            if not data:
                if writer.can_write_eof():
                    writer.write_eof()
                return
            writer.write(data)
            await writer.drain()
    except (ConnectionError, OSError):
        pass
    finally:
        reading.cancel()


async def serve(client_reader, client_writer, upstream_port, delay):
    try:
        up_reader, up_writer = await asyncio.open_connection("127.0.0.1", upstream_port)
    except OSError as e:
        print("delay_proxy: cannot reach the server: %s" % e, file=sys.stderr)
        client_writer.close()
        return
    try:
        await asyncio.gather(pump(client_reader, up_writer, delay),
                             pump(up_reader, client_writer, delay))
    except asyncio.CancelledError:
        pass  # the proxy is being ended
    finally:
        for w in (client_writer, up_writer):
            w.close()


async def main():
    upstream_port, delay_ms = int(sys.argv[1]), float(sys.argv[2])
    delay = delay_ms / 1000.0
    server = await asyncio.start_server(
        lambda r, w: serve(r, w, upstream_port, delay), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    stop = asyncio.get_running_loop().create_future()
    asyncio.get_running_loop().add_signal_handler(signal.SIGTERM, stop.set_result, None)
    async with server:
        await stop


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    asyncio.run(main())
