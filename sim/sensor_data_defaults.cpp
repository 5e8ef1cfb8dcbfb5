// Register layout and defaults of the simulated sensor.
#include "sensor_data_defaults.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>
#include <strings.h>

#include "state_files.h"

namespace boardsim {
namespace {

constexpr const char *kChipVersionName = "CHIP_VERSION_REG";
constexpr const char *kPageSelectName = "ADDR_SPACE_SEL";
constexpr unsigned kMaxValueBytes = 4;

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

bool sameName(const std::string &a, const char *b)
{
    return strcasecmp(a.c_str(), b) == 0;
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
    SensorLayoutBuilder layout;
};

// Type words of the spaces that are not reached as plain registers; every other word is REG.
bool isPlainType(const std::string &word)
{
    for (const char *special : {"MCU", "SFR", "MEM", "IND"})
        if (sameName(word, special))
            return false;
    return strncasecmp(word.c_str(), "FAR", 3) != 0;
}

void readOptional(ParseState &st, const std::string &key, const std::string &value)
{
    long long n = 0;
    if (!parseInteger(value, n))
        return;
    if (sameName(key, "SDAT_VERSION"))
        st.formatVersion = static_cast<int>(n);
    else if (sameName(key, "REG_DATA_SIZE"))
        st.layout.setDataSize(n);
    else if (sameName(key, "REG_ADDR_SIZE"))
        st.layout.setAddressSize(n);
}

// NAME = {TYPE, ID, "text"} or NAME = {ID, "text"} (a register space).
void readAddressSpace(ParseState &st, const std::string &name, const std::string &line)
{
    const auto fields = braceFields(line);
    long long id = 0;
    if (fields.empty())
        return;
    if (parseInteger(fields[0], id))
        st.layout.addSpace(name, "", id);
    else
        st.layout.addSpace(name, fields[0],
                           fields.size() > 1 && parseInteger(fields[1], id) ? id : 0);
}

bool isReadOnly(const std::string &name, const std::string &access)
{
    return sameName(name, kChipVersionName) || strncasecmp(access.c_str(), "RO", 2) == 0;
}

// Version 1: {ADDR, SPACE, MASK, ACCESS, DEFAULT ...}; version 2 adds SPAN after SPACE.
void readRegister(ParseState &st, const std::string &name, const std::string &line)
{
    const auto fields = braceFields(line);
    const bool withSpan = st.formatVersion >= 2;
    const size_t accessIndex = withSpan ? 4 : 3;
    const size_t defaultIndex = accessIndex + 1;
    if (fields.size() <= defaultIndex)
        return;
    long long address = 0, value = 0, span = 1;
    if (parseInteger(fields[0], address) && parseInteger(fields[defaultIndex], value) &&
        (!withSpan || parseInteger(fields[2], span)))
        st.layout.addRegister(name, address, fields[1], span, fields[accessIndex], value);
}

void readLine(ParseState &st, const std::string &line)
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
        readRegister(st, key, line);
}

// Pages exist only behind a page-select register of an 8-bit-address sensor, as the library
// switches spaces only there; otherwise every register lives in one flat page.
void placeInPages(SensorDefaults &out)
{
    const SensorRegister *select = out.find(kPageSelectName);
    if (out.geometry.addressBits != 8 || select == nullptr) {
        for (auto &r : out.registers)
            r.page = 0;
        return;
    }
    out.pageSelect = PageSelect{select->address};
    std::vector<SensorRegister> kept;
    for (auto r : out.registers) {
        if (r.address >= out.pageSelect->address)
            r.page = 0; // answers in every page; kept with page 0
        if (r.page >= kMaxPages)
            continue;
        out.pageCount = std::max(out.pageCount, r.page + 1);
        kept.push_back(std::move(r));
    }
    out.registers = std::move(kept);
}

bool isXml(const std::string &contents)
{
    const std::string byteOrderMark = "\xEF\xBB\xBF";
    const size_t start = contents.rfind(byteOrderMark, 0) == 0 ? byteOrderMark.size() : 0;
    return contents.compare(start, 5, "<?xml") == 0;
}

} // namespace

bool SensorLayoutBuilder::NoCase::operator()(const std::string &a, const std::string &b) const
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

void SensorLayoutBuilder::setAddressSize(long long bits)
{
    // Addresses beyond 16 bits are not simulated: such a sensor keeps its low 64 KiB.
    if (bits == 8 || bits == 16 || bits == 32)
        out_.geometry.addressBits = bits == 8 ? 8 : 16;
}

void SensorLayoutBuilder::setDataSize(long long bits)
{
    if (bits == 8 || bits == 16 || bits == 32)
        out_.geometry.dataBytes = static_cast<unsigned>(bits / 8);
}

void SensorLayoutBuilder::addSpace(const std::string &name, const std::string &type, long long id)
{
    const Space space{isPlainType(type), static_cast<uint32_t>(id)};
    spaces_[name] = space;
    if (!firstSpace_)
        firstSpace_ = space;
}

void SensorLayoutBuilder::addRegister(const std::string &name, long long address,
                                      const std::string &spaceName, long long span,
                                      const std::string &access, long long value)
{
    // A space the table lacks is the first space, with id 0.
    Space space;
    if (const auto it = spaces_.find(spaceName); it != spaces_.end())
        space = it->second;
    else if (firstSpace_)
        space.plain = firstSpace_->plain;
    if (!space.plain || address < 0 || address >= out_.geometry.addressCount() || span < 1)
        return;
    SensorRegister r;
    r.name = name;
    r.page = space.id;
    r.address = static_cast<uint32_t>(address);
    r.bytes =
        static_cast<unsigned>(std::min<long long>(span * out_.geometry.dataBytes, kMaxValueBytes));
    r.defaultValue = static_cast<uint32_t>(value);
    r.readOnly = isReadOnly(name, access);
    out_.registers.push_back(std::move(r));
}

SensorDefaults SensorLayoutBuilder::finish()
{
    placeInPages(out_);
    return std::move(out_);
}

std::vector<uint8_t> SensorDefaults::image() const
{
    const size_t pageBytes = geometry.pageBytes();
    std::vector<uint8_t> bytes(pageCount * pageBytes, 0);
    for (const auto &r : registers) {
        const size_t at = r.address * size_t{geometry.unitBytes()};
        for (unsigned i = 0; i < r.bytes && at + i < pageBytes; ++i)
            bytes[r.page * pageBytes + at + i] =
                static_cast<uint8_t>(r.defaultValue >> (8 * (r.bytes - 1 - i)));
    }
    return bytes;
}

const SensorRegister *SensorDefaults::find(const std::string &name) const
{
    for (const auto &r : registers)
        if (sameName(r.name, name.c_str()))
            return &r;
    return nullptr;
}

const SensorRegister *SensorDefaults::findAt(uint32_t address) const
{
    for (const auto &r : registers)
        if (r.address == address)
            return &r;
    return nullptr;
}

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

SensorDefaults parseSensorDefaults(const std::string &contents)
{
    if (isXml(contents))
        return parseSensorDefaultsXml(contents);
    ParseState st;
    std::istringstream in(contents);
    for (std::string raw; std::getline(in, raw);) {
        const std::string line = trim(raw);
        if (!isComment(line))
            readLine(st, line);
    }
    return st.layout.finish();
}

} // namespace boardsim
