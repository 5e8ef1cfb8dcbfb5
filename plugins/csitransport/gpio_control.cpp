// GPIO_Control on libgpiod's C++ binding.
#include "gpio_control.h"

GPIO_Control::GPIO_Control(const std::string &name)
    : chipName(name), chip(std::make_shared<gpiod::chip>(name, gpiod::chip::OPEN_LOOKUP))
{
}

GPIO_Control::~GPIO_Control()
{
    // Destruction must not throw: a line that cannot be released is released by the kernel
    // when the process ends.
    try {
        if (lineSelected && line.is_requested())
            line.release();
    } catch (...) {
    }
}

void GPIO_Control::SetLine(unsigned offset)
{
    line = chip->get_line(offset);
    lineSelected = true;
}

void GPIO_Control::RequestIn()
{
    line.request({kConsumer, gpiod::line_request::DIRECTION_INPUT, 0});
}

void GPIO_Control::RequestOut(int level)
{
    line.request({kConsumer, gpiod::line_request::DIRECTION_OUTPUT, 0}, level);
}

void GPIO_Control::SetValue(int level)
{
    line.set_value(level);
}

int GPIO_Control::GetValue()
{
    return line.get_value();
}

bool GPIO_Control::IsUsed()
{
    line.update();
    return line.is_used();
}

bool GPIO_Control::IsRequested()
{
    return line.is_requested();
}

void GPIO_Control::Release()
{
    line.release();
    lineSelected = false;
}

void GPIO_Control::SetQRBRev2()
{
    SetLine(kRev2Line);
    if (!IsUsed())
        RequestOut(1);
}
