// Reading and writing the board description file ("key = value" lines, "#" comments).
#include "board_description.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

namespace boardsim {
namespace {

constexpr uint32_t kMaxI2cBus = 255;
constexpr uint32_t kMax7BitAddress = 0x7F;
constexpr uint32_t kMaxVideoNode = 5;
constexpr uint32_t kMaxFrameDimension = 16384;
constexpr uint32_t kMaxEepromSize = 65536;
constexpr uint32_t kMaxGpioLines = 1024;
constexpr uint32_t kMaxFrameRate = 1000;
constexpr uint32_t kMaxBuffers = 32;
constexpr size_t kMaxSerialLength = 99;
constexpr size_t kMaxGpioNameLength = 31;

std::string trim(const std::string &s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// A C integer literal (decimal, 0x hexadecimal, 0 octal) within [min, max].
bool parseNumber(const std::string &text, uint64_t min, uint64_t max, uint64_t &out)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v < min || v > max)
        return false;
    out = v;
    return true;
}

std::vector<std::string> words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

using Setter = std::function<std::string(BoardDescription &, const std::string &)>;

template <class T>
Setter number(T BoardDescription::*field, uint64_t min, uint64_t max)
{
    return [=](BoardDescription &d, const std::string &v) -> std::string {
        uint64_t n = 0;
        if (!parseNumber(v, min, max, n))
            return "expected a number from " + std::to_string(min) + " to " + std::to_string(max);
        d.*field = static_cast<T>(n);
        return {};
    };
}

// A number within [min, max] (what: how the message names it), or the keyword for none.
template <class T>
Setter optionalNumber(std::optional<T> BoardDescription::*field, const std::string &none,
                      uint64_t min, uint64_t max, const std::string &what)
{
    return [=](BoardDescription &d, const std::string &v) -> std::string {
        if (v == none) {
            d.*field = std::nullopt;
            return {};
        }
        uint64_t n = 0;
        if (!parseNumber(v, min, max, n))
            return "expected " + what + " or \"" + none + "\"";
        d.*field = static_cast<T>(n);
        return {};
    };
}

Setter optionalAddress(std::optional<uint8_t> BoardDescription::*field)
{
    return optionalNumber(field, "none", 1, kMax7BitAddress, "a 7-bit bus address");
}

Setter optionalCount(std::optional<uint32_t> BoardDescription::*field)
{
    return optionalNumber(field, "never", 0, UINT32_MAX, "a frame count");
}

Setter numberList(std::vector<int> BoardDescription::*field, uint32_t max)
{
    return [=](BoardDescription &d, const std::string &v) -> std::string {
        std::vector<int> list;
        for (const auto &w : words(v)) {
            uint64_t n = 0;
            if (!parseNumber(w, 0, max, n))
                return "expected numbers from 0 to " + std::to_string(max);
            list.push_back(static_cast<int>(n));
        }
        d.*field = list;
        return {};
    };
}

Setter text(std::string BoardDescription::*field, size_t maxLength, bool allowEmpty)
{
    return [=](BoardDescription &d, const std::string &v) -> std::string {
        if (v.size() > maxLength || (!allowEmpty && v.empty()))
            return "expected a text of " + std::string(allowEmpty ? "0" : "1") + " to " +
                   std::to_string(maxLength) + " characters";
        d.*field = v;
        return {};
    };
}

std::string setDriverVersion(BoardDescription &d, const std::string &v)
{
    const auto list = words(v);
    if (list.size() != d.driverVersion.size())
        return "expected nine numbers";
    for (size_t i = 0; i < list.size(); ++i) {
        uint64_t n = 0;
        if (!parseNumber(list[i], 0, INT32_MAX, n))
            return "expected nine numbers";
        d.driverVersion[i] = static_cast<int32_t>(n);
    }
    return {};
}

std::string setFrameCounter(BoardDescription &d, const std::string &v)
{
    std::string problem = number(&BoardDescription::frameCounterRegister, 0, 0xFFFE)(d, v);
    d.frameCounterGiven = problem.empty();
    return problem;
}

std::string setClockScript(BoardDescription &d, const std::string &v)
{
    if (v != "ok" && v != "fail")
        return "expected \"ok\" or \"fail\"";
    d.clockScriptFails = v == "fail";
    return {};
}

// The chip name becomes a path component under /dev and /sys: a plain "gpiochipN" only.
std::string setChipName(BoardDescription &d, const std::string &v)
{
    const std::string prefix = "gpiochip";
    const std::string digits = v.rfind(prefix, 0) == 0 ? v.substr(prefix.size()) : "";
    uint64_t n = 0;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
        !parseNumber(digits, 0, 255, n))
        return "expected gpiochipN with N from 0 to 255";
    d.gpioChip = v;
    return {};
}

