// The default board's sensor is the sample sensor-data file's: its chip version and every
// register default answer at 7-bit address 0x10, and it counts frames in its frame counter.
#include "sim_board.h"

#include "sensor_channel.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

using boardsim::testing::SensorChannel;
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

// Streams into two buffers until both hold a frame, then stops; the second frame's sequence.
uint32_t captureTwoFrames(int fd)
{
    v4l2_requestbuffers req{};
    req.count = 2;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    EXPECT_EQ(::ioctl(fd, VIDIOC_REQBUFS, &req), 0) << std::strerror(errno);
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    for (b.index = 0; b.index < 2; ++b.index)
        EXPECT_EQ(::ioctl(fd, VIDIOC_QBUF, &b), 0) << std::strerror(errno);
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    EXPECT_EQ(::ioctl(fd, VIDIOC_STREAMON, &type), 0) << std::strerror(errno);
    for (int i = 0; i < 2; ++i) {
        pollfd p{fd, POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 5000), 1);
        EXPECT_EQ(::ioctl(fd, VIDIOC_DQBUF, &b), 0) << std::strerror(errno);
    }
    EXPECT_EQ(::ioctl(fd, VIDIOC_STREAMOFF, &type), 0) << std::strerror(errno);
    return b.sequence;
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
    EXPECT_EQ(captureTwoFrames(fd_), 1u);
    EXPECT_GE(sensor16(counter->address), 1u); // the second frame or a later one
}

// Every sample sensor of the source tree on a board of its own, at its serial address.
struct Sample {
    const char *file;
    uint8_t address;
};

std::ostream &operator<<(std::ostream &out, const Sample &s)
{
    return out << s.file;
}

std::string sampleDirectory()
{
    const std::string path = kSampleFile;
    return path.substr(0, path.rfind('/') + 1);
}

// What the file says about a register, read here independently of the simulator.
struct FileRegister {
    std::string name;
    uint32_t address = 0;
    uint32_t page = 0;
    unsigned bytes = 0;
    uint32_t value = 0;
};

struct FileSensor {
    unsigned addressBytes = 2;
    unsigned dataBytes = 2;
    std::optional<uint16_t> pageSelect;
    std::vector<FileRegister> registers;
};

std::vector<std::string> fieldsOf(const std::string &line)
{
    const auto open = line.find('{');
    std::istringstream in(line.substr(open + 1, line.find_first_of("\"}", open) - open - 1));
    std::vector<std::string> out;
    for (std::string f; std::getline(in, f, ',');)
        if (const auto first = f.find_first_not_of(' '); first != std::string::npos)
            out.push_back(f.substr(first));
    return out;
}

uint32_t numberOf(const std::string &text)
{
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 0));
}

FileSensor readSample(const std::string &file)
{
    std::ifstream in(sampleDirectory() + file);
    FileSensor out;
    std::map<std::string, std::optional<uint32_t>> pages; // space -> page (none: not registers)
    std::string section;
    for (std::string line; std::getline(in, line);) {
        if (line[0] == '[') {
            section = line;
            continue;
        }
        const auto eq = line.find(" = ");
        if (line[0] == ';' || line[0] == ' ' || eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 3);
        if (key == "REG_ADDR_SIZE")
            out.addressBytes = numberOf(value) / 8;
        if (key == "REG_DATA_SIZE")
            out.dataBytes = numberOf(value) / 8;
        if (section == "[ADDR_SPACE]") {
            const auto f = fieldsOf(line);
            const bool numbered = std::isdigit(static_cast<unsigned char>(f[0][0]));
            pages[key] = numbered        ? std::optional(numberOf(f[0]))
                         : f[0] == "REG" ? std::optional(numberOf(f[1]))
                                         : std::nullopt;
        }
        if (section != "[REGISTERS]")
            continue;
        const auto f = fieldsOf(line); // ADDR, SPACE, SPAN, MASK, ACCESS, DEFAULT
        const auto page = pages.count(f[1]) ? pages[f[1]] : std::optional<uint32_t>(0);
        if (!page)
            continue;
        out.registers.push_back(
            {key, numberOf(f[0]), *page, numberOf(f[2]) * out.dataBytes, numberOf(f[5])});
        if (key == "ADDR_SPACE_SEL")
            out.pageSelect = static_cast<uint16_t>(numberOf(f[0]));
    }
    return out;
}

