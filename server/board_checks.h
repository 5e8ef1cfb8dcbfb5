// Start-up checks of the board: its revision and the route to the host computer.
#pragma once

namespace qrb {

// True on a Rev2 board, which has a device at 0x50 on /dev/i2c-8. Prints what it found.
bool isRev2();

// True when the system has a route to the IPv4 address `address` (dotted text). Nothing is
// sent: a datagram socket's connect only looks the route up.
bool checkHost(const char *address);

} // namespace qrb
