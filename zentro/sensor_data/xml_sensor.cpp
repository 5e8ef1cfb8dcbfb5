// The sensor element of an XML sensor-data file: name, geometry, pixel format, register
// sizes, serial-bus addresses and receiver settings, then the derived values and early
// rejects the text form applies after its descriptor.
//
// Receiver settings are stored as the camera's modes:
//   connection_type ZE_RX_TYPE, lanes ZE_RX_LANES, serial_bit_depth ZE_RX_BIT_DEPTH,
//   hispi_mode ZE_RX_MODE, ccp_class ZE_RX_CLASS, hispi_sync_code ZE_RX_SYNC_CODE,
//   embedded_data ZE_RX_EMBEDDED_DATA, mipi_virtual_channel ZE_RX_VIRTUAL_CHANNEL,
//   hispi_msb_first ZE_RX_MSB_FIRST, lsb_aligned ZE_LSB_ALIGNED, ccir_656 ZE_RX_CCIR656,
//   interlaced ZE_RX_INTERLACED, mipi_max_bit_rate ZE_RX_MAX_BIT_RATE;
//   bits_per_clock, clocks_per_pixel and pixel_clock_polarity ZE_BITS_PER_CLOCK,
//   ZE_CLOCKS_PER_PIXEL and ZE_PIXCLK_POLARITY. The two-wire and SPI speeds go to the
//   identification data, which applies them when the sensor is opened.
#include <algorithm>
#include <array>
#include <string_view>

#include "camera/context.h"
#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/xml_elements.h"

namespace zentro {

namespace {

constexpr uint32_t kImageTypeBayer10 = 2;
constexpr uint32_t kImageTypeBayer12 = 12;
constexpr uint32_t kPlainBayerBitsPerPixel = 10;
constexpr uint32_t kLanesHd4 = 0x10000004;

struct Word {
    std::string_view word;
    uint32_t value;
};

constexpr std::array<Word, 8> kImageTypes = {{
    {"BAYER", 2},
    {"BAYER_STEREO", 16},
    {"YCBCR", 5},
    {"BAYER_HDR", 12},
    {"BAYER_IHDR", 26},
    {"JPEG", 15},
    {"H264", 36},
    {"H.264", 36},
}};

constexpr std::array<Word, 8> kConnectionTypes = {{
    {"Parallel", 1},
    {"CCP", 2},
    {"MIPI", 3},
    {"HiSPi", 4},
    {"Ethernet", 5},
    {"LVDS", 6},
    {"SLVSEC", 7},
    {"SLVS-EC", 7},
}};

constexpr std::array<Word, 9> kHispiModes = {{
    {"Streaming - S", 0},
    {"Streaming-S", 0},
    {"SP Streaming", 1},
    {"SPStreaming", 1},
    {"SP Packetized", 2},
    {"SPPacketized", 2},
    {"DSLR", 3},
    {"ActiveStart-SP8", 4},
    {"ActiveStartSP8", 4},
}};

template <size_t N>
std::optional<uint32_t> lookUpWord(const std::array<Word, N> &words, std::string_view word)
{
    for (const Word &entry : words) {
        if (equalsNoCase(entry.word, word))
            return entry.value;
    }
    return std::nullopt;
}

bool isRegisterSize(uint32_t bits)
{
    return bits == 8 || bits == 16 || bits == 32;
}

class SensorElement
{
public:
    explicit SensorElement(XmlSensorReader &reader)
        : reader_(reader), sensor_(reader.sensor()), camera_(reader.camera()),
          ident_(reader.camera()->context->ident)
    {
    }

    // Applies the attributes, then the derived values and early rejects; true stops.
    bool apply(XmlAttributes attributes);

private:
    enum class Kind { Number, Mode, ModeFlag, Special };
    using Special = bool (SensorElement::*)(std::string_view value);
    struct Attribute {
        std::string_view name;
        Kind kind;
        uint32_t ze_sensor_t::*field;
        uint32_t mode;
        Special special;
    };
    static const std::array<Attribute, 36> kAttributes;