const std::map<std::string, Setter> &setters()
{
    static const std::map<std::string, Setter> table = {
        {"video_nodes", numberList(&BoardDescription::videoNodes, kMaxVideoNode)},
        {"sensor_address", number(&BoardDescription::sensorAddress, 1, kMax7BitAddress)},
        {"sensor_data", text(&BoardDescription::sensorData, 4095, false)},
        {"width", number(&BoardDescription::width, 1, kMaxFrameDimension)},
        {"height", number(&BoardDescription::height, 1, kMaxFrameDimension)},
        {"bit_depth", number(&BoardDescription::bitDepth, 8, 16)},
        {"frame_counter_register", setFrameCounter},
        {"frame_rate", number(&BoardDescription::frameRate, 1, kMaxFrameRate)},
        {"max_buffers", number(&BoardDescription::maxBuffers, 1, kMaxBuffers)},
        {"stall_after_frames", optionalCount(&BoardDescription::stallAfterFrames)},
        {"fail_after_frames", optionalCount(&BoardDescription::failAfterFrames)},
        {"serializer_address", optionalAddress(&BoardDescription::serializerAddress)},
        {"deserializer_address", optionalAddress(&BoardDescription::deserializerAddress)},
        {"link_chips", optionalNumber(&BoardDescription::linkGeneration, "none", 2, 3,
                                      "a link generation (2 or 3)")},
        {"driver_version", setDriverVersion},
        {"pixel_clock", number(&BoardDescription::pixelClock, 0, UINT32_MAX)},
        {"line_length", number(&BoardDescription::lineLength, 0, UINT32_MAX)},
        {"i2c_speed", number(&BoardDescription::i2cSpeed, 0, UINT32_MAX)},
        {"clock_script", setClockScript},
        {"i2c_buses", numberList(&BoardDescription::i2cBuses, kMaxI2cBus)},
        {"eeprom_bus", number(&BoardDescription::eepromBus, 0, kMaxI2cBus)},
        {"eeprom_address", number(&BoardDescription::eepromAddress, 1, kMax7BitAddress)},
        {"eeprom_size", number(&BoardDescription::eepromSize, 256, kMaxEepromSize)},
        {"eeprom_fail_at_byte", optionalNumber(&BoardDescription::eepromFailAtByte, "never", 1,
                                               UINT32_MAX, "a byte number")},
        {"board_serial", text(&BoardDescription::boardSerial, kMaxSerialLength, false)},
        {"module_serial", text(&BoardDescription::moduleSerial, kMaxSerialLength, true)},
        {"gpio_chip", setChipName},
        {"gpio_lines", number(&BoardDescription::gpioLines, 1, kMaxGpioLines)},
        {"gpio_label", text(&BoardDescription::gpioLabel, kMaxGpioNameLength, true)},
    };
    return table;
}

} // namespace

BoardDescription parseBoardDescription(const std::string &textIn, std::vector<std::string> &errors)
{
    BoardDescription d;
    std::istringstream in(textIn);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto hash = line.find('#');
        const std::string content = trim(hash == std::string::npos ? line : line.substr(0, hash));
        if (content.empty())
            continue;
        const auto eq = content.find('=');
        const std::string where = "line " + std::to_string(number) + ": ";
        if (eq == std::string::npos) {
            errors.push_back(where + "expected \"key = value\"");
            continue;
        }
        const std::string key = trim(content.substr(0, eq));
        const std::string value = trim(content.substr(eq + 1));
        const auto it = setters().find(key);
        if (it == setters().end()) {
            errors.push_back(where + "unknown key \"" + key + "\"");
            continue;
        }
        if (auto problem = it->second(d, value); !problem.empty())
            errors.push_back(where + key + ": " + problem);
    }
    return d;
}

std::string defaultBoardDescriptionText(const std::string &sensorData)
{
    std::string text = R"(# Simulated board (keys: see sim/README.md).
# Video nodes /dev/videoN that exist.
video_nodes = 0 1 2 3 4 5
# The image sensor on the camera link: 7-bit bus address, register defaults (a sensor-data
# file; a relative name is looked up in this directory), frame, frame counter register.
sensor_address = 0x10
sensor_data = @SENSOR_DATA@
width = 1920
height = 1200
bit_depth = 12
frame_counter_register = 0x303A
frame_rate = 30
max_buffers = 8
# Capture faults for tests: frames a stream gets before the sensor stops sending, or before
# the node fails as a lost device does (never, or a count).
stall_after_frames = never
fail_after_frames = never
serializer_address = none
deserializer_address = none
# Serializer/deserializer pairs on the links of video4 and video5: link generation 2 or 3.
link_chips = none
# Capture driver: nine version numbers, pixel clock, line length, bus speed.
driver_version = 35 4 1 5 10 120 2 1 0
pixel_clock = 74250000
line_length = 2200
i2c_speed = 400000
# Board peripherals.
i2c_buses = 8
eeprom_bus = 8
eeprom_address = 0x50
eeprom_size = 4096
# EEPROM fault for tests: writes fail from this data byte of a process on (never, or a number).
eeprom_fail_at_byte = never
board_serial = QRB2000001
module_serial = 1421223012345
gpio_chip = gpiochip1
gpio_lines = 160
gpio_label = board-gpio
)";
    const std::string marker = "@SENSOR_DATA@";
    text.replace(text.find(marker), marker.size(), sensorData);
    return text;
}

} // namespace boardsim