uint32_t bigEndian(const std::vector<uint8_t> &bytes)
{
    uint32_t v = 0;
    for (uint8_t b : bytes)
        v = v << 8 | b;
    return v;
}

class EverySample : public ::testing::TestWithParam<Sample>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
        // An XML twin holds the registers of its text file (checked by the twins' own test).
        std::string text = GetParam().file;
        if (text.ends_with(".xsdat"))
            text.erase(text.size() - 5, 1); // the "x"
        sensor_ = readSample(text);
        ASSERT_GE(sensor_.registers.size(), 20u) << "cannot read " << GetParam().file;
        char conf[64];
        std::snprintf(conf, sizeof conf, "sensor_address = 0x%02X\n", GetParam().address);
        board_ = std::make_unique<SimBoard>("sensor_data = " + sampleDirectory() + GetParam().file +
                                            "\n" + conf);
        channel_ = std::make_unique<SensorChannel>();
        ASSERT_TRUE(channel_->valid()) << std::strerror(errno);
    }

    const FileRegister &reg(const std::string &name) const
    {
        for (const auto &r : sensor_.registers)
            if (r.name == name)
                return r;
        throw std::runtime_error(name + " missing");
    }
    // Selects a page as the library's space switch does (a 16-bit write of the select register).
    void selectPage(uint32_t page) const
    {
        if (sensor_.pageSelect) {
            ASSERT_EQ(channel_->write16(slave(), *sensor_.pageSelect, static_cast<uint16_t>(page)),
                      0);
        }
    }
    uint32_t readWhole(const FileRegister &r) const
    {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(channel_->readBytes(slave(), sensor_.addressBytes,
                                      static_cast<uint16_t>(r.address), r.bytes, bytes),
                  0);
        return bigEndian(bytes);
    }
    uint8_t slave() const { return GetParam().address; }

    FileSensor sensor_;
    std::unique_ptr<SimBoard> board_;
    std::unique_ptr<SensorChannel> channel_;
};

TEST_P(EverySample, AnswersItsChipVersionWithTheDirectAccessOfIdentification)
{
    const FileRegister &chip = reg("CHIP_VERSION_REG");
    selectPage(chip.page);
    uint16_t version = 0;
    ASSERT_EQ(channel_->read16(slave(), static_cast<uint16_t>(chip.address), version), 0);
    EXPECT_EQ(version, chip.value);
    // Nothing else answers on the bus.
    EXPECT_EQ(channel_->read16(slave() ^ 0x01, static_cast<uint16_t>(chip.address), version),
              -EREMOTEIO);
}

TEST_P(EverySample, EveryRegisterReadsItsDefaultInItsPage)
{
    for (const auto &r : sensor_.registers) {
        selectPage(r.page);
        if (r.name != "ADDR_SPACE_SEL") {
            EXPECT_EQ(readWhole(r), r.value) << r.name;
        }
    }
}

TEST_P(EverySample, ReadOnlyChipVersionIgnoresWrites)
{
    const FileRegister &chip = reg("CHIP_VERSION_REG");
    selectPage(chip.page);
    ASSERT_EQ(channel_->writeBytes(slave(), sensor_.addressBytes,
                                   static_cast<uint16_t>(chip.address),
                                   std::vector<uint8_t>(chip.bytes, 0x5A)),
              0);
    EXPECT_EQ(readWhole(chip), chip.value);
}

TEST_P(EverySample, FrameCounterWithoutADescriptionLineIsTheSensorsFrameCount)
{
    const FileRegister &counter = reg("FRAME_COUNT");
    EXPECT_GE(captureTwoFrames(channel_->fd()), 1u);
    selectPage(counter.page);
    const uint32_t frames = readWhole(counter);
    EXPECT_GE(frames, 1u);       // the second frame or a later one
    EXPECT_LT(frames, 0x10000u); // the count sits in the counter's low bytes
}

INSTANTIATE_TEST_SUITE_P(Samples, EverySample,
                         ::testing::Values(Sample{"zx0201.sdat", 0x10}, Sample{"zx0042.sdat", 0x36},
                                           Sample{"zx0016.sdat", 0x48},
                                           Sample{"zx0201.xsdat", 0x10},
                                           Sample{"zx0042.xsdat", 0x36},
                                           Sample{"zx0016.xsdat", 0x5D}));

} // namespace
