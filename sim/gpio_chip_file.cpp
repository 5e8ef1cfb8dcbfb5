// The simulated GPIO chip character device.
#include "gpio_chip_file.h"

#include "gpio_line_event_file.h"
#include "state_files.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <sys/eventfd.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace boardsim {
namespace {

constexpr uint32_t kDirectionFlags = GPIOHANDLE_REQUEST_INPUT | GPIOHANDLE_REQUEST_OUTPUT;
constexpr uint32_t kKnownFlags =
    kDirectionFlags | GPIOHANDLE_REQUEST_ACTIVE_LOW | GPIOHANDLE_REQUEST_OPEN_DRAIN |
    GPIOHANDLE_REQUEST_OPEN_SOURCE | GPIOHANDLE_REQUEST_BIAS_PULL_UP |
    GPIOHANDLE_REQUEST_BIAS_PULL_DOWN | GPIOHANDLE_REQUEST_BIAS_DISABLE;

void copyText(char *dst, size_t size, const std::string &text)
{
    std::memset(dst, 0, size);
    std::memcpy(dst, text.data(), std::min(size - 1, text.size()));
}

// The same checks as the kernel: one direction at most, known flags only.
bool validFlags(uint32_t flags)
{
    return (flags & ~kKnownFlags) == 0 && (flags & kDirectionFlags) != kDirectionFlags;
}

} // namespace

dev_t GpioChipFile::deviceNumber() const
{
    const int chip = std::atoi(board_.description().gpioChip.c_str() + std::strlen("gpiochip"));
    return makedev(kGpioMajor, static_cast<unsigned>(chip));
}

int GpioChipFile::ioctl(BoardLock &lock, unsigned long request, void *arg)
{
    if (arg == nullptr)
        return -EFAULT;
    switch (request) {
    case GPIO_GET_CHIPINFO_IOCTL:
        return chipInfo(*static_cast<gpiochip_info *>(arg));
    case GPIO_GET_LINEINFO_IOCTL:
        return lineInfo(*static_cast<gpioline_info *>(arg));
    case GPIO_GET_LINEHANDLE_IOCTL:
        return requestLines(*static_cast<gpiohandle_request *>(arg));
    case GPIO_GET_LINEEVENT_IOCTL:
        return requestEvents(lock, *static_cast<gpioevent_request *>(arg));
    default:
        return -ENOTTY;
    }
}

int GpioChipFile::chipInfo(gpiochip_info &info) const
{
    const auto &d = board_.description();
    copyText(info.name, sizeof info.name, d.gpioChip);
    copyText(info.label, sizeof info.label, d.gpioLabel);
    info.lines = d.gpioLines;
    return 0;
}

int GpioChipFile::lineInfo(gpioline_info &info)
{
    BoardFileLock fileLock(board_.directory());
    board_.gpio->load();
    if (info.line_offset >= board_.gpio->size())
        return -EINVAL;
    const GpioLine &l = board_.gpio->at(info.line_offset);
    const uint32_t offset = info.line_offset;
    std::memset(&info, 0, sizeof info);
    info.line_offset = offset;
    if (l.holderPid != 0)
        info.flags |= GPIOLINE_FLAG_KERNEL;
    if (l.output)
        info.flags |= GPIOLINE_FLAG_IS_OUT;
    if (l.activeLow)
        info.flags |= GPIOLINE_FLAG_ACTIVE_LOW;
    copyText(info.consumer, sizeof info.consumer, l.holderPid != 0 ? l.consumer : "");
    return 0;
}

int GpioChipFile::requestLines(gpiohandle_request &req)
{
    if (req.lines == 0 || req.lines > GPIOHANDLES_MAX || !validFlags(req.flags))
        return -EINVAL;
    BoardFileLock fileLock(board_.directory());
    GpioLines &lines = *board_.gpio;
    lines.load();
    std::set<uint32_t> seen;
    for (uint32_t i = 0; i < req.lines; ++i) {
        const uint32_t offset = req.lineoffsets[i];
        if (offset >= lines.size() || !seen.insert(offset).second)
            return -EINVAL;
        if (lines.at(offset).holderPid != 0)
            return -EBUSY;
    }
    const bool output = (req.flags & GPIOHANDLE_REQUEST_OUTPUT) != 0;
    const bool input = (req.flags & GPIOHANDLE_REQUEST_INPUT) != 0;
    const bool activeLow = (req.flags & GPIOHANDLE_REQUEST_ACTIVE_LOW) != 0;
    UniqueFd fd(::eventfd(0, EFD_CLOEXEC));
    if (!fd.valid())
        return -errno;
    const size_t labelLength = strnlen(req.consumer_label, sizeof req.consumer_label);
    // The kernel names an unnamed consumer "?".
    const std::string consumer =
        labelLength == 0 ? std::string(1, '?') : std::string(req.consumer_label, labelLength);
    std::vector<uint32_t> offsets(req.lineoffsets, req.lineoffsets + req.lines);
    bool handleIsOutput = output;
    for (uint32_t i = 0; i < req.lines; ++i) {
        GpioLine &l = lines.at(offsets[i]);
        l.holderPid = ::getpid();
        l.consumer = consumer;
        l.lastConsumer = consumer;
        l.activeLow = activeLow;
        if (output) {
            l.output = true;
            lines.drive(offsets[i], (req.default_values[i] ? 1 : 0) ^ (activeLow ? 1 : 0));
        } else if (input) {
            l.output = false;
        }
        handleIsOutput = l.output;
    }
    auto handle = std::make_shared<GpioLineHandleFile>(board_, offsets, handleIsOutput);
    if (!board_.adopt(fd.get(), handle))
        return -EMFILE;
    lines.store();
    GpioLineEventFile::notifyAll();
    req.fd = fd.release();
    return 0;
}

