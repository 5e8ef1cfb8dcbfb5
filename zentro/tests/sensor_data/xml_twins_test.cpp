// The XML twins of the sample sensors: each describes the same register database as its text
// file, plus what only XML carries; zx0016.ldat gives ZX0016 its long descriptions and notes.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "camera/context.h"
#include "support/test_support.h"
#include "zentro.h"
#include "zentro_long_desc.h"
#include "zentro_sensor_data.h"

namespace {

namespace fs = std::filesystem;
using zentro::test::LogCapture;
using zentro::test::readFile;
using zentro::test::TestCamera;

const std::string kSampleDir = ZENTRO_SAMPLE_SENSOR_DIR;
const std::string kCorpusDir = ZENTRO_FUZZ_CORPUS_DIR;
constexpr size_t kSampleTwins = 4;

std::string sample(const std::string &name)
{
    return kSampleDir + "/" + name;
}

// Every ".xsdat" of the sample folder and of far/, as paths relative to the folder.
std::vector<std::string> xmlSamples()
{
    std::vector<std::string> names;
    for (const char *sub : {"", "far"}) {
        for (const auto &entry : fs::directory_iterator(fs::path(kSampleDir) / sub)) {
            if (entry.path().extension() == ".xsdat")
                names.push_back((fs::path(sub) / entry.path().filename()).string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string textTwinOf(const std::string &xmlName)
{
    return fs::path(xmlName).replace_extension(".sdat").string();
}

const ze_reg_t *findReg(const ze_sensor_t *sensor, const char *name)
{
    for (int32_t i = 0; i < sensor->regCount; ++i) {
        if (std::strcmp(sensor->regs[i].name, name) == 0)
            return &sensor->regs[i];
    }
    return nullptr;
}

const ze_bitfield_t *findField(const ze_reg_t *reg, const char *name)
{
    for (int32_t i = 0; reg && i < reg->bitfieldCount; ++i) {
        if (std::strcmp(reg->bitfields[i].name, name) == 0)
            return &reg->bitfields[i];
    }
    return nullptr;
}

bool startsWith(const char *text, const char *prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Lines the reader logged as errors.
std::vector<std::string> errorLines(const LogCapture &log)
{
    std::vector<std::string> errors;
    for (const auto &line : log.lines()) {
        if (line.code != 0 || (line.level & (ZE_LOG_SEVERE | ZE_LOG_ERROR)))
            errors.push_back(line.message);
    }
    return errors;
}

uint32_t mode(ze_camera_t *camera, uint32_t number)
{
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(ze_getMode(camera, number, &value), 0) << "mode " << number;
    return value;
}

// Collects every field on which two records disagree, so that one run shows them all.
class Differences
{
public:
    template <class T>
    void compare(const std::string &what, const T &text, const T &xml)
    {
        if (text == xml)
            return;
        std::ostringstream line;
        line << what << ": text " << text << ", XML " << xml;
        list_.push_back(line.str());
    }
    void compareText(const std::string &what, const char *text, const char *xml)
    {
        compare<std::string>(what, text ? text : "(none)", xml ? xml : "(none)");
    }
    const std::vector<std::string> &list() const { return list_; }

private:
    std::vector<std::string> list_;
};

std::string spaceName(const ze_reg_t &reg)
{
    return reg.addrSpace ? reg.addrSpace->name : "(none)";
}

void compareBitfield(Differences &d, const std::string &where, const ze_bitfield_t &text,
                     const ze_bitfield_t &xml)
{
    d.compareText(where + " name", text.name, xml.name);
    d.compare(where + " mask", text.mask, xml.mask);
    d.compare(where + " access", text.access, xml.access);
    d.compareText(where + " display name", text.displayName, xml.displayName);
    d.compareText(where + " detail", text.detail, xml.detail);
    // The text form marks "BIT_" names confidential; the XML form must say so itself.
    if (text.confidential)
        d.compare(where + " confidential", text.confidential, xml.confidential);
}

void compareRegister(Differences &d, const ze_reg_t &text, const ze_reg_t &xml)
{
    const std::string where = text.name;
    d.compareText(where + " name", text.name, xml.name);
    d.compare(where + " address", text.addr, xml.addr);
    d.compare(where + " space", spaceName(text), spaceName(xml));
    d.compare(where + " space id", text.addrSpaceId, xml.addrSpaceId);
    d.compare(where + " span", text.span, xml.span);
    d.compare(where + " mask", text.mask, xml.mask);
    d.compare(where + " access", text.access, xml.access);
    d.compare(where + " default", text.defaultValue, xml.defaultValue);
    d.compareText(where + " display name", text.displayName, xml.displayName);
    d.compareText(where + " detail", text.detail, xml.detail);
    if (text.confidential)
        d.compare(where + " confidential", text.confidential, xml.confidential);
    d.compare(where + " bitfield count", text.bitfieldCount, xml.bitfieldCount);
    for (int32_t i = 0; i < std::min(text.bitfieldCount, xml.bitfieldCount); ++i)
        compareBitfield(d, where + "." + text.bitfields[i].name, text.bitfields[i],
                        xml.bitfields[i]);
}

void compareSpaces(Differences &d, const ze_addr_space_list_t *text,
                   const ze_addr_space_list_t *xml)
{
    d.compare("space table", text != nullptr, xml != nullptr);
    if (!text || !xml)
        return;
    d.compare("read select", text->readSelectAddr, xml->readSelectAddr);
    d.compare("write select", text->writeSelectAddr, xml->writeSelectAddr);
    d.compare("far-1 select", text->far1SelectAddr, xml->far1SelectAddr);
    d.compare("far-2 select", text->far2SelectAddr, xml->far2SelectAddr);
    d.compare("space count", text->count, xml->count);
    for (int32_t i = 0; i < std::min(text->count, xml->count); ++i) {
        const ze_addr_space_t &a = text->spaces[i];
        const ze_addr_space_t &b = xml->spaces[i];
        const std::string where = std::string("space ") + a.name;
        d.compareText(where + " name", a.name, b.name);
        d.compareText(where + " description", a.description, b.description);
        d.compare(where + " id", a.id, b.id);
        d.compare(where + " type", a.type, b.type);
        d.compare(where + " far base", a.farBase, b.farBase);
        d.compare(where + " far address size", a.farAddrSize, b.farAddrSize);
        d.compare(where + " far data size", a.farDataSize, b.farDataSize);
        d.compare(where + " far data LE", a.farDataLE, b.farDataLE);
    }
}

void compareFarCopy(Differences &d, const char *which, const ze_sensor_t *text,
                    const ze_sensor_t *xml)
{
    d.compare(std::string(which) + " present", text != nullptr, xml != nullptr);
    if (!text || !xml)
        return;
    d.compareText(std::string(which) + " name", text->name, xml->name);
    d.compare(std::string(which) + " base", text->shipBaseAddr, xml->shipBaseAddr);
    d.compare(std::string(which) + " registers", text->regCount, xml->regCount);
}

void compareSensors(Differences &d, const ze_sensor_t &text, const ze_sensor_t &xml)
{
    d.compareText("name", text.name, xml.name);
    d.compare("type code", text.sensorType, xml.sensorType);
    d.compare("width", text.width, xml.width);
    d.compare("height", text.height, xml.height);
    d.compare("image width", text.imageWidth, xml.imageWidth);
    d.compare("image height", text.imageHeight, xml.imageHeight);
    d.compare("image count", text.imageCount, xml.imageCount);
    d.compare("pixel bytes", text.pixelBytes, xml.pixelBytes);
    d.compare("bits per pixel", text.bitsPerPixel, xml.bitsPerPixel);
    d.compare("image bytes", text.imageBytes, xml.imageBytes);
    d.compare("image type", text.imageType, xml.imageType);
    d.compare("ship base address", text.shipBaseAddr, xml.shipBaseAddr);
    d.compare("register address size", text.regAddrSize, xml.regAddrSize);
    d.compare("register data size", text.regDataSize, xml.regDataSize);
    d.compare("register data LE", text.regDataLE, xml.regDataLE);
    d.compare("sensor version", text.sensorVersion, xml.sensorVersion);
    d.compare("minor version", text.minorVersion, xml.minorVersion);
    d.compareText("part number", text.partNumber, xml.partNumber);
    d.compareText("version name", text.versionName, xml.versionName);
    d.compareText("product variant", text.productVariant, xml.productVariant);
    compareSpaces(d, text.addrSpaces, xml.addrSpaces);
    compareFarCopy(d, "far sensor 1", text.farSensor1, xml.farSensor1);
    compareFarCopy(d, "far sensor 2", text.farSensor2, xml.farSensor2);
    d.compare("register count", text.regCount, xml.regCount);
    for (int32_t i = 0; i < std::min(text.regCount, xml.regCount); ++i)
        compareRegister(d, text.regs[i], xml.regs[i]);
}

void compareRegisterTest(Differences &d, const std::string &where,
                         const zentro::IdentRegisterTest &a, const zentro::IdentRegisterTest &b)
{
    d.compareText(where + " register", a.regName, b.regName);
    d.compare(where + " mask", a.mask, b.mask);
    d.compare(where + " value count", a.valueCount, b.valueCount);
    for (int32_t v = 0; v < std::min(a.valueCount, b.valueCount); ++v)
        d.compare(where + " value " + std::to_string(v), a.values[v], b.values[v]);
}

void compareSerialTest(Differences &d, const std::string &where, const zentro::IdentSerialTest &a,
                       const zentro::IdentSerialTest &b)
{
    d.compare(where + " serial base", a.base, b.base);
    d.compare(where + " serial address", a.regAddr, b.regAddr);
    d.compare(where + " serial address size", a.addrSize, b.addrSize);
    d.compare(where + " serial data size", a.dataSize, b.dataSize);
    d.compare(where + " serial mask", a.mask, b.mask);
    d.compare(where + " serial value count", a.valueCount, b.valueCount);
    for (int32_t v = 0; v < std::min(a.valueCount, b.valueCount); ++v)
        d.compare(where + " serial value " + std::to_string(v), a.values[v], b.values[v]);
}

void compareGroup(Differences &d, const std::string &where, const zentro::IdentGroup &a,
                  const zentro::IdentGroup &b)
{
    compareRegisterTest(d, where + " extra test", a.extraDesc, b.extraDesc);
    compareRegisterTest(d, where + " reset-if", a.resetIf, b.resetIf);
    d.compare(where + " version writes", a.versionWriteCount, b.versionWriteCount);
    for (int32_t i = 0; i < std::min(a.versionWriteCount, b.versionWriteCount); ++i) {
        const std::string entry = where + " version write " + std::to_string(i);
        const zentro::IdentVersionWrite &x = a.versionWrites[i];
        const zentro::IdentVersionWrite &y = b.versionWrites[i];
        d.compareText(entry + " register", x.regName, y.regName);
        d.compare(entry + " mask", x.mask, y.mask);
        d.compare(entry + " wait", x.waitMs, y.waitMs);
        d.compare(entry + " value count", x.valueCount, y.valueCount);
        for (int32_t v = 0; v < std::min(x.valueCount, y.valueCount); ++v)
            d.compare(entry + " value " + std::to_string(v), x.values[v], y.values[v]);
    }
    d.compare(where + " version reads", a.versionReadCount, b.versionReadCount);
    for (int32_t i = 0; i < std::min(a.versionReadCount, b.versionReadCount); ++i)
        compareRegisterTest(d, where + " version read " + std::to_string(i), a.versionReads[i],
                            b.versionReads[i]);
    d.compare(where + " serial tests", a.extraSerialCount, b.extraSerialCount);
    for (int32_t i = 0; i < std::min(a.extraSerialCount, b.extraSerialCount); ++i)
        compareSerialTest(d, where + " serial test " + std::to_string(i), a.extraSerial[i],
                          b.extraSerial[i]);
}

void compareIdentification(Differences &d, const zentro::IdentData &a, const zentro::IdentData &b)
{
    d.compare("base addresses", a.baseAddrCount, b.baseAddrCount);
    for (int32_t i = 0; i < std::min(a.baseAddrCount, b.baseAddrCount); ++i)
        d.compare("base address " + std::to_string(i), a.baseAddrs[i], b.baseAddrs[i]);
    d.compare("groups", a.groupCount, b.groupCount);
    for (int32_t g = 0; g < std::min(a.groupCount, b.groupCount); ++g)
        compareGroup(d, "group " + std::to_string(g), a.groups[g], b.groups[g]);
    for (int list = 0; list < zentro::NamedListCount; ++list) {
        const zentro::NamedIdentList &x = a.named[list];
        const zentro::NamedIdentList &y = b.named[list];
        const std::string where = "named list " + std::to_string(list);
        d.compare(where + " count", x.count, y.count);
        for (int32_t i = 0; i < std::min(x.count, y.count); ++i) {
            const std::string entry = where + " entry " + std::to_string(i);
            d.compareText(entry + " name", x.entries[i].name, y.entries[i].name);
            d.compare(entry + " number", x.entries[i].number, y.entries[i].number);
            d.compareText(entry + " register", x.entries[i].regName, y.entries[i].regName);
            d.compare(entry + " value count", x.entries[i].valueCount, y.entries[i].valueCount);
            for (int32_t v = 0; v < std::min(x.entries[i].valueCount, y.entries[i].valueCount); ++v)
                d.compare(entry + " value " + std::to_string(v), x.entries[i].values[v],
                          y.entries[i].values[v]);
            if (x.entries[i].regName[0])
                d.compare(entry + " mask", x.entries[i].mask, y.entries[i].mask);
            compareSerialTest(d, entry, x.entries[i].serial, y.entries[i].serial);
        }
    }
}

// Pixel and bus settings both forms give to the camera. The serial-bus speed is a mode
// that only a transport answers for, so its stored value is compared.
void compareCameraSettings(Differences &d, ze_camera_t *text, ze_camera_t *xml)
{
    for (uint32_t number : {ZE_BITS_PER_CLOCK, ZE_CLOCKS_PER_PIXEL, ZE_PIXCLK_POLARITY,
                            ZE_REG_ADDR_SIZE, ZE_REG_DATA_SIZE})
        d.compare("mode " + std::to_string(number), mode(text, number), mode(xml, number));
    d.compare("serial-bus speed", zentro::storedMode(text, ZE_SHIP_SPEED),
              zentro::storedMode(xml, ZE_SHIP_SPEED));
}

// The names of the registers marked volatile, in file order.
std::vector<std::string> volatileRegisters(const ze_sensor_t *sensor)
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < sensor->regCount; ++i) {
        if (sensor->regs[i].isVolatile)
            names.push_back(sensor->regs[i].name);
    }
    return names;
}

// A text sample and its XML twin, each read into a camera of its own.
class XmlTwin : public ::testing::Test
{
protected:
    void load(const std::string &xmlName)
    {
        xmlName_ = xmlName;
        read(textCamera_, textTwinOf(xmlName));
        read(xmlCamera_, xmlName);
    }

    void read(TestCamera &camera, const std::string &name)
    {
        LogCapture log;
        const std::string path = sample(name);
        ASSERT_EQ(ze_ParseSensorFile(camera, path.c_str(), nullptr), PARSE_SUCCESS) << path;
        EXPECT_EQ(errorLines(log), std::vector<std::string>{}) << path;
        ASSERT_NE(camera->sensor, nullptr);
        EXPECT_STREQ(camera->sensor->fileName, path.c_str());
    }

    ze_sensor_t *text() { return textCamera_->sensor; }
    ze_sensor_t *xml() { return xmlCamera_->sensor; }

    const ze_reg_t *xmlReg(const char *name)
    {
        const ze_reg_t *reg = findReg(xml(), name);
        EXPECT_NE(reg, nullptr) << name;
        return reg;
    }

    // Data type, raw range and the absence of the same in the text twin.
    void expectTyped(const char *name, const char *dataType, uint32_t rangeMin, uint32_t rangeMax)
    {
        const ze_reg_t *reg = xmlReg(name);
        ASSERT_NE(reg, nullptr);
        EXPECT_EQ(reg->dataType, ze_DataTypeFromString(dataType)) << name;
        EXPECT_EQ(reg->rangeMin, rangeMin) << name;
        EXPECT_EQ(reg->rangeMax, rangeMax) << name;
        const ze_reg_t *plain = findReg(text(), name);
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(plain->dataType, static_cast<uint32_t>(ZE_DATATYPE_UNSIGNED)) << name;
        EXPECT_EQ(plain->rangeMax, 0u) << name;
    }

    void expectOverwriteCheck(const char *name, uint32_t kind, uint32_t bitmask, uint32_t value)
    {
        const ze_reg_t *reg = xmlReg(name);
        ASSERT_NE(reg, nullptr);
        EXPECT_EQ(reg->overwriteCheck, kind) << name;
        EXPECT_EQ(reg->checkBitmask, bitmask) << name;
        EXPECT_EQ(reg->checkValue, value) << name;
    }

    // Lookup finds the register under its external name only in the XML twin.
    void expectExternalName(const char *externalName, const char *name)
    {
        const ze_reg_t *reg = ze_FindRegister(xmlCamera_, externalName);
        ASSERT_NE(reg, nullptr) << externalName;
        EXPECT_STREQ(reg->name, name);
        EXPECT_STREQ(reg->externalName, externalName);
        EXPECT_EQ(ze_FindRegister(textCamera_, externalName), nullptr) << externalName;
    }

    void expectRevision(uint32_t number)
    {
        EXPECT_EQ(xml()->revisionNumber, number);
        EXPECT_NE(std::strstr(xml()->revisionInfo, "date:2024-05-14"), nullptr)
            << xml()->revisionInfo;
        EXPECT_EQ(text()->revisionNumber, 0u);
        EXPECT_STREQ(text()->revisionInfo, "");
    }

    void expectMipiReceiver(uint32_t lanes, uint32_t bitDepth, uint32_t maxBitRate)
    {
        constexpr uint32_t kMipi = 3;
        constexpr uint32_t kNotSet = 0xFFFFFFFF;
        EXPECT_EQ(mode(xmlCamera_, ZE_RX_TYPE), kMipi);
        EXPECT_EQ(mode(xmlCamera_, ZE_RX_LANES), lanes);
        EXPECT_EQ(mode(xmlCamera_, ZE_RX_BIT_DEPTH), bitDepth);
        // Only a transport answers for the lane rate: its stored value is what it gets.
        EXPECT_EQ(zentro::storedMode(xmlCamera_, ZE_RX_MAX_BIT_RATE), maxBitRate);
        EXPECT_EQ(mode(xmlCamera_, ZE_RX_VIRTUAL_CHANNEL), 0u);
        EXPECT_EQ(mode(textCamera_, ZE_RX_TYPE), kNotSet);
    }

    std::string xmlName_;
    TestCamera textCamera_;
    TestCamera xmlCamera_;
};

TEST_F(XmlTwin, EveryXmlSampleHasATextTwinAndIsItsFuzzSeed)
{
    const std::vector<std::string> names = xmlSamples();
    EXPECT_EQ(names.size(), kSampleTwins);
    for (const std::string &name : names) {
        EXPECT_TRUE(fs::exists(sample(textTwinOf(name)))) << name << " has no text twin";
        EXPECT_EQ(readFile(kCorpusDir + "/xsdat_fuzz/" + fs::path(name).filename().string()),
                  readFile(sample(name)))
            << name << " differs from its fuzz seed";
    }
    EXPECT_EQ(readFile(kCorpusDir + "/ldat_fuzz/zx0016.ldat"), readFile(sample("zx0016.ldat")))
        << "zx0016.ldat differs from its fuzz seed";
}

TEST_F(XmlTwin, EachPairDescribesTheSameDatabase)
{
    const std::vector<std::string> names = xmlSamples();
    ASSERT_EQ(names.size(), kSampleTwins);
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        TestCamera textCamera;
        TestCamera xmlCamera;
        read(textCamera, textTwinOf(name));
        read(xmlCamera, name);
        if (HasFatalFailure())
            return;
        Differences d;
        compareSensors(d, *textCamera->sensor, *xmlCamera->sensor);
        compareIdentification(d, textCamera->context->ident, xmlCamera->context->ident);
        compareCameraSettings(d, textCamera, xmlCamera);
        for (uint32_t far : {ZE_SPACE_FAR1, ZE_SPACE_FAR2}) {
            const char *a = ze_FarID(textCamera, far);
            const char *b = ze_FarID(xmlCamera, far);
            d.compareText("far name " + std::to_string(far), a, b);
        }
        EXPECT_EQ(d.list(), std::vector<std::string>{});
    }
}

TEST_F(XmlTwin, Zx0201CarriesTypesRangesNamesFlagsAndReceiverSettings)
{
    load("zx0201.xsdat");
    if (HasFatalFailure())
        return;
    EXPECT_EQ(volatileRegisters(xml()),
              (std::vector<std::string>{"ERROR_FLAGS", "TEMP_SENSOR_DATA", "SENSOR_STATUS",
                                        "FRAME_COUNT", "FRAME_TIMESTAMP"}));
    EXPECT_EQ(volatileRegisters(text()), std::vector<std::string>{});

    // 4.8 fixed point from 1.0 to 15.5; a hexadecimal default keeps its raw value.
    expectTyped("DIGITAL_GAIN_GLOBAL", "ufixed8", 0x0100, 0x0F80);
    EXPECT_EQ(xmlReg("DIGITAL_GAIN_GLOBAL")->defaultValue, 0x0100u);
    expectTyped("X_ADDR_END", "unsigned", 0, 1919);
    expectTyped("MIPI_DATA_TYPE", "hex", 0x2A, 0x2C);
    EXPECT_EQ(xmlReg("CHIP_VERSION_REG")->dataType, static_cast<uint32_t>(ZE_DATATYPE_HEX));
    const ze_bitfield_t *coarse = findField(xmlReg("ANALOG_GAIN"), "COARSE_GAIN");
    ASSERT_NE(coarse, nullptr);
    EXPECT_EQ(coarse->rangeMin, 0u);
    EXPECT_EQ(coarse->rangeMax, 3u);

    expectExternalName("VTS", "FRAME_LENGTH_LINES");
    expectExternalName("HTS", "LINE_LENGTH_PCK");
    expectExternalName("DGAIN", "DIGITAL_GAIN_GLOBAL");

    expectOverwriteCheck("RESERVED_ANALOG_CTRL_0", ZE_OVERWRITE_CHECK_OTPM_WARN, 0x7800, 0x4800);
    expectOverwriteCheck("RESERVED_ANALOG_CTRL_1", ZE_OVERWRITE_CHECK_WARN, 0xFFFF, 0x0007);
    expectOverwriteCheck("CHIP_VERSION_REG", ZE_OVERWRITE_CHECK_NONE, 0, 0);
    EXPECT_EQ(xmlReg("RESERVED_ANALOG_CTRL_0")->confidential, 1u);
    EXPECT_EQ(xmlReg("ANALOG_GAIN")->confidential, 0u);

    expectMipiReceiver(4, 12, 594);
    expectRevision(4);
}

TEST_F(XmlTwin, Zx0042MarksPartlyConfidentialRegistersAndHardOverwriteChecks)
{
    load("zx0042.xsdat");
    if (HasFatalFailure())
        return;
    EXPECT_EQ(volatileRegisters(xml()),
              (std::vector<std::string>{"SENSOR_STATUS", "ERROR_FLAGS", "FRAME_COUNT", "GPIO_CTRL",
                                        "TEMP_SENSOR_DATA", "OTP_DATA", "OTP_STATUS"}));
    // 2.8 fixed point over a two-register value.
    expectTyped("DIGITAL_GAIN", "ufixed8", 0x0100, 0x03FF);
    EXPECT_EQ(xmlReg("DIGITAL_GAIN")->span, 2u);
    expectTyped("LINE_LENGTH_PCK", "unsigned", 1420, 0xFFFF);
    expectExternalName("EXPOSURE_LINES", "COARSE_INTEGRATION_TIME");

    // A public register with a confidential bitfield is partly confidential.
    const ze_reg_t *pll = xmlReg("PLL_CTRL");
    ASSERT_NE(pll, nullptr);
    EXPECT_EQ(pll->confidential, 2u);
    EXPECT_EQ(findField(pll, "BIT_PLL_TEST_OUT")->confidential, 1u);
    EXPECT_EQ(findField(pll, "PLL_ENABLE")->confidential, 0u);

    expectOverwriteCheck("RESERVED_ANALOG_CTRL_0", ZE_OVERWRITE_CHECK_OTPM_ERR, 0x7F, 0x35);
    expectOverwriteCheck("RESERVED_TIMING_CTRL", ZE_OVERWRITE_CHECK_ERR, 0xFFFF, 0);

    expectMipiReceiver(2, 10, 600);
    EXPECT_EQ(mode(xmlCamera_, ZE_RX_EMBEDDED_DATA), 1u);
    expectRevision(2);
}

TEST_F(XmlTwin, Zx0016SignedColourMatrixAndTheMergedFarTwin)
{
    load("zx0016.xsdat");
    if (HasFatalFailure())
        return;
    // Signed 3.8 fixed point in 11 bits: -4.0 is raw 0x400, the default stays raw.
    expectTyped("CCM_RG", "fixed8", 0x0400, 0x03FF);
    EXPECT_EQ(xmlReg("CCM_RG")->defaultValue, 0x0790u);
    expectTyped("AWB_SATURATION", "ufixed7", 0, 0xFF);
    EXPECT_EQ(xmlReg("AWB_SATURATION")->addrSpace->type, ZE_SPACE_MCU);
    // A bitfield's range is converted with its mask shifted down.
    const ze_bitfield_t *fine = findField(xmlReg("ANALOG_GAIN"), "FINE_GAIN");
    ASSERT_NE(fine, nullptr);
    EXPECT_EQ(fine->dataType, ze_DataTypeFromString("ufixed5"));
    EXPECT_EQ(fine->rangeMin, 32u);
    EXPECT_EQ(fine->rangeMax, 0x7Fu);

    expectExternalName("EXPOSURE_LINES", "COARSE_INTEGRATION_TIME");
    EXPECT_EQ(xmlReg("COARSE_INTEGRATION_TIME")->isVolatile, 1u); // auto exposure writes it
    EXPECT_EQ(xmlReg("SFR_TIMER0_COUNT")->isVolatile, 1u);
    EXPECT_EQ(xmlReg("SEQ_STATE")->isVolatile, 1u);
    EXPECT_EQ(xmlReg("SEQ_MODE")->isVolatile, 0u);
    expectOverwriteCheck("RESERVED_CORE_BIAS_0", ZE_OVERWRITE_CHECK_OTPM_WARN, 0x0F00, 0x0400);

    // The far twin's XML-only attributes survive the merge.
    const ze_reg_t *status = xmlReg("PMIC.STATUS");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->isVolatile, 1u);
    EXPECT_EQ(status->dataType, static_cast<uint32_t>(ZE_DATATYPE_HEX));
    expectOverwriteCheck("PMIC.RESERVED_TRIM_0", ZE_OVERWRITE_CHECK_OTPM_ERR, 0xFF, 0x84);
    EXPECT_EQ(xmlReg("PMIC.AVDD_VOLTAGE")->rangeMax, 40u);
    ASSERT_NE(xml()->farSensor1, nullptr);
    EXPECT_NE(std::strstr(xml()->farSensor1->fileName, "zxp310.xsdat"), nullptr);

    expectMipiReceiver(2, 8, 792);
    expectRevision(6); // the far file's own revision does not replace the sensor's
}

// zx0016.ldat serves ZX0016 whichever of its two files was read.
class Zx0016LongDescriptions : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        const std::string path = sample(GetParam());
        ASSERT_EQ(ze_ParseSensorFile(camera_, path.c_str(), nullptr), PARSE_SUCCESS) << path;
    }

