// An open GPIO chip and the line handles requested from it (GPIO character-device v1).
#pragma once

#include "board.h"
#include "fake_file.h"

#include <linux/gpio.h>
#include <vector>

namespace boardsim {

class GpioChipFile : public FakeFile
{
public:
    explicit GpioChipFile(Board &board) : board_(board) {}

    int ioctl(BoardLock &lock, unsigned long request, void *arg) override;
    dev_t deviceNumber() const override;

private:
    int chipInfo(gpiochip_info &info) const;
    int lineInfo(gpioline_info &info);
    int requestLines(gpiohandle_request &req);
    int requestEvents(BoardLock &lock, gpioevent_request &req);

    Board &board_;
};

class GpioLineHandleFile : public FakeFile
{
public:
    GpioLineHandleFile(Board &board, std::vector<uint32_t> offsets, bool output)
        : board_(board), offsets_(std::move(offsets)), output_(output)
    {
    }

    int ioctl(BoardLock &lock, unsigned long request, void *arg) override;
    void release(BoardLock &lock) override;
    dev_t deviceNumber() const override { return 0; }

private:
    int getValues(gpiohandle_data &data);
    int setValues(const gpiohandle_data &data);
    int setConfig(const gpiohandle_config &config);

    Board &board_;
    std::vector<uint32_t> offsets_;
    bool output_;
};

} // namespace boardsim
