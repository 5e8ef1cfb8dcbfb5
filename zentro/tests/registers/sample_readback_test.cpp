// A null camera on each sample sensor reads back every register's default, and whatever
// was written, by name, by address and by bitfield.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "camera/camera_test_support.h"
#include "registers/access.h"
#include "zentro.h"

namespace zentro::test {
namespace {

namespace fs = std::filesystem;

const std::string kSampleDir = ZENTRO_SAMPLE_SENSOR_DIR;

std::vector<std::string> sampleSensorNames()
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(kSampleDir)) {
        if (entry.path().extension() == ".sdat")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

uint32_t spaceTypeOf(const ze_reg_t &reg)
{
    return reg.addrSpace ? reg.addrSpace->type : ZE_SPACE_REG;
}

bool isWritable(ze_access_t access)
{
    return access == ZE_ACCESS_RW || access == ZE_ACCESS_WO;
}

// A data port of an MCU window reads the variable its address register points at, not a
// value of its own; the access tests cover it.
bool isDataPort(const ze_reg_t &reg)
{
    return strncmp(reg.name, "MCU_DATA_0", strlen("MCU_DATA_0")) == 0 ||
           strncmp(reg.name, "MCU_VARIABLE_DATA0", strlen("MCU_VARIABLE_DATA0")) == 0;
}

uint32_t fieldOf(uint32_t value, uint32_t mask)
{
    return (value & mask) >> __builtin_ctz(mask);
}

uint32_t withField(uint32_t value, uint32_t mask, uint32_t field)
{
    return (value & ~mask) | ((field << __builtin_ctz(mask)) & mask);
}

std::string describe(const ze_reg_t &reg, const char *how, int result, uint32_t value,
                     uint32_t expected)
{
    char figures[96];
    snprintf(figures, sizeof(figures), ": result %d, value 0x%X, expected 0x%X", result, value,
             expected);
    return std::string(reg.name) + " " + how + figures;
}

class SampleReadback : public ::testing::TestWithParam<std::string>
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(cameras.result, 0) << GetParam();
        ASSERT_EQ(cameras.cameras.size(), 1u);
        camera = cameras[0];
        ASSERT_EQ(ze_startTransport(camera), CAMERA_SUCCESS);
        sensor = camera->sensor;
        ASSERT_GT(sensor->regCount, 0);
    }

    // The registers the checks cover, in file order.
    std::vector<ze_reg_t *> registers() const
    {
        std::vector<ze_reg_t *> regs;
        for (int32_t i = 0; i < sensor->regCount; ++i) {
            if (!isDataPort(sensor->regs[i]))
                regs.push_back(&sensor->regs[i]);
        }
        return regs;
    }

    // The register an access by @reg's address reaches: the first one there.
    ze_reg_t *atAddressOf(const ze_reg_t &reg) const
    {
        return ze_FindRegisterAddr(camera, reg.addr, reg.addrSpaceId, spaceTypeOf(reg));
    }

    void expectByName(const ze_reg_t &reg, uint32_t expected, std::vector<std::string> &wrong)
    {
        uint32_t value = ~expected;
        const int result = ze_ReadSensorRegStr(camera, reg.name, "", &value);
        if (result != CAMERA_SUCCESS || value != expected)
            wrong.push_back(describe(reg, "by name", result, value, expected));
    }

    void expectByAddress(const ze_reg_t &reg, uint32_t expected, std::vector<std::string> &wrong)
    {
        uint32_t value = ~expected;
        const int result =
            ze_ReadSensorRegAddr(camera, spaceTypeOf(reg), reg.addrSpaceId, reg.addr, 0, &value);
        if (result != CAMERA_SUCCESS || value != expected)
            wrong.push_back(describe(reg, "by address", result, value, expected));
    }

    void expectFields(const ze_reg_t &reg, uint32_t whole, std::vector<std::string> &wrong)
    {
        for (int32_t f = 0; f < reg.bitfieldCount; ++f) {
            const ze_bitfield_t &field = reg.bitfields[f];
            if (field.mask == 0)
                continue;
            const uint32_t expected = fieldOf(whole, field.mask);
            uint32_t value = ~expected;
            const int result = ze_ReadSensorRegStr(camera, reg.name, field.name, &value);
            if (result != CAMERA_SUCCESS || value != expected)
                wrong.push_back(describe(reg, field.name, result, value, expected));
        }
    }