    int longDescription(const char *reg, const char *field)
    {
        buffer_[0] = 'x';
        return ze_GetLongDescription(camera_, reg, field, buffer_,
                                     static_cast<int>(sizeof(buffer_)));
    }
    int confidentialNotes(const char *reg, const char *field)
    {
        buffer_[0] = 'x';
        return ze_GetConfidentialNotes(camera_, reg, field, buffer_,
                                       static_cast<int>(sizeof(buffer_)));
    }

    TestCamera camera_;
    char buffer_[512] = {};
};

TEST_P(Zx0016LongDescriptions, FileBesideTheSensorFileIsReadByDefault)
{
    LogCapture log;
    EXPECT_EQ(ze_ParseLongDescFile(camera_, nullptr), PARSE_SUCCESS);
    EXPECT_EQ(errorLines(log), std::vector<std::string>{});
    EXPECT_EQ(camera_->sensor->longDescCount, 12);
    EXPECT_EQ(camera_->sensor->confNoteCount, 4);
    ASSERT_GE(camera_->sensor->confNoteCount, 1);
    const ze_desc_note_t &first = camera_->sensor->confNotes[0];
    EXPECT_STREQ(first.regName, "REVISION_NUMBER");
    ASSERT_NE(first.bitfieldName, nullptr);
    EXPECT_STREQ(first.bitfieldName, "SILICON_REV");
}

