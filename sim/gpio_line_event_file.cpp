// GPIO line events of the simulated chip.
#include "gpio_line_event_file.h"

#include "application_memory.h"
#include "real_functions.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

namespace boardsim {
namespace {

// The file every change of a level rewrites.
constexpr const char *kChangesFile = "gpio.changes";
// Room for a burst of directory events; the names are only looked at, never kept.
constexpr size_t kInotifyBuffer = 4096;

// The watchers of this process; touched with the board lock held.
std::vector<GpioLineEventFile *> &watchers()
{
    static auto *all = new std::vector<GpioLineEventFile *>;
    return *all;
}

void signal(int fd)
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = real::write(fd, &one, sizeof one);
}

void consume(int fd)
{
    uint64_t count = 0;
    [[maybe_unused]] ssize_t n = real::read(fd, &count, sizeof count);
}

// Whether the inotify events waiting on fd include a new changes file.
bool changesFileReplaced(int fd)
{
    alignas(inotify_event) char buffer[kInotifyBuffer];
    bool replaced = false;
    for (;;) {
        const ssize_t n = real::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return replaced;
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->len > 0 && std::strcmp(event->name, kChangesFile) == 0)
                replaced = true;
            at += static_cast<ssize_t>(sizeof *event + event->len);
        }
    }
}

} // namespace

GpioLineEventFile::GpioLineEventFile(Board &board, const gpioevent_request &request, int eventFd)
    : board_(board), offset_(request.lineoffset), eventFlags_(request.eventflags),
      activeLow_((request.handleflags & GPIOHANDLE_REQUEST_ACTIVE_LOW) != 0), eventFd_(eventFd)
{
}

int GpioLineEventFile::start()
{
    wake_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake_.valid())
        return -errno;
    const std::string &directory = board_.directory();
    if (!directory.empty()) {
        inotify_.reset(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
        if (!inotify_.valid() || ::inotify_add_watch(inotify_.get(), directory.c_str(),
                                                     IN_MOVED_TO | IN_CLOSE_WRITE) < 0)
            return -errno;
    }
    {
        BoardFileLock fileLock(directory);
        board_.gpio->load();
        const GpioLine &line = board_.gpio->at(offset_);
        seenChanges_ = line.changes;
    }
    watchers().push_back(this);
    worker_ = std::thread(&GpioLineEventFile::watch, this);
    return 0;
}

void GpioLineEventFile::notifyAll()
{
    for (GpioLineEventFile *watcher : watchers())
        signal(watcher->wake_.get());
}

void GpioLineEventFile::watch()
{
    pollfd fds[] = {{wake_.get(), POLLIN, 0}, {inotify_.valid() ? inotify_.get() : -1, POLLIN, 0}};
    for (;;) {
        if (real::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        bool look = (fds[0].revents & POLLIN) != 0;
        if (look)
            consume(wake_.get());
        if (fds[1].revents & POLLIN)
            look = changesFileReplaced(inotify_.get()) || look;
        BoardLock lock(board_.mutex);
        if (stopping_)
            return;
        if (look)
            collectEdges();
    }
}

void GpioLineEventFile::collectEdges()
{
    BoardFileLock fileLock(board_.directory());
    board_.gpio->load();
    const GpioLine &line = board_.gpio->at(offset_);
    if (line.changes < seenChanges_) {
        // The state was started afresh: nothing to tell, follow it from here.
        seenChanges_ = line.changes;
        return;
    }
    const uint64_t changes = line.changes - seenChanges_;
    // Each change flips the level, so the k-th of n changes left the level that the last one
    // left, flipped once for each change after it.
    for (uint64_t k = 1; k <= changes && queue_.size() < kMaxQueued; ++k) {
        const int level = line.level ^ static_cast<int>((changes - k) & 1);
        queueEdge(logicalLevel(level), line.changedAt);
    }
    seenChanges_ = line.changes;
}

void GpioLineEventFile::queueEdge(int logicalLevel, uint64_t timestamp)
{
    const uint32_t id = logicalLevel ? GPIOEVENT_EVENT_RISING_EDGE : GPIOEVENT_EVENT_FALLING_EDGE;
    const uint32_t wanted =
        logicalLevel ? GPIOEVENT_REQUEST_RISING_EDGE : GPIOEVENT_REQUEST_FALLING_EDGE;
    if ((eventFlags_ & wanted) == 0)
        return;
    gpioevent_data event{};
    event.timestamp = timestamp;
    event.id = id;
    queue_.push_back(event);
    signal(eventFd_);
    arrived_.notify_all();
}

int GpioLineEventFile::ioctl(BoardLock &, unsigned long request, void *arg)
{
    if (request != GPIOHANDLE_GET_LINE_VALUES_IOCTL)
        return -ENOTTY;
    if (arg == nullptr)
        return -EFAULT;
    BoardFileLock fileLock(board_.directory());
    board_.gpio->load();
    auto &data = *static_cast<gpiohandle_data *>(arg);
    std::memset(&data, 0, sizeof data);
    data.values[0] = static_cast<uint8_t>(logicalLevel(board_.gpio->at(offset_).level));
    return 0;
}

// Whole events only, as many as fit; the oldest first.
ssize_t GpioLineEventFile::read(BoardLock &lock, void *buf, size_t count)
{
    if (count < sizeof(gpioevent_data))
        return -EINVAL;
    const bool noWait = (::fcntl(eventFd_, F_GETFL) & O_NONBLOCK) != 0;
    while (queue_.empty()) {
        if (stopping_)
            return -EBADF;
        if (noWait)
            return -EAGAIN;
        arrived_.wait(lock);
    }
    const size_t n = std::min(queue_.size(), count / sizeof(gpioevent_data));
    auto *out = static_cast<uint8_t *>(buf);
    for (size_t i = 0; i < n; ++i) {
        if (!copyToApplication(out + i * sizeof(gpioevent_data), &queue_.front(),
                               sizeof(gpioevent_data)))
            return i > 0 ? static_cast<ssize_t>(i * sizeof(gpioevent_data)) : -EFAULT;
        queue_.pop_front();
        consume(eventFd_);
    }
    return static_cast<ssize_t>(n * sizeof(gpioevent_data));
}

void GpioLineEventFile::release(BoardLock &lock)
{
    stopping_ = true;
    arrived_.notify_all();
    auto &all = watchers();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    if (!worker_.joinable())
        return;
    // The worker takes the board lock to notice the stop.
    signal(wake_.get());
    std::thread worker = std::move(worker_);
    lock.unlock();
    worker.join();
    lock.lock();
}

void GpioLineEventFile::afterFork()
{
    // The worker stayed with the parent; the child keeps the queue but watches no more.
    if (worker_.joinable())
        new std::thread(std::move(worker_));
    auto &all = watchers();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

} // namespace boardsim