// A watched line is not held: the board lets another program drive it meanwhile, as a
// device wired to the pin would, so that the edges it makes can be watched.
int GpioChipFile::requestEvents(BoardLock &lock, gpioevent_request &req)
{
    constexpr uint32_t kRefusedFlags =
        GPIOHANDLE_REQUEST_OUTPUT | GPIOHANDLE_REQUEST_OPEN_DRAIN | GPIOHANDLE_REQUEST_OPEN_SOURCE;
    if (req.lineoffset >= board_.description().gpioLines || !validFlags(req.handleflags) ||
        (req.handleflags & kRefusedFlags) != 0 ||
        (req.eventflags & ~GPIOEVENT_REQUEST_BOTH_EDGES) != 0)
        return -EINVAL;
    UniqueFd fd(::eventfd(0, EFD_SEMAPHORE | EFD_CLOEXEC));
    if (!fd.valid())
        return -errno;
    auto watcher = std::make_shared<GpioLineEventFile>(board_, req, fd.get());
    if (const int rc = watcher->start(); rc < 0)
        return rc;
    if (!board_.adopt(fd.get(), watcher)) {
        watcher->release(lock);
        return -EMFILE;
    }
    req.fd = fd.release();
    return 0;
}

int GpioLineHandleFile::ioctl(BoardLock &, unsigned long request, void *arg)
{
    if (arg == nullptr)
        return -EFAULT;
    switch (request) {
    case GPIOHANDLE_GET_LINE_VALUES_IOCTL:
        return getValues(*static_cast<gpiohandle_data *>(arg));
    case GPIOHANDLE_SET_LINE_VALUES_IOCTL:
        return setValues(*static_cast<const gpiohandle_data *>(arg));
    case GPIOHANDLE_SET_CONFIG_IOCTL:
        return setConfig(*static_cast<const gpiohandle_config *>(arg));
    default:
        return -ENOTTY;
    }
}

int GpioLineHandleFile::getValues(gpiohandle_data &data)
{
    BoardFileLock fileLock(board_.directory());
    board_.gpio->load();
    std::memset(&data, 0, sizeof data);
    for (size_t i = 0; i < offsets_.size(); ++i) {
        const GpioLine &l = board_.gpio->at(offsets_[i]);
        data.values[i] = static_cast<uint8_t>(l.level ^ (l.activeLow ? 1 : 0));
    }
    return 0;
}

int GpioLineHandleFile::setValues(const gpiohandle_data &data)
{
    if (!output_)
        return -EPERM;
    BoardFileLock fileLock(board_.directory());
    board_.gpio->load();
    for (size_t i = 0; i < offsets_.size(); ++i) {
        const GpioLine &l = board_.gpio->at(offsets_[i]);
        board_.gpio->drive(offsets_[i], (data.values[i] ? 1 : 0) ^ (l.activeLow ? 1 : 0));
    }
    board_.gpio->store();
    GpioLineEventFile::notifyAll();
    return 0;
}

int GpioLineHandleFile::setConfig(const gpiohandle_config &config)
{
    if (!validFlags(config.flags))
        return -EINVAL;
    BoardFileLock fileLock(board_.directory());
    board_.gpio->load();
    const bool output = (config.flags & GPIOHANDLE_REQUEST_OUTPUT) != 0;
    const bool input = (config.flags & GPIOHANDLE_REQUEST_INPUT) != 0;
    for (size_t i = 0; i < offsets_.size(); ++i) {
        GpioLine &l = board_.gpio->at(offsets_[i]);
        l.activeLow = (config.flags & GPIOHANDLE_REQUEST_ACTIVE_LOW) != 0;
        if (output) {
            l.output = true;
            board_.gpio->drive(offsets_[i],
                               (config.default_values[i] ? 1 : 0) ^ (l.activeLow ? 1 : 0));
        } else if (input) {
            l.output = false;
        }
    }
    if (output || input)
        output_ = output;
    board_.gpio->store();
    GpioLineEventFile::notifyAll();
    return 0;
}

void GpioLineHandleFile::release(BoardLock &)
{
    BoardFileLock fileLock(board_.directory());
    board_.gpio->load();
    // Released lines keep their level and direction; only the holder goes.
    for (uint32_t offset : offsets_) {
        GpioLine &l = board_.gpio->at(offset);
        l.holderPid = 0;
        l.consumer.clear();
    }
    board_.gpio->store();
}

} // namespace boardsim