TEST_P(Zx0016LongDescriptions, RegisterAndBitfieldTextsAreFoundOnFirstDemand)
{
    EXPECT_EQ(longDescription("CHIP_VERSION_REG", nullptr), 0);
    EXPECT_STREQ(buffer_, "Reads 0x1643 on every ZX0016 die, colour or monochrome. Sibling parts "
                          "share this value; DIE_VARIANT tells them apart.");
    EXPECT_EQ(longDescription("analog_gain", "fine_gain"), 0);
    EXPECT_STREQ(buffer_, "Digital-analog fine step in 1/32; 32 is unity.");
    EXPECT_EQ(longDescription("ANALOG_GAIN", ""), 0);
    EXPECT_TRUE(startsWith(buffer_, "Gain = 2^COARSE_GAIN x FINE_GAIN / 32.")) << buffer_;
    EXPECT_EQ(longDescription("OTP_MODULE_INFO", nullptr), 0);
    EXPECT_STREQ(buffer_, "Programmed once at module assembly: bits 3:0 the module type, bits 7:4 "
                          "the lens.\nValid only after OTP_CONTROL bit 0 was set and OTP_STATUS "
                          "bit 0 reads 1.");

    // Texts only for bitfields: the register itself has none.
    EXPECT_EQ(longDescription("MCU_ADDRESS", nullptr), 1);
    EXPECT_STREQ(buffer_, "");
    EXPECT_EQ(longDescription("MCU_ADDRESS", "MCU_BYTE_ACCESS"), 0);
    EXPECT_EQ(longDescription("MCU_ADDRESS", "MCU_DRIVER_ID"), 1);
    EXPECT_EQ(longDescription("FRAME_COUNT", nullptr), 1);
    EXPECT_EQ(longDescription("NO_SUCH_REGISTER", nullptr), 1);
    EXPECT_EQ(camera_->sensor->longDescCount, 12);
}

