// Register defaults for the simulated sensor.
#include "sensor_data_defaults.h"

#include "state_files.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>
#include <strings.h>

namespace boardsim {
namespace {

void storeBigEndian(std::vector<uint8_t> &bytes, uint32_t address, uint64_t value, unsigned width)
{
    for (unsigned i = 0; i < width; ++i) {
        const uint32_t at = address + i;
        if (at < bytes.size())
            bytes[at] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
    }
}

std::string trim(const std::string &s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool isComment(const std::string &line)
{
    return line.empty() || line[0] == ';' || line.rfind("//", 0) == 0;
}

bool parseInteger(const std::string &text, long long &out)
{
    const std::string t = trim(text);
    if (t.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    out = std::strtoll(t.c_str(), &end, 0);
    return errno == 0 && end != t.c_str() && trim(end).empty();
}

// The comma-separated fields between "{" and the first quote or "}".
std::vector<std::string> braceFields(const std::string &line)
{
    std::vector<std::string> fields;
    const auto open = line.find('{');
    if (open == std::string::npos)
        return fields;
    auto stop = line.find_first_of("\"}", open + 1);
    if (stop == std::string::npos)
        stop = line.size();
    std::istringstream in(line.substr(open + 1, stop - open - 1));
    for (std::string f; std::getline(in, f, ',');)
        fields.push_back(trim(f));
    return fields;
}

struct ParseState {
    std::string section;
    int formatVersion = 1;
    unsigned dataBytes = 2;
    std::map<std::string, bool> spaceIsPlain; // address-space name -> register space
    std::string firstSpace;
};

void readOptional(ParseState &st, const std::string &key, const std::string &value)
{
    long long n = 0;
    if (!parseInteger(value, n))
        return;
    if (strcasecmp(key.c_str(), "SDAT_VERSION") == 0)
        st.formatVersion = static_cast<int>(n);
    else if (strcasecmp(key.c_str(), "REG_DATA_SIZE") == 0 && (n == 8 || n == 16 || n == 32))
        st.dataBytes = static_cast<unsigned>(n / 8);
}

void readAddressSpace(ParseState &st, const std::string &name, const std::string &line)
{
    const auto fields = braceFields(line);
    if (fields.empty())
        return;
    long long id = 0;
    // {ID, "text"} has no type word and means a register space.
    const bool plain = parseInteger(fields[0], id) || strcasecmp(fields[0].c_str(), "REG") == 0;
    st.spaceIsPlain[name] = plain;
    if (st.firstSpace.empty())
        st.firstSpace = name;
}

void readRegister(ParseState &st, const std::string &name, const std::string &line,
                  SensorDefaults &out)
{
    const auto fields = braceFields(line);
    const size_t addrIndex = 0, spaceIndex = 1;
    const size_t defaultIndex = st.formatVersion >= 2 ? 5 : 4;
    if (fields.size() <= defaultIndex)
        return;
    long long address = 0, value = 0;
    if (!parseInteger(fields[addrIndex], address) || !parseInteger(fields[defaultIndex], value))
        return;
    if (address < 0 || address > 0xFFFF)
        return;
    if (!st.spaceIsPlain.empty()) {
        const auto it = st.spaceIsPlain.find(fields[spaceIndex]);
        const bool plain =
            it != st.spaceIsPlain.end() ? it->second : st.spaceIsPlain[st.firstSpace];
        if (!plain)
            return;
    }
    storeBigEndian(out.bytes, static_cast<uint32_t>(address), static_cast<uint64_t>(value),
                   st.dataBytes);
    if (name == "CHIP_VERSION_REG")
        out.chipVersionRegister = static_cast<uint16_t>(address);
}

void readLine(ParseState &st, const std::string &line, SensorDefaults &out)
{
    if (line[0] == '[') {
        const auto close = line.find(']');
        std::string name = close == std::string::npos ? "" : line.substr(1, close - 1);
        for (auto &c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        st.section = name == "END" ? "" : name;
        return;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos)
        return; // bitfield lines and stray text carry no register defaults
    const std::string key = trim(line.substr(0, eq));
    if (st.section == "OPTIONAL")
        readOptional(st, key, trim(line.substr(eq + 1)));
    else if (st.section == "ADDR_SPACE")
        readAddressSpace(st, key, line);
    else if (st.section == "REGISTERS")
        readRegister(st, key, line, out);
}

} // namespace

bool loadSensorDefaults(const std::string &path, SensorDefaults &out, std::string &error)
{
    std::string text;
    if (!readWholeFile(path, text)) {
        error = "cannot read sensor-data file " + path;
        return false;
    }
    out = parseSensorDefaults(text);
    return true;
}

SensorDefaults parseSensorDefaults(const std::string &text)
{
    SensorDefaults out;
    ParseState st;
    std::istringstream in(text);
    for (std::string raw; std::getline(in, raw);) {
        const std::string line = trim(raw);
        if (!isComment(line))
            readLine(st, line, out);
    }
    return out;
}

} // namespace boardsim
