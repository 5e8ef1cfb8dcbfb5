#include "status_lines.h"

#include <stdexcept>
#include <string>

namespace qrb {

namespace {

constexpr const char *kChipName = "gpiochip1";
constexpr unsigned int kRev2LineOffset = 126;
constexpr unsigned int kStatusLineOffset = 147;
constexpr const char *kRev2LineConsumer = "QRB_Server";
constexpr const char *kStatusLineConsumer = "QRB Server";

gpiod::line outputLine(const gpiod::chip &chip, unsigned int offset, const char *consumer)
{
    try {
        gpiod::line line = chip.get_line(offset);
        if (consumer)
            line.request({consumer, gpiod::line_request::DIRECTION_OUTPUT, 0}, 1);
        return line;
    } catch (const std::exception &error) {
        // The binding's own messages do not say which line failed.
        throw std::runtime_error("line " + std::to_string(offset) + " of " + kChipName + ": " +
                                 error.what());
    }
}

} // namespace

StatusLines::StatusLines(bool rev2)
    : rev2_(rev2), chip_(kChipName),
      rev2Line_(outputLine(chip_, kRev2LineOffset, rev2 ? kRev2LineConsumer : nullptr)),
      statusLine_(outputLine(chip_, kStatusLineOffset, kStatusLineConsumer))
{
}

void StatusLines::showServing() const
{
    statusLine_.set_value(0);
}

void StatusLines::showHostUnreachable() const
{
    statusLine_.set_value(1);
    statusLine_.release();
}

void StatusLines::release() const
{
    statusLine_.release();
    if (rev2_)
        rev2Line_.release();
}

} // namespace qrb
