// What the simulated capture node tells about itself: input, frame sizes and rate, selection
// rectangles, chip identity and access priorities.
#include "video_node_file.h"

#include <cstring>

namespace boardsim {
namespace {

constexpr uint32_t kMinDimension = 1;
constexpr const char *kInputName = "Camera";
constexpr const char *kChipName = "csi-capture";

bool isCapture(uint32_t type)
{
    return type == V4L2_BUF_TYPE_VIDEO_CAPTURE;
}

bool validPriority(uint32_t priority)
{
    return priority == V4L2_PRIORITY_BACKGROUND || priority == V4L2_PRIORITY_INTERACTIVE ||
           priority == V4L2_PRIORITY_RECORD;
}

} // namespace

int VideoNodeFile::describe(unsigned long request, void *arg) const
{
    switch (request) {
    case VIDIOC_ENUMINPUT:
        return enumerateInput(*static_cast<v4l2_input *>(arg));
    case VIDIOC_G_INPUT:
        *static_cast<int *>(arg) = 0;
        return 0;
    case VIDIOC_S_INPUT:
        return *static_cast<const int *>(arg) == 0 ? 0 : -EINVAL;
    case VIDIOC_ENUM_FRAMESIZES:
        return enumerateFrameSizes(*static_cast<v4l2_frmsizeenum *>(arg));
    case VIDIOC_ENUM_FRAMEINTERVALS:
        return enumerateFrameIntervals(*static_cast<v4l2_frmivalenum *>(arg));
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM:
        return streamParameters(*static_cast<v4l2_streamparm *>(arg));
    case VIDIOC_G_SELECTION:
    case VIDIOC_S_SELECTION:
        return selection(*static_cast<v4l2_selection *>(arg), request == VIDIOC_S_SELECTION);
    case VIDIOC_DBG_G_CHIP_INFO:
        return chipInfo(*static_cast<v4l2_dbg_chip_info *>(arg));
    case VIDIOC_G_PRIORITY: {
        uint32_t highest = V4L2_PRIORITY_UNSET;
        for (uint32_t p = V4L2_PRIORITY_BACKGROUND; p <= V4L2_PRIORITY_RECORD; ++p)
            if (node_.priorities[p] > 0)
                highest = p;
        *static_cast<uint32_t *>(arg) = highest;
        return 0;
    }
    default:
        return -ENOTTY;
    }
}

int VideoNodeFile::enumerateInput(v4l2_input &input) const
{
    if (input.index != 0)
        return -EINVAL;
    std::memset(&input, 0, sizeof input);
    std::strncpy(reinterpret_cast<char *>(input.name), kInputName, sizeof input.name - 1);
    input.type = V4L2_INPUT_TYPE_CAMERA;
    return 0;
}

// Any size from 1 × 1 to the largest the node takes, in steps of one pixel.
int VideoNodeFile::enumerateFrameSizes(v4l2_frmsizeenum &sizes) const
{
    if (sizes.index != 0 || findPixelFormat(sizes.pixel_format) == nullptr)
        return -EINVAL;
    const uint32_t format = sizes.pixel_format;
    std::memset(&sizes, 0, sizeof sizes);
    sizes.pixel_format = format;
    sizes.type = V4L2_FRMSIZE_TYPE_CONTINUOUS;
    sizes.stepwise = {kMinDimension, kMaxFrameDimension, 1, kMinDimension, kMaxFrameDimension, 1};
    return 0;
}

// The sensor streams at the board's one frame rate, whatever the size.
int VideoNodeFile::enumerateFrameIntervals(v4l2_frmivalenum &intervals) const
{
    const bool sizeOk = intervals.width >= kMinDimension && intervals.width <= kMaxFrameDimension &&
                        intervals.height >= kMinDimension && intervals.height <= kMaxFrameDimension;
    if (intervals.index != 0 || findPixelFormat(intervals.pixel_format) == nullptr || !sizeOk)
        return -EINVAL;
    const v4l2_frmivalenum asked = intervals;
    std::memset(&intervals, 0, sizeof intervals);
    intervals.pixel_format = asked.pixel_format;
    intervals.width = asked.width;
    intervals.height = asked.height;
    intervals.type = V4L2_FRMIVAL_TYPE_DISCRETE;
    intervals.discrete = {1, board_.description().frameRate};
    return 0;
}

// S_PARM cannot change the rate: it answers the one the sensor keeps, as G_PARM does.
int VideoNodeFile::streamParameters(v4l2_streamparm &parm) const
{
    if (!isCapture(parm.type))
        return -EINVAL;
    std::memset(&parm.parm, 0, sizeof parm.parm);
    parm.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
    parm.parm.capture.timeperframe = {1, board_.description().frameRate};
    parm.parm.capture.readbuffers = kReadBuffers;
    return 0;
}

// The sensor's whole frame is every crop rectangle; composing is not offered.
int VideoNodeFile::selection(v4l2_selection &sel, bool set) const
{
    if (!isCapture(sel.type))
        return -EINVAL;
    switch (sel.target) {
    case V4L2_SEL_TGT_CROP:
    case V4L2_SEL_TGT_CROP_DEFAULT:
    case V4L2_SEL_TGT_CROP_BOUNDS:
        if (set && sel.target != V4L2_SEL_TGT_CROP)
            return -EINVAL;
        break;
    default:
        return -EINVAL;
    }
    const auto &d = board_.description();
    sel.r = {0, 0, d.width, d.height};
    sel.flags = 0;
    std::memset(sel.reserved, 0, sizeof sel.reserved);
    return 0;
}

int VideoNodeFile::chipInfo(v4l2_dbg_chip_info &chip) const
{
    if (chip.match.type != V4L2_CHIP_MATCH_BRIDGE || chip.match.addr != 0)
        return -EINVAL;
    std::memset(chip.name, 0, sizeof chip.name);
    std::strncpy(chip.name, kChipName, sizeof chip.name - 1);
    chip.flags = V4L2_CHIP_FL_READABLE | V4L2_CHIP_FL_WRITABLE;
    std::memset(chip.reserved, 0, sizeof chip.reserved);
    return 0;
}

int VideoNodeFile::setPriority(uint32_t priority)
{
    if (!validPriority(priority))
        return -EINVAL;
    --node_.priorities[priority_];
    ++node_.priorities[priority];
    priority_ = priority;
    return 0;
}

bool VideoNodeFile::outranked() const
{
    for (uint32_t p = priority_ + 1; p <= V4L2_PRIORITY_RECORD; ++p)
        if (node_.priorities[p] > 0)
            return true;
    return false;
}

} // namespace boardsim
