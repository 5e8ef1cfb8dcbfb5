// GPIO_Control: one selected line of a GPIO chip, driven through libgpiod's C++ binding.
#pragma once

#include <gpiod.hpp>

#include <memory>
#include <string>

// Errors are those of the binding (std::system_error, std::logic_error without a line):
// callers at the plug-in boundary catch them.
class GPIO_Control
{
public:
    static constexpr const char *kConsumer = "QRB_Server";
    static constexpr unsigned kRev2Line = 126;

    // Opens the chip by lookup (name, number, path or label).
    explicit GPIO_Control(const std::string &chipName);
    ~GPIO_Control();
    GPIO_Control(const GPIO_Control &) = delete;
    GPIO_Control &operator=(const GPIO_Control &) = delete;

    // Replaces the stored name only; the open chip stays.
    void SetChip(const std::string &name) { chipName = name; }
    void SetLine(unsigned offset);
    void RequestIn();
    void RequestOut(int level);
    void SetValue(int level);
    int GetValue();
    // In use by anyone (as the kernel reports it) / requested by this process.
    bool IsUsed();
    bool IsRequested();
    void Release();
    // Marks a revision-2 board: line 126 driven high unless someone else holds it.
    void SetQRBRev2();

    const std::string &ChipName() const { return chipName; }
    bool LineSelected() const { return lineSelected; }

private:
    std::string chipName;
    std::shared_ptr<gpiod::chip> chip;
    gpiod::line line;
    bool lineSelected = false;
};