    bool applyAttribute(const Attribute &known, std::string_view value);
    bool applyName(std::string_view value);
    bool applyPartNumber(std::string_view value);
    bool applyVersionName(std::string_view value);
    bool applyWidth(std::string_view value);
    bool applyHeight(std::string_view value);
    bool applyFullWidth(std::string_view value);
    bool applyFullHeight(std::string_view value);
    bool applyImageType(std::string_view value);
    bool applyAddrSize(std::string_view value);
    bool applyDataSize(std::string_view value);
    bool applyDataLE(std::string_view value);
    bool applyBaseAddresses(std::string_view value);
    bool applyShipSpeed(std::string_view value);
    bool applySpiSpeed(std::string_view value);
    bool applyConnectionType(std::string_view value);
    bool applyLanes(std::string_view value);
    bool applyHispiMode(std::string_view value);
    bool applySize(std::string_view value, uint32_t &field, const char *message);
    int finish();

    XmlSensorReader &reader_;
    ze_sensor_t *sensor_;
    ze_camera_t *camera_;
    IdentData &ident_;
    bool fullWidthGiven_ = false;
    bool fullHeightGiven_ = false;
    bool tooManyBaseAddresses_ = false;
};

constexpr uint32_t ze_sensor_t::*kNoField = nullptr;

const std::array<SensorElement::Attribute, 36> SensorElement::kAttributes = {{
    {"name", Kind::Special, kNoField, 0, &SensorElement::applyName},
    {"part_number", Kind::Special, kNoField, 0, &SensorElement::applyPartNumber},
    {"version", Kind::Number, &ze_sensor_t::sensorVersion, 0, nullptr},
    {"version_name", Kind::Special, kNoField, 0, &SensorElement::applyVersionName},
    {"minor_version", Kind::Number, &ze_sensor_t::minorVersion, 0, nullptr},
    {"width", Kind::Special, kNoField, 0, &SensorElement::applyWidth},
    {"height", Kind::Special, kNoField, 0, &SensorElement::applyHeight},
    {"full_width", Kind::Special, kNoField, 0, &SensorElement::applyFullWidth},
    {"full_height", Kind::Special, kNoField, 0, &SensorElement::applyFullHeight},
    {"range_size", Kind::Number, &ze_sensor_t::rangeSize, 0, nullptr},
    {"velo_size", Kind::Number, &ze_sensor_t::velocitySize, 0, nullptr},
    {"ant_ula_size", Kind::Number, &ze_sensor_t::antennaArraySize, 0, nullptr},
    {"ant_group_size", Kind::Number, &ze_sensor_t::antennaGroupSize, 0, nullptr},
    {"image_type", Kind::Special, kNoField, 0, &SensorElement::applyImageType},
    {"bits_per_clock", Kind::Mode, kNoField, ZE_BITS_PER_CLOCK, nullptr},
    {"clocks_per_pixel", Kind::Mode, kNoField, ZE_CLOCKS_PER_PIXEL, nullptr},
    {"pixel_clock_polarity", Kind::Mode, kNoField, ZE_PIXCLK_POLARITY, nullptr},
    {"reg_addr_size", Kind::Special, kNoField, 0, &SensorElement::applyAddrSize},
    {"reg_data_size", Kind::Special, kNoField, 0, &SensorElement::applyDataSize},
    {"reg_data_le", Kind::Special, kNoField, 0, &SensorElement::applyDataLE},
    {"ship_base_address", Kind::Special, kNoField, 0, &SensorElement::applyBaseAddresses},
    {"ship_speed", Kind::Special, kNoField, 0, &SensorElement::applyShipSpeed},
    {"spi_speed", Kind::Special, kNoField, 0, &SensorElement::applySpiSpeed},
    {"connection_type", Kind::Special, kNoField, 0, &SensorElement::applyConnectionType},
    {"lanes", Kind::Special, kNoField, 0, &SensorElement::applyLanes},
    {"serial_bit_depth", Kind::Mode, kNoField, ZE_RX_BIT_DEPTH, nullptr},
    {"embedded_data", Kind::ModeFlag, kNoField, ZE_RX_EMBEDDED_DATA, nullptr},
    {"hispi_msb_first", Kind::ModeFlag, kNoField, ZE_RX_MSB_FIRST, nullptr},
    {"lsb_aligned", Kind::ModeFlag, kNoField, ZE_LSB_ALIGNED, nullptr},
    {"ccir_656", Kind::ModeFlag, kNoField, ZE_RX_CCIR656, nullptr},
    {"interlaced", Kind::ModeFlag, kNoField, ZE_RX_INTERLACED, nullptr},
    {"ccp_class", Kind::Mode, kNoField, ZE_RX_CLASS, nullptr},
    {"mipi_virtual_channel", Kind::Mode, kNoField, ZE_RX_VIRTUAL_CHANNEL, nullptr},
    {"mipi_max_bit_rate", Kind::Mode, kNoField, ZE_RX_MAX_BIT_RATE, nullptr},
    {"hispi_sync_code", Kind::Mode, kNoField, ZE_RX_SYNC_CODE, nullptr},
    {"hispi_mode", Kind::Special, kNoField, 0, &SensorElement::applyHispiMode},
}};

bool SensorElement::apply(XmlAttributes attributes)
{
    reader_.sensorSeen = true;
    for (const XmlAttribute &attribute : attributes) {
        const Attribute *known = nullptr;
        for (const Attribute &candidate : kAttributes) {
            if (equalsNoCase(candidate.name, attribute.name)) {
                known = &candidate;
                break;
            }
        }
        // Attributes of newer formats are ignored.
        if (!known)
            continue;
        if (!applyAttribute(*known, xmlvalue::trimmed(attribute.value)))
            reader_.badValue("sensor", attribute);
        if (tooManyBaseAddresses_) {
            reader_.fail(ZE_ERRORLOG(SENSOR_FILE_PARSE_ERROR,
                                     "Early reject: Too many alternate SHIP base addresses"));
            return true;
        }
    }
    int code = finish();
    if (code == PARSE_SUCCESS)
        return false;
    reader_.fail(code);
    return true;
}

bool SensorElement::applyAttribute(const Attribute &known, std::string_view value)
{
    if (known.kind == Kind::Special)
        return (this->*known.special)(value);
    if (known.kind == Kind::ModeFlag) {
        auto flag = xmlvalue::yesNo(value);
        if (flag)
            setStoredMode(camera_, known.mode, *flag ? 1 : 0);
        return flag.has_value();
    }
    auto number = xmlvalue::number(value);
    if (!number)
        return false;
    if (known.kind == Kind::Mode)
        setStoredMode(camera_, known.mode, *number);
    else
        sensor_->*known.field = *number;
    return true;
}

bool SensorElement::applyName(std::string_view value)
{
    copyFittedText(sensor_->name, value);
    sensor_->sensorType = ze_SensorTypeCode(sensor_->name);
    return true;
}

bool SensorElement::applyPartNumber(std::string_view value)
{
    std::string name(value.substr(0, kIdentNameLength));
    copyText(sensor_->partNumber, name.c_str());
    addPartNumber(reader_, name);
    return true;
}

bool SensorElement::applyVersionName(std::string_view value)
{
    copyFittedText(sensor_->versionName, value);
    return true;
}

// The frame size of the output; the full sensor size follows it unless given on its own.
bool SensorElement::applyWidth(std::string_view value)
{
    auto width = xmlvalue::number(value);
    if (!width)
        return false;
    sensor_->imageWidth = *width;
    if (!fullWidthGiven_)
        sensor_->width = *width;
    return true;
}

bool SensorElement::applyHeight(std::string_view value)
{
    auto height = xmlvalue::number(value);
    if (!height)
        return false;
    sensor_->imageHeight = *height;
    if (!fullHeightGiven_)
        sensor_->height = *height;
    return true;
}

bool SensorElement::applyFullWidth(std::string_view value)
{
    auto width = xmlvalue::number(value);
    if (!width)
        return false;
    sensor_->width = *width;
    fullWidthGiven_ = true;
    return true;
}

bool SensorElement::applyFullHeight(std::string_view value)
{
    auto height = xmlvalue::number(value);
    if (!height)
        return false;
    sensor_->height = *height;
    fullHeightGiven_ = true;
    return true;
}

bool SensorElement::applyImageType(std::string_view value)
{
    auto type = lookUpWord(kImageTypes, value);
    if (type)
        sensor_->imageType = *type;
    return type.has_value();
}

// Sizes other than 8, 16 or 32 bits would break every register transfer: the file fails
// as a text file with the same value does.
bool SensorElement::applySize(std::string_view value, uint32_t &field, const char *message)
{
    auto bits = xmlvalue::number(value);
    if (!bits)
        return false;
    if (!isRegisterSize(*bits)) {
        reader_.syntaxError(CHIP_DESC_ERROR, std::string(message) + ": " + std::string(value));
        reader_.fail(CHIP_DESC_ERROR);
        return true;
    }
    field = *bits;
    return true;
}

bool SensorElement::applyAddrSize(std::string_view value)
{
    return applySize(value, sensor_->regAddrSize, "register address size should be 8, 16 or 32");
}

bool SensorElement::applyDataSize(std::string_view value)
{
    return applySize(value, sensor_->regDataSize, "register data size should be 8, 16 or 32");
}

bool SensorElement::applyDataLE(std::string_view value)
{
    auto flag = xmlvalue::yesNo(value);
    if (flag)
        sensor_->regDataLE = *flag ? 1 : 0;
    return flag.has_value();
}

bool SensorElement::applyBaseAddresses(std::string_view value)
{
    std::vector<uint32_t> addresses = xmlvalue::numbers(value);
    if (addresses.empty())
        return false;
    if (addresses.size() > static_cast<size_t>(kMaxBaseAddrs)) {
        tooManyBaseAddresses_ = true;
        return true;
    }
    ident_.baseAddrCount = static_cast<int32_t>(addresses.size());
    std::copy(addresses.begin(), addresses.end(), ident_.baseAddrs);
    sensor_->shipBaseAddr = addresses.front();
    return true;
}

bool SensorElement::applyShipSpeed(std::string_view value)
{
    auto speed = xmlvalue::number(value);
    if (speed)
        ident_.shipSpeed = *speed;
    return speed.has_value();
}

bool SensorElement::applySpiSpeed(std::string_view value)
{
    auto speed = xmlvalue::number(value);
    if (speed)
        ident_.spiSpeed = *speed;
    return speed.has_value();
}

bool SensorElement::applyConnectionType(std::string_view value)
{
    auto type = lookUpWord(kConnectionTypes, value);
    if (type)
        setStoredMode(camera_, ZE_RX_TYPE, *type);
    return type.has_value();
}

bool SensorElement::applyLanes(std::string_view value)
{
    auto lanes =
        equalsNoCase(value, "HD4") ? std::optional<uint32_t>(kLanesHd4) : xmlvalue::number(value);
    if (lanes)
        setStoredMode(camera_, ZE_RX_LANES, *lanes);
    return lanes.has_value();
}

bool SensorElement::applyHispiMode(std::string_view value)
{
    auto mode = lookUpWord(kHispiModes, value);
    if (mode)
        setStoredMode(camera_, ZE_RX_MODE, *mode);
    return mode.has_value();
}

int SensorElement::finish()
{
    int code = rejectUnwantedAddrSize(ident_, sensor_);
    if (code != PARSE_SUCCESS)
        return code;
    const uint32_t namedType = sensor_->imageType;
    code = finishDescriptor(reader_.shared());
    // Plain Bayer output of 10 bits per pixel is the 10-bit Bayer type in this form.
    if ((namedType == kImageTypeBayer10 || namedType == kImageTypeBayer12) &&
        sensor_->bitsPerPixel == kPlainBayerBitsPerPixel)
        sensor_->imageType = kImageTypeBayer10;
    return code;
}

} // namespace

bool startSensorElement(XmlSensorReader &reader, XmlAttributes attributes)
{
    return SensorElement(reader).apply(attributes);
}

void endSensorElement(XmlSensorReader &reader)
{
    trimRegisters(reader);
}

} // namespace zentro
