// The CHIP_DESCRIPTOR section: sensor name, geometry, pixel format and serial-bus addresses,
// the values derived from them and the early rejects that follow.
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "camera/context.h"
#include "camera/pixel_sizes.h"
#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/text_reader.h"

namespace zentro {

namespace {

// Characters of a descriptor value that are kept (the sensor name).
constexpr size_t kDescriptorValueSize = 80;
// Serial-bus addresses at or above this are not on the two-wire bus and never absent.

constexpr uint32_t kImageTypeBayer10 = 2;
constexpr uint32_t kImageTypeBayer12 = 12;
constexpr uint32_t kImageTypeBayerStereo = 16;
constexpr uint32_t kStereoBitsPerPixel = 8;

struct ImageTypeWord {
    std::string_view word;
    uint32_t type;
};
constexpr std::array<ImageTypeWord, 5> kImageTypeWords = {{
    {"BAYER", 2},
    {"BAYER_STEREO", 16},
    {"YCBCR", 5},
    {"BAYER_IHDR", 26},
    {"BAYER_HDR", 12},
}};

// Bayer image types by bits per pixel, for files that name plain Bayer output.
struct RefinedImageType {
    uint32_t bitsPerPixel;
    uint32_t type;
};
constexpr std::array<RefinedImageType, 8> kBayerTypesByDepth = {{
    {6, 30},
    {8, 1},
    {12, 12},
    {14, 20},
    {16, 28},
    {20, 23},
    {24, 38},
    {28, 39},
}};

class DescriptorSection
{
public:
    explicit DescriptorSection(SensorFileReader &reader)
        : reader_(reader), sensor_(reader.sensor), camera_(reader.camera)
    {
    }

    int read();

private:
    struct Key {
        std::string_view name;
        bool (DescriptorSection::*apply)(std::string_view value);
    };
    static const std::array<Key, 17> kKeys;

    bool applySensorName(std::string_view value);
    bool applyWidth(std::string_view value);
    bool applyHeight(std::string_view value);
    bool applyImageType(std::string_view value);
    bool applyBitsPerClock(std::string_view value);
    bool applyClocksPerPixel(std::string_view value);
    bool applyPixelClockPolarity(std::string_view value);
    bool applyBaseAddresses(std::string_view value);
    bool applyShipSpeed(std::string_view value);
    bool acceptIgnored(std::string_view value);

    bool applyMode(uint32_t mode, std::string_view value);
    const Key *findKey(std::string_view name) const;

