// The board's GPIO lines that the server holds while it runs.
#pragma once

#include <gpiod.hpp>

namespace qrb {

// Line 147 ("QRB Server") shows whether the server is up: it is held at 1 while the board
// is being set up or the host cannot be reached, and at 0 while the servers run. Rev2 boards
// also need line 126 ("QRB_Server") held at 1. Failures (chip missing, line busy) throw an
// exception whose text names the chip or line.
class StatusLines
{
public:
    // Opens the chip and requests the lines as outputs at 1 (line 126 only on a Rev2 board).
    explicit StatusLines(bool rev2);

    void showServing() const;
    // Leaves line 147 at 1 and releases it: the server does not start.
    void showHostUnreachable() const;
    // Releases the lines the server holds.
    void release() const;

private:
    bool rev2_;
    gpiod::chip chip_;
    gpiod::line rev2Line_;
    gpiod::line statusLine_;
};

} // namespace qrb