TEST_P(Zx0016LongDescriptions, ConfidentialNotesComeFromTheSameFile)
{
    EXPECT_EQ(confidentialNotes("RESERVED_CORE_BIAS_0", nullptr), 0);
    EXPECT_STREQ(buffer_, "Bits 11:8 come from the OTP trim; overwriting them raises dark "
                          "current by up to 40 %.");
    EXPECT_EQ(confidentialNotes("RESERVED_CORE_BIAS_0", "BITS_ADC_BIAS"), 0);
    EXPECT_TRUE(startsWith(buffer_, "Comparator bias: 4 is the production setting;")) << buffer_;
    EXPECT_EQ(confidentialNotes("REVISION_NUMBER", nullptr), 1);
    EXPECT_EQ(confidentialNotes("REVISION_NUMBER", "SILICON_REV"), 0);
    EXPECT_EQ(confidentialNotes("SEQ_CMD", nullptr), 1);

    // A short buffer gets the beginning of the text, terminated.
    char small[10];
    EXPECT_EQ(ze_GetConfidentialNotes(camera_, "OTP_MODULE_INFO", nullptr, small,
                                      static_cast<int>(sizeof(small))),
              0);
    EXPECT_STREQ(small, "Modules o");
}

INSTANTIATE_TEST_SUITE_P(BothForms, Zx0016LongDescriptions,
                         ::testing::Values("zx0016.sdat", "zx0016.xsdat"));

TEST(LongDescriptionFile, IsIgnoredForAnotherSensor)
{
    TestCamera camera;
    const std::string sensor = sample("zx0201.xsdat");
    ASSERT_EQ(ze_ParseSensorFile(camera, sensor.c_str(), nullptr), PARSE_SUCCESS);
    const std::string descriptions = sample("zx0016.ldat");
    EXPECT_EQ(ze_ParseLongDescFile(camera, descriptions.c_str()), PARSE_SUCCESS);
    EXPECT_EQ(camera->sensor->longDescCount, 0);
    EXPECT_EQ(camera->sensor->confNoteCount, 0);
    // Without a file of its own the sensor has no long descriptions.
    char buffer[64] = "x";
    EXPECT_EQ(ze_GetLongDescription(camera, "CHIP_VERSION_REG", nullptr, buffer,
                                    static_cast<int>(sizeof(buffer))),
              1);
    EXPECT_STREQ(buffer, "");
}

} // namespace
