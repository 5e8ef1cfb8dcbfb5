// A GPIO line watched for edges (GPIO character-device v1 line events), across processes.
#pragma once

#include "board.h"
#include "fake_file.h"
#include "state_files.h"

#include <condition_variable>
#include <deque>
#include <linux/gpio.h>
#include <thread>

namespace boardsim {

// Edges are told from the line's change counter in the board's gpio.changes: a watcher that
// sees the counter move by k knows the k edges, since each change flips the level. A worker
// sleeps on inotify for that file in the board directory (changes by other processes) and on a
// wake-up descriptor (changes by this process), so nothing polls.
class GpioLineEventFile : public FakeFile
{
public:
    // Most events kept unread, as in the kernel; later ones are dropped until some are read.
    static constexpr size_t kMaxQueued = 16;

    // The watcher list is left in release() (with the board lock held), never on destruction.
    GpioLineEventFile(Board &board, const gpioevent_request &request, int eventFd);

    // Starts watching; a negative errno when the watch cannot be set up.
    int start();
    int ioctl(BoardLock &lock, unsigned long request, void *arg) override;
    ssize_t read(BoardLock &lock, void *buf, size_t count) override;
    void release(BoardLock &lock) override;
    void afterFork() override;
    dev_t deviceNumber() const override { return 0; }

    // Every watcher of this process looks at the state again (a line was driven here).
    static void notifyAll();

private:
    void watch();
    // Queues the edges since the last look; runs with the board lock held.
    void collectEdges();
    void queueEdge(int logicalLevel, uint64_t timestamp);
    int logicalLevel(int physical) const { return physical ^ (activeLow_ ? 1 : 0); }

    Board &board_;
    uint32_t offset_;
    uint32_t eventFlags_;
    bool activeLow_;
    int eventFd_;
    UniqueFd inotify_;
    UniqueFd wake_;
    uint64_t seenChanges_ = 0;
    bool stopping_ = false;
    std::deque<gpioevent_data> queue_;
    std::condition_variable arrived_;
    std::thread worker_;
};

} // namespace boardsim
