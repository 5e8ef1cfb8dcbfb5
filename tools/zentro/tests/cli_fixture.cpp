// The client's test fixture: a private folder per test and the program's runs.
#include "cli_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <QByteArray>
#include <QJsonDocument>

namespace clitest {

void ZentroTest::SetUp()
{
    char pattern[] = "/tmp/zentro_cli_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
}

void ZentroTest::TearDown()
{
    std::filesystem::remove_all(dir_);
}

tooltest::ToolResult ZentroTest::zentro(const std::vector<std::string> &args,
                                        const std::vector<std::string> &environment)
{
    // The program runs in the test's own folder, so relative paths stay inside it.
    std::vector<std::string> argv = {"/usr/bin/env", "-C", dir_, "-u", "ZE_BOARD"};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.push_back(ZENTRO_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    return tooltest::runTool(argv, dir_);
}

QJsonObject ZentroTest::zentroJson(const std::vector<std::string> &args, int expectedStatus)
{
    std::vector<std::string> withJson = {"--json"};
    withJson.insert(withJson.end(), args.begin(), args.end());
    const tooltest::ToolResult result = zentro(withJson);
    EXPECT_EQ(result.status, expectedStatus) << result.err;
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(result.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << result.out;
    EXPECT_TRUE(document.isObject()) << result.out;
    return document.object();
}

std::string ZentroTest::sample(const std::string &name)
{
    return std::string(SAMPLE_SENSOR_DIR) + "/" + name;
}

std::string ZentroTest::preset(const std::string &name)
{
    return std::string(SAMPLE_PRESET_DIR) + "/" + name;
}

uint32_t ZentroTest::recordedSample(uint32_t frame, uint32_t index, unsigned bits)
{
    return (frame * 131 + index * 7) & ((1u << bits) - 1);
}

std::string ZentroTest::writeRecording(const std::string &name, uint32_t width, uint32_t height,
                                       unsigned bits, uint32_t frames)
{
    const uint32_t pixelBytes = bits > 8 ? 2 : 1;
    std::string data;
    for (uint32_t f = 0; f < frames; ++f)
        for (uint32_t i = 0; i < width * height; ++i) {
            const uint32_t value = recordedSample(f, i, bits);
            data += static_cast<char>(value & 0xFF);
            if (pixelBytes == 2)
                data += static_cast<char>(value >> 8);
        }
    tooltest::writeWholeFile(path(name + ".raw"), data);
    tooltest::writeWholeFile(path(name + "_info.txt"),
                             "//\tWidth = " + std::to_string(width) +
                                 "\n//\tHeight = " + std::to_string(height) +
                                 "\n//\tImage Format = Bayer " + std::to_string(bits) +
                                 "\n//\tFrames = " + std::to_string(frames) + "\n");
    return path(name + ".raw");
}

std::string readFile(const std::string &path)
{
    return tooltest::readWholeFile(path);
}

std::vector<std::string> folderEntries(const std::string &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace clitest
