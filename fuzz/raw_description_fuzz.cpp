// Fuzz target: the description of a raw recording, read on its own and then used to open and
// play a small recording through the library, with the recorded sensor's data file and
// register values restored when the description names them.
#include <cstdint>
#include <string>
#include <vector>

#include "scratch_directory.h"
#include "transport/raw_description.h"
#include "zentro.h"

namespace {

// A small recording: whatever the description claims, frames come from these bytes only.
constexpr size_t kRecordingBytes = 4096;
constexpr int kGrabs = 3;
constexpr size_t kRecordingKinds = 3;

// The sensor a description may name as "Filename = recorded.sdat".
constexpr char kRecordedSensor[] =
    "[CHIP_DESCRIPTOR]\n"
    "SENSORNAME = \"RECORDED\"\n"
    "WIDTH = 64\n"
    "HEIGHT = 32\n"
    "IMAGE_TYPE = BAYER\n"
    "BITS_PER_CLOCK = 10\n"
    "CLOCKS_PER_PIXEL = 1\n"
    "PIXEL_CLOCK_POLARITY = 0\n"
    "SHIP_BASE_ADDRESS = 0x20\n"
    "SHIP_SPEED = 400\n"
    "[END]\n"
    "[OPTIONAL]\n"
    "SDAT_VERSION = 2\n"
    "REG_ADDR_SIZE = 16\n"
    "REG_DATA_SIZE = 16\n"
    "[END]\n"
    "[REGISTERS]\n"
    "GAIN = {0x3000, REG, 1, 0xFFFF, RW, 0x0010, \"Gain\" \"Gain.\"}\n"
    "    {COARSE, 0x00F0, RW, \"Coarse\" \"Coarse.\"}\n"
    "MODE = {0x3002, REG, 1, 0x00FF, RW, 0x0000, \"Mode\" \"Mode.\"}\n"
    "STATUS = {0x3004, REG, 1, 0xFFFF, RO, 0x0001, \"St\" \"Status.\"}\n"
    "[END]\n";

// Uncompressed filler, a run of small JPEG images, or a coded stream with start codes: the
// description's format decides which reader sees it.
std::vector<uint8_t> recording(size_t kind)
{
    std::vector<uint8_t> bytes(kRecordingBytes, 0x5A);
    if (kind == 1) {
        static constexpr uint8_t kHeader[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x04,
                                              0x01, 0x02, 0xFF, 0xDA, 0x00, 0x02};
        // Back-to-back images of different sizes, each closed by its end marker.
        size_t at = 0;
        for (size_t size = 100; at + size <= bytes.size(); at += size, size = 100 + at % 80) {
            std::copy(std::begin(kHeader), std::end(kHeader), bytes.begin() + long(at));
            bytes[at + size - 2] = 0xFF;
            bytes[at + size - 1] = 0xD9;
        }
    } else if (kind == 2) {
        for (size_t at = 0; at + 4 <= bytes.size(); at += 300 + at % 11) {
            bytes[at] = bytes[at + 1] = bytes[at + 2] = 0;
            bytes[at + 3] = 1;
        }
    }
    return bytes;
}

void checkRecordedSensor(std::string_view text)
{
    zentro::RawRecordedSensor recorded;
    std::string error;
    const bool ok = zentro::parseRawRecordedSensor(text, recorded, error);
    if (ok != error.empty())
        __builtin_trap();
    // Every file name, value and problem comes from a line of its own words.
    if (recorded.files.size() + recorded.values.size() + recorded.problems.size() > text.size())
        __builtin_trap();
    for (const zentro::RawRecordedValue &value : recorded.values) {
        if (value.name.empty() || value.line == 0)
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    zentro::RawDescription d;
    std::string error;
    const bool ok = zentro::parseRawDescription(text, d, error);
    if (ok && (d.width > zentro::kRawMaxDimension || d.height > zentro::kRawMaxDimension ||
               d.contexts > uint32_t(zentro::kRawMaxContexts) || d.frames < 0 ||
               d.registerLines.size() > size))
        __builtin_trap();
    if (!ok && error.empty())
        __builtin_trap();
    checkRecordedSensor(text);
    if (!ok)
        return 0;

    auto &scratch = fuzz::ScratchDirectory::get("raw_description_fuzz");
    scratch.write("recorded.sdat", kRecordedSensor, sizeof(kRecordedSensor) - 1);
    const std::vector<uint8_t> bytes = recording(size % kRecordingKinds);
    const std::string raw = scratch.write("rec.raw", bytes.data(), bytes.size());
    scratch.write("rec_info.txt", data, size);
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    ze_OpenCameras2(cameras, &count, raw.c_str(), ZE_TRANSPORT_RAW, "");
    if (count == 0)
        return 0;
    ze_camera_t *camera = cameras[0];
    ze_setMode(camera, ZE_HW_FRAME_TIME, 0);
    if (ze_startTransport(camera) == CAMERA_SUCCESS) {
        // The camera's own frame size: a reader must never write past it.
        std::vector<uint8_t> frame(size_t(camera->sensor->imageBytes) + 1, 0xEE);
        for (int i = 0; i < kGrabs; ++i) {
            ze_grabFrame(camera, frame.data(), camera->sensor->imageBytes);
            if (frame.back() != 0xEE)
                __builtin_trap();
        }
        ze_stopTransport(camera);
    }
    ze_CloseCameras2(cameras, count);
    return 0;
}
