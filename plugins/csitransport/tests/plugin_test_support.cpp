// Support of the libcsitransport tests.
#include "plugin_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string_view>

namespace csi::testing {
namespace {

// The home is decided once per process by the library, so it is made once, before any test.
class HomeEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "csihome.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home_ = pattern;
        ::setenv("ZE_HOME", home_.c_str(), 1);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }

private:
    std::string home_;
};

[[maybe_unused]] ::testing::Environment *const gHome =
    ::testing::AddGlobalTestEnvironment(new HomeEnvironment);

std::mutex gLogLock;
std::vector<std::string> gLogged;

void collect(uint32_t, int, const char *message, const char *, const char *, int)
{
    std::lock_guard lock(gLogLock);
    gLogged.emplace_back(message ? message : "");
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

} // namespace

PluginCamera::PluginCamera(const std::string &sensorPath)
{
    result =
        ze_OpenCameras2(cameras, &count, sensorPath.c_str(), ZE_TRANSPORT_DLL, kPluginPath.c_str());
}

PluginCamera::~PluginCamera()
{
    if (count > 0)
        ze_CloseCameras2(cameras, count);
}

void OpenedCameraTest::SetUp()
{
    ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    camera_ = std::make_unique<PluginCamera>();
    ASSERT_EQ(camera_->count, 1);
}

LoggedErrors::LoggedErrors()
{
    {
        std::lock_guard lock(gLogLock);
        gLogged.clear();
    }
    ze_OpenErrorLogCallback(ZE_LOG_SEVERE | ZE_LOG_ERROR, collect);
}

LoggedErrors::~LoggedErrors()
{
    ze_CloseErrorLog();
}

std::vector<std::string> LoggedErrors::messages() const
{
    std::lock_guard lock(gLogLock);
    return gLogged;
}

std::string gpioLine(const boardsim::testing::SimBoard &board, unsigned offset)
{
    const std::string prefix = std::to_string(offset) + "\t";
    for (const std::string &line : lines(board.readFile("gpio.state"))) {
        if (line.rfind(prefix, 0) != 0)
            continue;
        std::istringstream fields(line.substr(prefix.size()));
        std::string level, direction;
        fields >> level >> direction;
        return level + " " + direction;
    }
    return "";
}

std::vector<std::string> clockRuns(const boardsim::testing::SimBoard &board)
{
    constexpr std::string_view kClockRun = "CLOCK ";
    std::vector<std::string> runs;
    for (const std::string &line : board.busLog())
        if (line.rfind(kClockRun, 0) == 0)
            runs.push_back(line.substr(kClockRun.size()));
    return runs;
}

} // namespace csi::testing
