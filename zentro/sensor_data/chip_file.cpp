// Chip files: a small register list for an extra chip named by the board configuration.
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/log.h"
#include "sensor_data/chip_check.h"
#include "sensor_data/data_file.h"
#include "sensor_data/lexer.h"
#include "sensor_data/sensor_record.h"
#include "zentro_sensor_data.h"

namespace zentro {

namespace {

constexpr size_t kChipNameSize = 80;   // 79 characters are kept
constexpr size_t kSpaceWordLength = 9; // the space field is read but not used
constexpr size_t kAccessWordLength = 3;
constexpr uint32_t kMaxUnitBits = 32;
constexpr size_t kRegisterLeadingFields = 5; // ADDR, SPACE, MASK, ACCESS, DEFAULT

bool isOneOf(std::string_view key, std::initializer_list<std::string_view> names)
{
    for (std::string_view name : names) {
        if (equalsNoCase(key, name))
            return true;
    }
    return false;
}

// Values of the little-endian keys: "1" or a word beginning "Y", quoted or not.
bool isYes(std::string_view value)
{
    if (auto quoted = quotedText(value))
        value = trimBlanks(*quoted);
    return value == "1" || (!value.empty() && (value[0] == 'Y' || value[0] == 'y'));
}

class ChipFileReader
{
public:
    ChipFileReader(const char *path, std::string_view text, ze_chip_t *chip)
        : path_(path), lines_(text), chip_(chip)
    {
    }
    ~ChipFileReader() { freeRegisterList(); }
    ChipFileReader(const ChipFileReader &) = delete;
    ChipFileReader &operator=(const ChipFileReader &) = delete;

    int read();

private:
    void readDescriptorSection();
    bool readDescriptorLine(const KeyValue &entry);
    void readRegisterSection();
    void readRegisterLine(std::string_view line);
    void readBitfieldLine(std::string_view line);
    void skipSection();
    bool nextSectionLine(std::string_view &line);
    void fail(int code, std::string_view text);
    void freeRegisterList();

