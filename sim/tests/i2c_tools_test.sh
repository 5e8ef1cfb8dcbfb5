#!/bin/sh
# The simulated I2C adapter and board EEPROM driven by the system's i2c-tools (i2cdetect,
# i2cget, i2cset, i2cdump, i2ctransfer).
# Usage: i2c_tools_test.sh path/to/libboardsim.so
set -u
. "$(dirname "$0")/tool_test_common.sh"
require_tools i2c-tools i2cdetect i2cget i2cset i2cdump i2ctransfer od
start_board "$1"
# Bytes of the EEPROM file, as "aa bb ...".
eeprom_bytes() { od -An -tx1 -j "$1" -N "$2" "$ZE_SIM_DIR/eeprom.bin" | tr -s ' \n' ' ' | sed 's/^ //;s/ $//'; }

# Only the EEPROM answers on bus 8: every other address probed (0x08 to 0x77) is not
# acknowledged.
expected='     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f'
for row in 0 1 2 3 4 5 6 7; do
    line="${row}0: "
    for col in 0 1 2 3 4 5 6 7 8 9 a b c d e f; do
        address=$((0x$row$col))
        if [ "$address" -lt 8 ] || [ "$address" -gt 119 ]; then line="$line   "
        elif [ "$address" -eq 80 ]; then line="${line}50 "
        else line="$line-- "; fi
    done
    expected="$expected
$line"
done
expect_eq "$(sim i2cdetect -y 8)" "$expected" "i2cdetect -y 8"
expect_eq "$(sim i2cdetect -l)" "i2c-8	i2c       	Board I2C adapter 8             	I2C adapter" \
    "i2cdetect -l"
if sim i2cdetect -y 3 >/dev/null 2>&1; then fail "bus 3 exists"; fi

# SMBus reads: the command byte is the EEPROM's high address byte (a 16-bit pointer).
expect_eq "$(sim i2cget -y 8 0x50 0x00)" "0x51" "i2cget byte data at 0x0000"
expect_eq "$(sim i2cget -y 8 0x50 0x00 w)" "0x5251" "i2cget word data at 0x0000"
expect_eq "$(sim i2cget -y 8 0x50 0x00 i 6)" "0x51 0x52 0x42 0x4f 0x32 0xff" "i2cget block at 0x0000"
# A read without a command reads at the pointer, which each process starts at 0x0000.
expect_eq "$(sim i2cget -y 8 0x50)" "0x51" "i2cget receive byte"
if sim i2cget -y 8 0x51 0x00 >/dev/null 2>&1; then fail "an absent device answered i2cget"; fi

# Plain I2C: a combined write of the address and read, as from the serial-number record.
expect_eq "$(sim i2ctransfer -y 8 w2@0x50 0x00 0x00 r8)" \
    "0x51 0x52 0x42 0x4f 0x32 0xff 0x31 0x31" "i2ctransfer"
if sim i2ctransfer -y 8 w2@0x51 0x00 0x00 r1 >/dev/null 2>&1; then fail "an absent device answered i2ctransfer"; fi

# SMBus writes: the command and the first data byte set the pointer, the rest is stored.
sim i2cset -y 8 0x50 0x01 0xCD20 w || fail "i2cset word exited with $?"
expect_eq "$(eeprom_bytes $((0x120)) 1)" "cd" "EEPROM byte 0x0120 after i2cset w"
sim i2cset -y 8 0x50 0x02 0x00 0xAA 0xBB i || fail "i2cset block exited with $?"
expect_eq "$(eeprom_bytes $((0x200)) 2)" "aa bb" "EEPROM bytes 0x0200 after i2cset i"
expect_eq "$(sim i2ctransfer -y 8 w2@0x50 0x02 0x00 r2)" "0xaa 0xbb" "read back after i2cset"
sim i2cset -y 8 0x50 0x03 0x10 || fail "i2cset byte exited with $?"
expect_eq "$(eeprom_bytes $((0x310)) 1)" "ff" "a byte-data write only sets the pointer"

# The dump reads the first byte of each 256-byte page: command c reads address c * 256.
dump=$(sim i2cdump -y 8 0x50 b)
expect_eq "$(printf '%s\n' "$dump" | sed -n 2p)" \
    "00: 51 ff aa ff ff ff ff ff ff ff ff ff ff ff ff ff    Q.?............." "i2cdump row 00"
expect_eq "$(printf '%s\n' "$dump" | sed -n 3p)" \
    "10: 51 ff aa ff ff ff ff ff ff ff ff ff ff ff ff ff    Q.?............." "i2cdump row 10 (pages wrap)"

finish "i2c tool"
