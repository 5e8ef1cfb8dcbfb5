"""The simulated board as Python sees it: os.stat, open, ioctl, the I2C bus and text files."""
import fcntl
import os
import stat
import struct
import sys

VIDIOC_QUERYCAP = 0x80685600
VIDIOC_DBG_G_REGISTER = 0xC0385650
I2C_SLAVE = 0x0703
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


st = os.stat("/dev/video0")
check(stat.S_ISCHR(st.st_mode) and os.major(st.st_rdev) == 81, "stat of /dev/video0")
check(not os.path.exists("/dev/video6"), "/dev/video6 exists")

with open("/dev/video0", "rb+", buffering=0) as video:
    caps = bytearray(104)
    fcntl.ioctl(video, VIDIOC_QUERYCAP, caps)
    device_caps = struct.unpack_from("<I", caps, 88)[0]
    check(device_caps & 0x1 and device_caps & 0x4000000, "capture and streaming capabilities")
    # match type, match address (and name padding), size, reg, val
    request = bytearray(struct.pack("<I32sIQQ", 0, b"", 2, 0x10, 0x3000 << 32))
    fcntl.ioctl(video, VIDIOC_DBG_G_REGISTER, request)
    check(struct.unpack_from("<Q", request, 48)[0] & 0xFFFF == 0x0C54, "chip version register")

bus = os.open("/dev/i2c-8", os.O_RDWR)
fcntl.ioctl(bus, I2C_SLAVE, 0x50)
os.write(bus, b"\x00\x00")
check(os.read(bus, 6) == b"QRBO2\xff", "EEPROM title")
os.close(bus)

with open("/proc/device-tree/serial-number", "rb") as serial:
    check(serial.read() == b"1421223012345\x00", "module serial number")

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
sys.exit(1 if failures else 0)
