"""pyserial's RFC 2217 client against the virtual module on TCP.

    /usr/bin/python3 pyserial_rfc2217.py rfc2217://127.0.0.1:PORT

Opens the port at 115200 baud, takes DTR and RTS low and high again, empties the receive
queue, sends Clear Screen and prints the reply in hex. pyserial gives up on a server that does
not acknowledge what it asks for, so a clean run says the module's server side answers as
RFC 2217 asks. Exits 77 where python3-serial is missing.
"""
import sys

try:
    import serial
except ImportError:
    print("python3-serial is not installed (scripts/setup.sh installs it)", file=sys.stderr)
    sys.exit(77)

port = serial.serial_for_url(sys.argv[1], baudrate=115200, timeout=3)
for level in (False, True):
    port.dtr = level
    port.rts = level
port.reset_input_buffer()
port.write(bytes.fromhex("AA 04 80 00 2E"))
print(port.read(5).hex(" ").upper())
port.close()
