// Fuzz target: the description of a raw recording, read on its own and then used to open and
// play a small recording through the library.
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
    if (!ok)
        return 0;

    auto &scratch = fuzz::ScratchDirectory::get("raw_description_fuzz");
    static const std::vector<uint8_t> recording(kRecordingBytes, 0x5A);
    const std::string raw = scratch.write("rec.raw", recording.data(), recording.size());
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