    SensorFileReader &reader_;
    ze_sensor_t *sensor_;
    ze_camera_t *camera_;
};

const std::array<DescriptorSection::Key, 17> DescriptorSection::kKeys = {{
    {"SENSORNAME", &DescriptorSection::applySensorName},
    {"WIDTH", &DescriptorSection::applyWidth},
    {"RAW_WIDTH", &DescriptorSection::applyWidth},
    {"HEIGHT", &DescriptorSection::applyHeight},
    {"RAW_HEIGHT", &DescriptorSection::applyHeight},
    {"IMAGE_TYPE", &DescriptorSection::applyImageType},
    {"RAW_IMAGE_TYPE", &DescriptorSection::applyImageType},
    {"BITS_PER_CLOCK", &DescriptorSection::applyBitsPerClock},
    {"RAW_BITS_PER_CLOCK", &DescriptorSection::applyBitsPerClock},
    {"CLOCKS_PER_PIXEL", &DescriptorSection::applyClocksPerPixel},
    {"RAW_CLOCKS_PER_PIXEL", &DescriptorSection::applyClocksPerPixel},
    {"PIXEL_CLOCK_POLARITY", &DescriptorSection::applyPixelClockPolarity},
    {"SHIP_BASE_ADDRESS", &DescriptorSection::applyBaseAddresses},
    {"I2C_BASE_ADDRESS", &DescriptorSection::applyBaseAddresses},
    {"SHIP_SPEED", &DescriptorSection::applyShipSpeed},
    {"IMAGE_WIDTH", &DescriptorSection::acceptIgnored},
    {"IMAGE_HEIGHT", &DescriptorSection::acceptIgnored},
}};

// The value of a key is one word; what follows it on the line is not read.
std::optional<uint32_t> wordNumber(std::string_view value)
{
    return parseInteger(firstWord(value));
}

int DescriptorSection::read()
{
    bool failed = false;
    std::string_view line;
    while (reader_.nextSectionLine(kDescriptorLineLimit, line)) {
        auto pair = splitKeyValue(line);
        if (!pair || pair->value.empty())
            return reader_.syntaxError(CHIP_DESC_ERROR, line);
        const Key *key = findKey(pair->key);
        if (!key || !(this->*(key->apply))(pair->value)) {
            reader_.syntaxError(CHIP_DESC_ERROR, line);
            failed = true;
        }
    }
    if (failed)
        return CHIP_DESC_ERROR;
    reader_.descriptorRead = true;
    return finishDescriptor(reader_);
}

const DescriptorSection::Key *DescriptorSection::findKey(std::string_view name) const
{
    for (const Key &key : kKeys) {
        if (equalsNoCase(key.name, name))
            return &key;
    }
    return nullptr;
}

bool DescriptorSection::applySensorName(std::string_view value)
{
    auto name = quotedText(value);
    if (!name)
        return false;
    copyFittedText(sensor_->name, kDescriptorValueSize, *name);
    sensor_->sensorType = ze_SensorTypeCode(sensor_->name);
    return true;
}

bool DescriptorSection::applyWidth(std::string_view value)
{
    auto width = wordNumber(value);
    if (!width)
        return false;
    sensor_->width = sensor_->imageWidth = *width;
    return true;
}

bool DescriptorSection::applyHeight(std::string_view value)
{
    auto height = wordNumber(value);
    if (!height)
        return false;
    sensor_->height = sensor_->imageHeight = *height;
    return true;
}

bool DescriptorSection::applyImageType(std::string_view value)
{
    std::string_view word = firstWord(value);
    for (const ImageTypeWord &entry : kImageTypeWords) {
        if (equalsNoCase(entry.word, word)) {
            sensor_->imageType = entry.type;
            return true;
        }
    }
    return false;
}

bool DescriptorSection::applyMode(uint32_t mode, std::string_view value)
{
    auto number = wordNumber(value);
    if (!number)
        return false;
    setStoredMode(camera_, mode, *number);
    return true;
}

bool DescriptorSection::applyBitsPerClock(std::string_view value)
{
    return applyMode(ZE_BITS_PER_CLOCK, value);
}

bool DescriptorSection::applyClocksPerPixel(std::string_view value)
{
    return applyMode(ZE_CLOCKS_PER_PIXEL, value);
}

bool DescriptorSection::applyPixelClockPolarity(std::string_view value)
{
    return applyMode(ZE_PIXCLK_POLARITY, value);
}

bool DescriptorSection::applyBaseAddresses(std::string_view value)
{
    std::optional<std::vector<uint32_t>> addresses;
    if (value.front() == '(')
        addresses = parseValueList(value);
    else if (auto single = wordNumber(value))
        addresses = std::vector<uint32_t>{*single};
    if (!addresses || addresses->size() > static_cast<size_t>(kMaxBaseAddrs))
        return false;
    IdentData &ident = camera_->context->ident;
    ident.baseAddrCount = static_cast<int32_t>(addresses->size());
    std::copy(addresses->begin(), addresses->end(), ident.baseAddrs);
    if (!addresses->empty())
        sensor_->shipBaseAddr = addresses->front();
    return true;
}

bool DescriptorSection::applyShipSpeed(std::string_view value)
{
    auto speed = wordNumber(value);
    if (!speed)
        return false;
    camera_->context->ident.shipSpeed = *speed;
    return true;
}

bool DescriptorSection::acceptIgnored(std::string_view /*value*/)
{
    return true;
}

uint32_t refinedBayerType(uint32_t imageType, uint32_t bitsPerPixel)
{
    if (imageType != kImageTypeBayer10 && imageType != kImageTypeBayer12)
        return imageType;
    for (const RefinedImageType &entry : kBayerTypesByDepth) {
        if (entry.bitsPerPixel == bitsPerPixel)
            return entry.type;
    }
    return imageType;
}

// Frame sizes that do not fit the record's 32-bit fields are refused rather than wrapped.
int deriveFrameValues(SensorFileReader &reader)
{
    ze_sensor_t *sensor = reader.sensor;
    const uint32_t bitsPerClock = storedMode(reader.camera, ZE_BITS_PER_CLOCK);
    const uint32_t clocksPerPixel = storedMode(reader.camera, ZE_CLOCKS_PER_PIXEL);
    const uint32_t bytesPerClock = zentro::bytesPerClock(bitsPerClock);
    uint32_t bitsPerPixel = kStereoBitsPerPixel;
    uint32_t pixelBytes = 0;
    uint32_t imageBytes = 0;
    bool overflow = false;
    if (sensor->imageType != kImageTypeBayerStereo)
        overflow |= __builtin_mul_overflow(bitsPerClock, clocksPerPixel, &bitsPerPixel);
    overflow |= __builtin_mul_overflow(clocksPerPixel, bytesPerClock, &pixelBytes);
    overflow |= __builtin_mul_overflow(sensor->imageWidth, sensor->imageHeight, &imageBytes);
    overflow |= __builtin_mul_overflow(imageBytes, pixelBytes, &imageBytes);
    if (overflow)
        return ZE_ERRORLOGF(CHIP_DESC_ERROR,
                            "frame of %u x %u pixels, %u bits per clock and %u clocks per "
                            "pixel is too large in %s",
                            sensor->imageWidth, sensor->imageHeight, bitsPerClock, clocksPerPixel,
                            sensor->fileName);
    sensor->bitsPerPixel = bitsPerPixel;
    sensor->pixelBytes = pixelBytes;
    sensor->imageCount = 1;
    sensor->imageBytes = imageBytes;
    sensor->imageType = refinedBayerType(sensor->imageType, bitsPerPixel);
    return PARSE_SUCCESS;
}

bool serialBusRoutedToSpi(ze_camera_t *camera)
{
    uint32_t value = 0;
    return camera->getMode && camera->getMode(camera, ZE_SHIP_TO_SPI, &value) == CAMERA_SUCCESS &&
           value == 1;
}

// True when some listed base address may still answer.
bool anyBaseAddressReachable(ze_camera_t *camera)
{
    const IdentData &ident = camera->context->ident;
    if (ident.baseAddrCount <= 0)
        return false;
    for (int32_t i = 0; i < ident.baseAddrCount; ++i) {
        uint32_t address = ident.baseAddrs[i];
        if (address >= kFirstNonBusAddr || !ident.isMarkedAbsent(address))
            return true;
    }
    return serialBusRoutedToSpi(camera);
}

int rejectEarly(SensorFileReader &reader)
{
    if (!anyBaseAddressReachable(reader.camera))
        return ZE_ERRORLOG(SENSOR_DOES_NOT_MATCH, "Early reject: There is no SHIP_BASE_ADDRESS, "
                                                  "or no device at the base address(es)");
    const SocWish wish = reader.camera->context->ident.socWish;
    const bool soc = isSocSensor(reader.sensor);
    if (wish == SocWish::SocOnly && !soc)
        return ZE_ERRORLOG(SENSOR_DOES_NOT_MATCH, "Early reject: Wanted SOC and file is not SOC");
    if (wish == SocWish::NonSocOnly && soc)
        return ZE_ERRORLOG(SENSOR_DOES_NOT_MATCH, "Early reject: Wanted non-SOC and file is SOC");
    return PARSE_SUCCESS;
}

} // namespace

int readDescriptorSection(SensorFileReader &reader)
{
    return DescriptorSection(reader).read();
}

int finishDescriptor(SensorFileReader &reader)
{
    int code = deriveFrameValues(reader);
    if (code != PARSE_SUCCESS)
        return code;
    return rejectEarly(reader);
}

} // namespace zentro