    void write(const ze_reg_t &reg, const char *field, uint32_t value,
               std::vector<std::string> &wrong)
    {
        const int result = ze_WriteSensorRegStr(camera, reg.name, field, value);
        if (result != CAMERA_SUCCESS)
            wrong.push_back(describe(reg, "write", result, value, value));
    }

    NullCameras cameras{kSampleDir + "/" + GetParam() + ".sdat"};
    ze_camera_t *camera = nullptr;
    ze_sensor_t *sensor = nullptr;
};

TEST_P(SampleReadback, DefaultsReadBackByNameAddressAndBitfield)
{
    std::vector<std::string> wrong;
    for (const ze_reg_t *reg : registers()) {
        expectByName(*reg, reg->defaultValue, wrong);
        expectFields(*reg, reg->defaultValue, wrong);
        const ze_reg_t *first = atAddressOf(*reg);
        if (!first)
            wrong.push_back(std::string(reg->name) + " is not found by its address");
        else if (!isDataPort(*first))
            expectByAddress(*reg, first->defaultValue, wrong);
    }
    EXPECT_EQ(wrong, std::vector<std::string>{});
}

// Every writable register gets the complement of its default (within its mask); the
// others keep their defaults, so that no write lands on another register.
TEST_P(SampleReadback, WritesByNameReachOnlyTheirRegister)
{
    std::vector<std::string> wrong;
    const std::vector<ze_reg_t *> regs = registers();
    for (const ze_reg_t *reg : regs) {
        if (isWritable(reg->access))
            write(*reg, "", ~reg->defaultValue & reg->mask, wrong);
    }
    for (const ze_reg_t *reg : regs) {
        const uint32_t expected =
            isWritable(reg->access) ? ~reg->defaultValue & reg->mask : reg->defaultValue;
        expectByName(*reg, expected, wrong);
    }
    EXPECT_EQ(wrong, std::vector<std::string>{});
}

TEST_P(SampleReadback, WritesByAddressReadBackByAddressAndName)
{
    std::vector<std::string> wrong;
    for (const ze_reg_t *reg : registers()) {
        if (!isWritable(reg->access) || atAddressOf(*reg) != reg)
            continue;
        const uint32_t value = (reg->defaultValue ^ 0x5A5A5A5A) & reg->mask;
        const int result =
            ze_WriteSensorRegAddr(camera, spaceTypeOf(*reg), reg->addrSpaceId, reg->addr, 0, value);
        if (result != CAMERA_SUCCESS)
            wrong.push_back(describe(*reg, "write by address", result, value, value));
        expectByAddress(*reg, value, wrong);
        expectByName(*reg, value, wrong);
    }
    EXPECT_EQ(wrong, std::vector<std::string>{});
}

// Each writable bitfield in turn is flipped: only its bits change.
TEST_P(SampleReadback, BitfieldWritesChangeOnlyTheirBits)
{
    std::vector<std::string> wrong;
    size_t fields = 0;
    for (const ze_reg_t *reg : registers()) {
        if (!isWritable(reg->access))
            continue;
        uint32_t whole = reg->defaultValue;
        for (int32_t f = 0; f < reg->bitfieldCount; ++f) {
            const ze_bitfield_t &field = reg->bitfields[f];
            if (field.mask == 0 || !isWritable(field.access))
                continue;
            ++fields;
            const uint32_t flipped = fieldOf(~whole, field.mask);
            write(*reg, field.name, flipped, wrong);
            whole = withField(whole, field.mask, flipped);
            expectByName(*reg, whole, wrong);
            expectFields(*reg, whole, wrong);
        }
    }
    EXPECT_GT(fields, 0u);
    EXPECT_EQ(wrong, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleReadback, ::testing::ValuesIn(sampleSensorNames()),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                             return info.param;
                         });

} // namespace
} // namespace zentro::test
