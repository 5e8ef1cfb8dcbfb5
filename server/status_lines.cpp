#include "status_lines.h"

namespace qrb {

namespace {

constexpr const char *kChipName = "gpiochip1";
constexpr unsigned int kRev2LineOffset = 126;
constexpr unsigned int kStatusLineOffset = 147;
constexpr const char *kRev2LineConsumer = "QRB_Server";
constexpr const char *kStatusLineConsumer = "QRB Server";

void requestOutput(const gpiod::line &line, const char *consumer, int value)
{
    line.request({consumer, gpiod::line_request::DIRECTION_OUTPUT, 0}, value);
}

} // namespace

StatusLines::StatusLines(bool rev2)
    : rev2_(rev2), chip_(kChipName), rev2Line_(chip_.get_line(kRev2LineOffset))
{
    if (rev2_)
        requestOutput(rev2Line_, kRev2LineConsumer, 1);
    statusLine_ = chip_.get_line(kStatusLineOffset);
    requestOutput(statusLine_, kStatusLineConsumer, 1);
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
