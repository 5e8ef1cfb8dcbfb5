// PROM records on the fake bus: identification texts, calibration records, the scratch-pad
// image copied by DMA, LOAD_PROM and the head-board id that identification reads.
#include <string>
#include <vector>

#include "presets/preset_test_support.h"

namespace zentro::test {
namespace {

constexpr uint32_t kProm = 0xA8;

// A PROM image built record by record.
class PromImage
{
public:
    PromImage() : bytes_{'Z', 'E', 'E', 'E', 0} {}

    PromImage &record(uint8_t type, const std::vector<uint8_t> &payload)
    {
        bytes_.push_back(type);
        bytes_.push_back(uint8_t(payload.size() >> 8));
        bytes_.push_back(uint8_t(payload.size()));
        bytes_.insert(bytes_.end(), payload.begin(), payload.end());
        return *this;
    }
    PromImage &text(uint8_t type, const std::string &text)
    {
        return record(type, std::vector<uint8_t>(text.begin(), text.end()));
    }
    PromImage &end() { return record(255, {}); }
    void writeTo(FakeDevice &device) const
    {
        for (size_t i = 0; i < bytes_.size(); ++i)
            device.set(uint32_t(i), bytes_[i]);
    }
    std::vector<uint8_t> &bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// A calibration payload: the 9-byte name, then sub-records.
std::vector<uint8_t> calibration(const std::string &name,
                                 const std::vector<std::pair<uint8_t, std::vector<uint8_t>>> &subs)
{
    std::vector<uint8_t> payload(9, 0);
    std::copy(name.begin(), name.end(), payload.begin());
    for (const auto &[type, data] : subs) {
        payload.push_back(type);
        payload.push_back(uint8_t(data.size() >> 8));
        payload.push_back(uint8_t(data.size()));
        payload.insert(payload.end(), data.begin(), data.end());
    }
    return payload;
}

class PromTest : public BusPresetTest
{
protected:
    FakeDevice &prom() { return bus.device(kProm); }
    void SetUp() override
    {
        BusPresetTest::SetUp();
        bus.addDevice(kProm, 16, 8);
    }
};

TEST_F(PromTest, TextRecordsAreFoundByType)
{
    PromImage()
        .text(10, "ZX0016")
        .text(11, "HB-0042")
        .text(15, "M12 wide")
        .text(16, "2026-12-01")
        .end()
        .writeTo(prom());
    char text[ZE_TEXT_SIZE] = "junk";
    EXPECT_EQ(ze_getPromHeadboardId(camera, kProm, text), 0);
    EXPECT_STREQ(text, "HB-0042");
    EXPECT_EQ(ze_getPromSensorId(camera, kProm, text), 0);
    EXPECT_STREQ(text, "ZX0016");
    EXPECT_EQ(ze_getPromLensType(camera, kProm, text), 0);
    EXPECT_STREQ(text, "M12 wide");
    EXPECT_EQ(ze_getPromTimeStamp(camera, kProm, text), 0);
    EXPECT_STREQ(text, "2026-12-01");
    // The reads use 16-bit PROM addresses and bytes.
    const std::vector<Transfer> reads = bus.transfers(TransferKind::ReadMany);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads[0].addrSize, 16u);
    EXPECT_EQ(reads[0].dataSize, 8u);
}

TEST_F(PromTest, MissingMagicEndOfListAndAbsentPromsFindNothing)
{
    char text[ZE_TEXT_SIZE] = "junk";
    EXPECT_EQ(ze_getPromHeadboardId(camera, kProm, text), 1); // all zeros: no magic
    EXPECT_STREQ(text, "");
    PromImage().end().text(11, "HB-1").writeTo(prom());
    EXPECT_EQ(ze_getPromHeadboardId(camera, kProm, text), 1);
    EXPECT_EQ(ze_LoadPromLensCalibration(camera, kProm, nullptr), INI_LOAD_ERROR);
    EXPECT_EQ(ze_LoadPromColorCorrection(camera, kProm, "X"), INI_LOAD_ERROR);
    EXPECT_EQ(ze_LoadPromScratchpad(camera, kProm, nullptr, 0), INI_LOAD_ERROR);
    EXPECT_EQ(ze_getPromSensorId(camera, 0xAC, text), 1); // no device there
    EXPECT_EQ(ze_getPromSensorId(nullptr, kProm, text), 1);
}

TEST_F(PromTest, OverlongTextIsCutToTheCallersBuffer)
{
    PromImage().text(11, std::string(600, 'h')).end().writeTo(prom());
    char text[ZE_TEXT_SIZE + 8];
    memset(text, '#', sizeof(text));
    EXPECT_EQ(ze_getPromHeadboardId(camera, kProm, text), 0);
    EXPECT_EQ(strlen(text), size_t(ZE_TEXT_SIZE - 1));
    EXPECT_EQ(text[ZE_TEXT_SIZE], '#');
}

TEST_F(PromTest, LensCalibrationWritesWholeEntriesOfItsSubRecords)
{
    // Type-3 entries on an 8-bit-address sensor: page, address, value; 10 bytes hold two.
    PromImage()
        .record(8, calibration("other", {{3, {0, 0x30, 0x00, 0x66}}}))
        .record(8,
                calibration("Lens1", {{3, {1, 0x04, 0x12, 0x34, 0, 0x30, 0x00, 0x07, 0xEE, 0xEE}},
                                      {9, {1, 2, 3}}}))
        .end()
        .writeTo(prom());
    EXPECT_EQ(ze_LoadPromLensCalibration(camera, kProm, "LENS1"), INI_SUCCESS);
    EXPECT_EQ(sensor->get(0x04, 1), 0x1234u);
    EXPECT_EQ(sensor->get(0x30, 0), 0x0007u);
    EXPECT_EQ(ze_LoadPromLensCalibration(camera, kProm, nullptr), INI_SUCCESS); // the first one
    EXPECT_EQ(sensor->get(0x30, 0), 0x0066u);
    EXPECT_EQ(ze_LoadPromLensCalibration(camera, kProm, "nope"), INI_LOAD_ERROR);
}

TEST_F(PromTest, ColourCorrectionAppliesGenericMaskedWrites)
{
    sensor->set(0x30, 0xF00F);
    run("[Test]\nREG = 0, 0x30, 0xF00F\n");
    // space 0, page 0, address 0x30, 2 bytes, mask 0x0F00, value 5
    PromImage()
        .record(12,
                calibration("ccm",
                            {{2, {0, 0, 0, 0, 0, 0, 0, 0, 0x30, 2, 0, 0, 0x0F, 0x00, 0, 0, 0, 5}}}))
        .record(12, calibration("short", {}))
        .end()
        .writeTo(prom());
    EXPECT_EQ(ze_LoadPromColorCorrection(camera, kProm, "CCM"), INI_SUCCESS);
    EXPECT_EQ(sensor->get(0x30, 0), 0xF50Fu);
    EXPECT_EQ(ze_LoadPromColorCorrection(camera, kProm, "short"), INI_SUCCESS);
}

TEST_F(PromTest, LoadPromRunsTheElseSectionWhenTheRecordIsMissing)
{
    PromImage().record(8, calibration("pga", {{3, {0, 0x30, 0x00, 0x21}}})).end().writeTo(prom());
    const std::string sections = "[Fallback]\nREG = 0, 0x04, 0x0055\n";
    run("[Test]\nLOAD_PROM = 0xA8, PGA, ELSELOAD=Fallback\n" + sections);
    EXPECT_EQ(sensor->get(0x30, 0), 0x21u);
    EXPECT_EQ(sensor->get(0x04, 0), 0x0010u);
    run("[Test]\nLOAD_PROM = 0xA8, ccm, any, ELSELOAD=Fallback\n" + sections);
    EXPECT_EQ(sensor->get(0x04, 0), 0x0055u);
    run("[Test]\nLOAD_PROM = 0xA8\nLOAD_PROM = 0xQ8, PGA\nLOAD_PROM = 0xA8, LSC\n");
    EXPECT_TRUE(log.contains("Error parsing LOAD_PROM command"));
    EXPECT_TRUE(log.contains("Invalid value in LOAD_PROM Command"));
    EXPECT_TRUE(log.contains("Unknown load type (second parameter) in LOAD_PROM Command"));
}

TEST_F(PromTest, IdentificationFillsTheSerialNumberFromTheHeadBoard)
{
    PromImage().text(11, "HB-7").end().writeTo(prom());
    camera->sensor->serialNumber[0] = '\0';
    ASSERT_EQ(ze_DetectPartNumber(camera), CAMERA_SUCCESS);
    EXPECT_STREQ(camera->sensor->serialNumber, "HB-7");
}

// A 16-bit sensor with the processor window register and the DMA engine.
const char *const kDmaSensor = R"([CHIP_DESCRIPTOR]
SENSORNAME = "ZX0201"
WIDTH = 64
HEIGHT = 32
IMAGE_TYPE = BAYER
BITS_PER_CLOCK = 10
CLOCKS_PER_PIXEL = 1
SHIP_BASE_ADDRESS = 0x20
[END]
[OPTIONAL]
SDAT_VERSION = 2
REG_ADDR_SIZE = 16
REG_DATA_SIZE = 16
[END]
[REGISTERS]
PROC_WINDOW = {0xF02C, REG, 1, 0xFFFF, RW, 0xA100, "Window" ""}
DMA_SRC = {0x0050, REG, 1, 0xFFFF, RW, 0x0000, "Source" ""}
DMA_DST = {0x0054, REG, 1, 0xFFFF, RW, 0x0000, "Destination" ""}
DMA_SIZE = {0x0058, REG, 1, 0xFFFF, RW, 0x0000, "Size" ""}
DMA_CTRL = {0x005A, REG, 1, 0xFFFF, RW, 0x0000, "Control" ""}
[END]
)";

class ScratchpadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(loadSensorText(camera, dir, kDmaSensor), PARSE_SUCCESS);
        bus.install(camera);
        sensor = &bus.addSensorDevice(camera);
        bus.addDevice(kProm, 16, 8);
    }
    // Writes a scratch-pad record for @base with an image of @size bytes.
    void scratchpad(uint32_t base, uint32_t size)
    {
        std::vector<uint8_t> payload(9, 0);
        payload[0] = 'f';
        for (int shift = 24; shift >= 0; shift -= 8)
            payload.push_back(uint8_t(base >> shift));
        payload.resize(payload.size() + size, 0x5A);
        PromImage().record(17, payload).end().writeTo(bus.device(kProm));
    }
    std::vector<uint32_t> written(uint32_t addr)
    {
        std::vector<uint32_t> values;
        for (const Transfer &transfer : bus.transfers()) {
            if (!transfer.isRead() && transfer.where == 0x20 && transfer.addr == addr)
                values.insert(values.end(), transfer.values.begin(), transfer.values.end());
        }
        return values;
    }

    TempDir dir;
    TestCamera camera;
    FakeBus bus;
    FakeDevice *sensor = nullptr;
};