    const char *path_;
    LineReader lines_;
    ze_chip_t *chip_;
    std::vector<ze_reg_t> regs_;
    std::unordered_set<std::string> names_;
    // False after a register line that was rejected: its bitfields have nowhere to go.
    bool registerOpen_ = false;
    int result_ = PARSE_SUCCESS;
};

void ChipFileReader::fail(int code, std::string_view text)
{
    std::string line(text);
    ze_syntaxerror(code, line.c_str(), path_, lines_.lineNumber(), __FILE__, __func__, __LINE__);
    if (result_ == PARSE_SUCCESS)
        result_ = code;
}

bool ChipFileReader::nextSectionLine(std::string_view &line)
{
    while (lines_.next(kRegisterLineLimit, line)) {
        if (isSectionEnd(line))
            return false;
        if (!isSkippedLine(line))
            return true;
    }
    return false;
}

void ChipFileReader::skipSection()
{
    std::string_view line;
    while (nextSectionLine(line)) {
    }
}

bool ChipFileReader::readDescriptorLine(const KeyValue &entry)
{
    if (equalsNoCase(entry.key, "CHIPNAME")) {
        auto name = quotedText(entry.value);
        if (!name)
            return false;
        copyFittedText(chip_->name, kChipNameSize, *name);
        return true;
    }
    if (isOneOf(entry.key, {"SERIAL_BASE_ADDRESS", "I2C_BASE_ADDRESS"})) {
        auto bases = parseValueOrList(entry.value);
        if (!bases || bases->empty() || bases->size() > ZE_MAX_CHIP_BASE_ADDRS)
            return false;
        chip_->baseAddrCount = static_cast<int32_t>(bases->size());
        std::copy(bases->begin(), bases->end(), chip_->baseAddrs);
        chip_->activeBaseAddr = chip_->baseAddrs[0];
        return true;
    }
    if (isOneOf(entry.key, {"SERIAL_ADDR_SIZE", "REG_ADDR_SIZE", "I2C_ADDR_SIZE"})) {
        auto size = parseInteger(entry.value);
        if (!size || (*size != 8 && *size != 16))
            return false;
        chip_->serialAddrSize = *size;
        return true;
    }
    if (isOneOf(entry.key,
                {"SERIAL_DATA_SIZE", "REG_DATA_SIZE", "I2C_DATA_SIZE", "I2C_REG_SIZE"})) {
        auto size = parseInteger(entry.value);
        if (!size || (*size != 8 && *size != 16 && *size != 32))
            return false;
        chip_->serialDataSize = *size;
        return true;
    }
    if (isOneOf(entry.key, {"SERIAL_DATA_LE", "REG_DATA_LE"})) {
        chip_->dataLE = isYes(entry.value) ? 1 : 0;
        return true;
    }
    return false;
}

void ChipFileReader::readDescriptorSection()
{
    std::string_view line;
    while (nextSectionLine(line)) {
        auto entry = splitKeyValue(line);
        if (!entry || !readDescriptorLine(*entry))
            fail(CHIP_DESC_ERROR, line);
    }
}

void ChipFileReader::readRegisterLine(std::string_view line)
{
    registerOpen_ = false;
    auto entry = splitKeyValue(line);
    auto fields = entry ? splitBraceFields(entry->value, kRegisterLeadingFields) : std::nullopt;
    if (!entry || !fields || fields->fields.size() < kRegisterLeadingFields ||
        !isSingleWord(entry->key) || entry->key.size() >= ZE_TEXT_SIZE) {
        fail(PARSE_REG_ERROR, line);
        return;
    }
    const auto &f = fields->fields;
    auto addr = parseInteger(f[0]);
    auto mask = parseInteger(f[2]);
    auto value = parseInteger(f[4]);
    if (!addr || !mask || !value || f[1].size() > kSpaceWordLength) {
        fail(PARSE_REG_ERROR, line);
        return;
    }
    if (!names_.insert(lowerCase(entry->key)).second) {
        fail(DUPLICATE_DESC_ERROR, entry->key);
        return;
    }
    ze_reg_t reg{};
    copyText(reg.name, std::string(entry->key).c_str());
    reg.addr = *addr;
    reg.mask = *mask;
    reg.access = parseAccessWord(f[3].substr(0, kAccessWordLength));
    reg.defaultValue = *value;
    reg.dataType = 1;
    reg.span = 1;
    reg.confidential = entry->key.starts_with("RESERVED_") ? 1 : 0;
    if (fields->hasTail) {
        QuotedPair texts = twoQuotedTexts(fields->tail);
        copyFittedText(reg.displayName, texts.first);
        copyFittedText(reg.detail, texts.second);
        std::string_view rest = trimBlanks(texts.rest);
        if (rest.starts_with(",")) {
            // A span is a count of units: zero and negative numbers ("-1") describe none.
            auto span = parseInteger(rest.substr(1));
            if (!span || static_cast<int32_t>(*span) < 1) {
                fail(PARSE_REG_ERROR, line);
                return;
            }
            reg.span = *span;
        }
    }
    // A value never spans more than 32 bits of data units.
    if (chip_->serialDataSize && reg.span > kMaxUnitBits / chip_->serialDataSize)
        reg.span = kMaxUnitBits / chip_->serialDataSize;
    regs_.push_back(reg);
    registerOpen_ = true;
}

void ChipFileReader::readBitfieldLine(std::string_view line)
{
    constexpr size_t kLeading = 3; // NAME, MASK, ACCESS
    auto fields = splitBraceFields(line, kLeading);
    if (!registerOpen_ || !fields || fields->fields.size() < kLeading) {
        fail(PARSE_REG_ERROR, line);
        return;
    }
    const auto &f = fields->fields;
    std::string_view name = firstWord(f[0]);
    auto mask = parseHex(f[1]);
    ze_reg_t &reg = regs_.back();
    if (name.empty() || name.size() >= ZE_TEXT_SIZE || !mask ||
        reg.bitfieldCount >= ZE_MAX_BITFIELDS) {
        fail(PARSE_REG_ERROR, line);
        return;
    }
    if (!reg.bitfields) {
        reg.bitfields =
            static_cast<ze_bitfield_t *>(calloc(ZE_MAX_BITFIELDS, sizeof(ze_bitfield_t)));
        if (!reg.bitfields) {
            fail(PARSE_REG_ERROR, line);
            return;
        }
    }
    ze_bitfield_t &field = reg.bitfields[reg.bitfieldCount++];
    copyText(field.name, std::string(name).c_str());
    field.mask = *mask;
    field.access = parseAccessWord(f[2]);
    field.dataType = 1;
    field.confidential = (name.starts_with("BIT_") || name.starts_with("BITS_")) ? 1 : 0;
    if (fields->hasTail) {
        QuotedPair texts = twoQuotedTexts(fields->tail);
        copyFittedText(field.displayName, texts.first);
        copyFittedText(field.detail, texts.second);
    }
}

void ChipFileReader::readRegisterSection()
{
    std::string_view line;
    while (nextSectionLine(line)) {
        if (trimBlanks(line).starts_with("{"))
            readBitfieldLine(line);
        else
            readRegisterLine(line);
    }
}

void ChipFileReader::freeRegisterList()
{
    for (ze_reg_t &reg : regs_)
        free(reg.bitfields);
    regs_.clear();
}

int ChipFileReader::read()
{
    std::string_view line;
    while (lines_.next(kRegisterLineLimit, line)) {
        auto section = sectionHeader(line);
        if (!section)
            continue;
        if (equalsNoCase(*section, "CHIP_DESCRIPTOR"))
            readDescriptorSection();
        else if (equalsNoCase(*section, "REGISTERS"))
            readRegisterSection();
        else
            skipSection();
    }
    if (!regs_.empty()) {
        chip_->regs = static_cast<ze_reg_t *>(calloc(regs_.size(), sizeof(ze_reg_t)));
        if (!chip_->regs)
            return ZE_ERRORLOGF(PARSE_FILE_ERROR, "Out of memory reading chip file %s", path_);
        std::copy(regs_.begin(), regs_.end(), chip_->regs);
        chip_->regCount = static_cast<int32_t>(regs_.size());
        regs_.clear(); // the chip owns the bitfields now
    }
    return result_ == PARSE_SUCCESS ? PARSE_SUCCESS : result_;
}

} // namespace

void resetChip(ze_chip_t *chip)
{
    freeRegisters(chip->regs, chip->regCount);
    memset(chip, 0, sizeof(*chip));
    chip->serialAddrSize = 8;
    chip->serialDataSize = 16;
}

} // namespace zentro

extern "C" {

ZE_API int ze_ParseChipFile(ze_camera_t * /*camera*/, const char *path, ze_chip_t *chip)
{
    if (!path || !chip)
        return CAMERA_ERROR;
    std::string text;
    int code = zentro::readDataFile(path, text);
    if (code != PARSE_SUCCESS)
        return code;
    zentro::resetChip(chip);
    zentro::ChipFileReader reader(path, text, chip);
    return reader.read();
}

} // extern "C"
