// The default board's sensor is the sample sensor-data file's: its chip version and every
// register default answer at 7-bit address 0x10, and it counts frames in its frame counter.
#include "sim_board.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

using boardsim::testing::SimBoard;

constexpr const char *kSampleFile = BOARDSIM_DEFAULT_SENSOR_DATA;

struct Register {
    std::string name;
    uint16_t address = 0;
    uint16_t value = 0;
};

// The register lines of the sample's [REGISTERS] sections:
// NAME = {ADDR, SPACE, SPAN, MASK, ACCESS, DEFAULT, "display" "detail"}.
std::vector<Register> sampleRegisters()
{
    std::ifstream in(kSampleFile);
    std::vector<Register> out;
    bool inRegisters = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("[REGISTERS]", 0) == 0 || line.rfind("[END]", 0) == 0) {
            inRegisters = line[1] == 'R';
            continue;
        }
        const auto eq = line.find(" = {");
        if (!inRegisters || line[0] == ';' || eq == std::string::npos)
            continue;
        std::istringstream fields(line.substr(eq + 4, line.find('"') - eq - 4));
        std::vector<std::string> f;
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field);
        if (f.size() < 6)
            continue;
        out.push_back({line.substr(0, eq),
                       static_cast<uint16_t>(std::strtoul(f[0].c_str(), nullptr, 0)),
                       static_cast<uint16_t>(std::strtoul(f[5].c_str(), nullptr, 0))});
    }
    return out;
}

const Register *find(const std::vector<Register> &registers, const std::string &name)
{
    for (const auto &r : registers)
        if (r.name == name)
            return &r;
    return nullptr;
}

class SampleSensor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
        registers_ = sampleRegisters();
        ASSERT_GE(registers_.size(), 40u) << "cannot read the registers of " << kSampleFile;
    }
    void TearDown() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    // A direct 16-bit read of the sensor over the capture driver's debug-register channel.
    uint16_t sensor16(uint16_t address)
    {
        v4l2_dbg_register r{};
        r.size = 2;
        r.reg = 0x10;
        r.val = uint64_t{address} << 32;
        EXPECT_EQ(::ioctl(fd_, VIDIOC_DBG_G_REGISTER, &r), 0) << std::strerror(errno);
        return static_cast<uint16_t>(r.val);
    }

    void expectSampleDefaults()
    {
        fd_ = ::open("/dev/video0", O_RDWR);
        ASSERT_GE(fd_, 0) << std::strerror(errno);
        const Register *chip = find(registers_, "CHIP_VERSION_REG");
        ASSERT_NE(chip, nullptr);
        EXPECT_EQ(chip->address, 0x3000);
        EXPECT_EQ(chip->value, 0x0C54);
        for (const auto &r : registers_)
            EXPECT_EQ(sensor16(r.address), r.value) << r.name;
    }

    std::vector<Register> registers_;
    int fd_ = -1;
};

TEST_F(SampleSensor, FreshBoardDirectoryNamesTheSampleFile)
{
    SimBoard board;
    expectSampleDefaults();
    EXPECT_NE(
        board.readFile("board.conf").find(std::string("\nsensor_data = ") + kSampleFile + "\n"),
        std::string::npos);
}

TEST_F(SampleSensor, BoardWithoutDirectoryHasTheSampleSensor)
{
    ::unsetenv("ZE_SIM_DIR");
    expectSampleDefaults();
}

TEST_F(SampleSensor, FramesAreCountedInTheFrameCounter)
{
    SimBoard board;
    const Register *counter = find(registers_, "FRAME_COUNT");
    ASSERT_NE(counter, nullptr);
    fd_ = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(fd_, 0);
    v4l2_requestbuffers req{};
    req.count = 2;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    ASSERT_EQ(::ioctl(fd_, VIDIOC_REQBUFS, &req), 0);
    for (uint32_t i = 0; i < 2; ++i) {
        v4l2_buffer b{};
        b.index = i;
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        ASSERT_EQ(::ioctl(fd_, VIDIOC_QBUF, &b), 0) << std::strerror(errno);
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(::ioctl(fd_, VIDIOC_STREAMON, &type), 0);
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    ASSERT_EQ(::ioctl(fd_, VIDIOC_DQBUF, &b), 0);
    ASSERT_EQ(::ioctl(fd_, VIDIOC_DQBUF, &b), 0);
    EXPECT_EQ(b.sequence, 1u);
    EXPECT_GE(sensor16(counter->address), 1u); // the second frame or a later one
    ASSERT_EQ(::ioctl(fd_, VIDIOC_STREAMOFF, &type), 0);
}

} // namespace