TEST_F(ScratchpadTest, AnImageOf5000BytesIsCopiedInTwoChunks)
{
    scratchpad(0x40, 5000);
    sensor->script(0x5A, {0x0001, 0x0000, 0x0000});
    EXPECT_EQ(ze_LoadPromScratchpad(camera, kProm, "F", 0x40), INI_SUCCESS);
    EXPECT_EQ(written(0x58), (std::vector<uint32_t>{4096, 904}));
    EXPECT_EQ(written(0x5A), (std::vector<uint32_t>{0x2132, 0x2132}));
    // Destinations from the window register (0xA100 - 0xA000 + base), advanced per chunk.
    EXPECT_EQ(written(0x54), (std::vector<uint32_t>{0x140, 0x1140}));
    // The source: PROM address, the PROM flag and the image's offset (record at 5, + 16).
    EXPECT_EQ(written(0x50), (std::vector<uint32_t>{0x3A80015, 0x3A80015 + 4096}));
}

TEST_F(ScratchpadTest, AnEmptyImageSucceedsWithoutDmaAndAWrongBaseIsRefused)
{
    scratchpad(0x40, 0);
    EXPECT_EQ(ze_LoadPromScratchpad(camera, kProm, nullptr, 0x40), INI_SUCCESS);
    EXPECT_TRUE(written(0x5A).empty());
    EXPECT_EQ(ze_LoadPromScratchpad(camera, kProm, nullptr, 0x41), INI_LOAD_ERROR);
}

TEST_F(ScratchpadTest, ADmaThatNeverFinishesTimesOut)
{
    scratchpad(0, 16);
    ScopedPresetLimits limits({.maxWaitMs = 0});
    EXPECT_EQ(ze_LoadPromScratchpad(camera, kProm, nullptr, 0), CAMERA_TIMEOUT);
}

} // namespace
} // namespace zentro::test
