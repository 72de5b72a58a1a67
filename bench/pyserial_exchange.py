#!/usr/bin/python3
"""pyserial's RFC 2217 client doing the exchange glassbench-cli send --repeat does, for the
network benchmark (bench/exchange-network.sh): empty the receive queue, write the Clear Screen
frame, read the five-byte reply with a one-second time-out. Prints the figures in send's own
words: exchanges, replies, the median and 99th percentile of an exchange in microseconds, and
the process's CPU time per exchange (pyserial's reader thread included), the open left out.

Usage: bench/pyserial_exchange.py rfc2217://HOST:PORT SPEED EXCHANGES
"""
import sys
import time

import serial

FRAME = bytes([0xAA, 0x04, 0x80, 0x00, 0x2E])


def percentile(values, percent):
    """The nearest-rank percentile, as send computes it."""
    values = sorted(values)
    rank = max((len(values) * percent + 99) // 100, 1)
    return values[rank - 1]


def main():
    url, speed, exchanges = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    port = serial.serial_for_url(url, baudrate=speed, timeout=1)
    took = []
    replies = 0
    cpu_start = time.process_time()
    for _ in range(exchanges):
        start = time.monotonic()
        port.reset_input_buffer()
        port.write(FRAME)
        replies += len(port.read(5)) == 5
        took.append(int((time.monotonic() - start) * 1e6))
    cpu = time.process_time() - cpu_start
    port.close()
    print(f"exchanges: {exchanges}, replies: {replies}, median_us: {percentile(took, 50)}, "
          f"p99_us: {percentile(took, 99)}, "
          f"cpu_us_per_exchange: {round(cpu * 1e6 / exchanges)}")


if __name__ == "__main__":
    main()
