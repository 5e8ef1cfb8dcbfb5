// Saving and restoring the simulated capture driver's state.
#include "driver_state.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace boardsim {
namespace {

std::string hex(uint32_t v, int digits = 4)
{
    char b[16];
    std::snprintf(b, sizeof b, "0x%0*X", digits, v);
    return b;
}

uint32_t number(const std::string &s)
{
    return static_cast<uint32_t>(std::strtoul(s.c_str(), nullptr, 0));
}

// "0xAAAA:0xVVVV" pairs of a table line.
std::vector<TableEntry> parseEntries(const std::string &text)
{
    std::vector<TableEntry> out;
    std::istringstream in(text);
    for (std::string pair; in >> pair;) {
        const auto colon = pair.find(':');
        if (colon != std::string::npos)
            out.push_back({static_cast<uint16_t>(number(pair.substr(0, colon))),
                           static_cast<uint16_t>(number(pair.substr(colon + 1)))});
    }
    return out;
}

template <size_t N, class T>
void parseList(const std::string &text, std::array<T, N> &out)
{
    std::istringstream in(text);
    for (auto &v : out) {
        std::string w;
        if (!(in >> w))
            return;
        v = static_cast<T>(std::strtoll(w.c_str(), nullptr, 0));
    }
}

template <class List>
std::string joined(const List &values)
{
    std::string text;
    for (const auto &v : values)
        text += (text.empty() ? "" : " ") + std::to_string(v);
    return text;
}

} // namespace

void DriverState::reset(const BoardDescription &d)
{
    *this = DriverState{};
    i2cAddress = d.sensorAddress;
    i2cSpeed = d.i2cSpeed;
    pixelClock = d.pixelClock;
    lineLength = d.lineLength;
    version = d.driverVersion;
}

std::string DriverState::serialize() const
{
    std::ostringstream out;
    out << "i2c_address = " << hex(i2cAddress, 2) << "\n";
    out << "i2c_speed = " << i2cSpeed << "\n";
    out << "serializer_address = " << hex(serializerAddress, 2) << "\n";
    out << "deserializer_address = " << hex(deserializerAddress, 2) << "\n";
    out << "reset_line = " << resetLine << "\n";
    out << "pixel_clock = " << pixelClock << "\n";
    out << "line_length = " << lineLength << "\n";
    if (inputClock)
        out << "input_clock = " << *inputClock << "\n";
    out << "version = " << joined(version) << "\n";
    out << "frame_format = " << joined(frameFormat) << "\n";
    out << "image = " << joined(imageProperties) << "\n";
    for (const auto &[property, value] : signalProperties)
        out << "signal." << hex(property) << " = " << value << "\n";
    for (const auto &[id, entries] : tables) {
        std::string text;
        for (const auto &e : entries)
            text += (text.empty() ? "" : " ") + hex(e.address) + ":" + hex(e.value);
        out << "table." << hex(id) << " = " << text << "\n";
    }
    for (const auto &[control, count] : controlApplied)
        out << "control." << hex(control, 6) << " = " << count << "\n";
    for (const auto &[node, f] : nodeFormats) {
        const char fourcc[5] = {
            static_cast<char>(f.pixelFormat), static_cast<char>(f.pixelFormat >> 8),
            static_cast<char>(f.pixelFormat >> 16), static_cast<char>(f.pixelFormat >> 24), 0};
        out << "format.video" << node << " = " << f.width << " " << f.height << " " << fourcc << " "
            << f.bytesPerLine << "\n";
    }
    return out.str();
}

void DriverState::deserialize(const std::string &text)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find(" = ");
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 3);
        if (key == "i2c_address")
            i2cAddress = static_cast<uint8_t>(number(value));
        else if (key == "i2c_speed")
            i2cSpeed = number(value);
        else if (key == "serializer_address")
            serializerAddress = number(value);
        else if (key == "deserializer_address")
            deserializerAddress = number(value);
        else if (key == "reset_line")
            resetLine = number(value);
        else if (key == "pixel_clock")
            pixelClock = number(value);
        else if (key == "line_length")
            lineLength = number(value);
        else if (key == "input_clock")
            inputClock = number(value);
        else if (key == "version")
            parseList(value, version);
        else if (key == "frame_format")
            parseList(value, frameFormat);
        else if (key == "image")
            parseList(value, imageProperties);
        else if (key.rfind("signal.", 0) == 0)
            signalProperties[static_cast<uint16_t>(number(key.substr(7)))] = number(value);
        else if (key.rfind("table.", 0) == 0)
            tables[static_cast<uint16_t>(number(key.substr(6)))] = parseEntries(value);
        else if (key.rfind("control.", 0) == 0)
            controlApplied[number(key.substr(8))] = number(value);
        else if (key.rfind("format.video", 0) == 0) {
            std::istringstream f(value);
            NodeFormat nf;
            std::string fourcc;
            if (f >> nf.width >> nf.height >> fourcc >> nf.bytesPerLine && fourcc.size() == 4) {
                nf.pixelFormat =
                    static_cast<uint32_t>(fourcc[0]) | static_cast<uint32_t>(fourcc[1]) << 8 |
                    static_cast<uint32_t>(fourcc[2]) << 16 | static_cast<uint32_t>(fourcc[3]) << 24;
                nodeFormats[std::atoi(key.substr(12).c_str())] = nf;
            }
        }
    }
}

} // namespace boardsim
