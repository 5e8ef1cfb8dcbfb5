// V4L2_Camera: the plug-in's capture device and the driver control channel on its descriptor.
#pragma once

#include "driver_protocol.h"
#include "mapped_buffer.h"
#include "unique_fd.h"

#include <linux/videodev2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class V4L2_Camera
{
public:
    static constexpr int kChannels = 2;
    static constexpr int kTableLength = 16; // built-in tables; the driver reads 15 entries

    explicit V4L2_Camera(int index);
    ~V4L2_Camera();
    V4L2_Camera(const V4L2_Camera &) = delete;
    V4L2_Camera &operator=(const V4L2_Camera &) = delete;

    static constexpr uint32_t kBufferCount = 3; // buffers asked for per channel
    static constexpr uint32_t kMinBuffers = 2;  // fewer cannot keep the driver fed

    // Node management.
    bool Create(int index);
    bool CloseDriver();
    void SetFD(int channel);
    bool SwitchDevice(int index);
    bool ResetDriver();

    // Formats, buffers and streaming of the current channel / of every channel in use.
    bool initCaps();
    bool initFormats();
    bool initMMap();
    bool FreeMMap();
    bool CleanDevice();
    bool ReInitialize();
    bool UnInitialize();
    bool StartStream();
    bool StopStream();

    // Capture cycle: wait for one frame per channel (time-out in ms, counted in whole
    // seconds), dequeue it, and give every channel's frame back.
    bool CaptureFrames(uint32_t timeoutMs);
    int ReadFrame();
    int ReleaseFrame();

    // Two-channel mode: channel 1 is the second virtual channel of the same link.
    bool InitVirtual();
    void CleanVirtual() { virtualMode = false; }
    void SetNumVirtual(int n) { numVirtual = n == 2 ? 2 : 1; }
    void SetDisVirtual(int n) { disVirtual = n >= 0 && n <= 2 ? n : 0; }
    void SetVirtualSize(const uint32_t widths[kChannels], const uint32_t heights[kChannels],
                        const uint32_t imageTypes[kChannels]);
    void SetRequestedSize(uint32_t width, uint32_t height);
    void SetStrideVal(int channel, uint32_t bytes);
    void ResetFormat() { formatReset = true; }
    void ChangeMipiCam(int index) { deviceChanged = index != deviceIndex; }

    // Control channel. Results are negative errno values on failure (-121: no acknowledge).
    int xioctl(unsigned long request, void *arg);
    void errno_exit(const char *s);
    int i2c_read16(uint8_t slave, uint16_t address);
    int i2c_write16(uint8_t slave, uint16_t address, uint16_t value);
    int i2c_read(uint8_t slave, uint32_t length, uint8_t *buffer);
    int i2c_write(uint8_t slave, uint32_t length, uint8_t *buffer);
    int i2c_read8(uint8_t slave, uint32_t length, uint8_t *buffer);
    int i2c_write8(uint8_t slave, uint32_t length, uint8_t *buffer);
    int sensor_config_prop(uint16_t property, uint32_t value);
    uint32_t sensor_read_prop(uint16_t property);
    char *get_version(qrb_kernel_version *v);
    void sensor_gpio_reset(unsigned first, unsigned second);
    int config_driver_table(uint16_t id, const reg_16 *table);
    int update_frame_format_property(uint16_t property, uint32_t value);
    int update_sensor_signal_property(uint16_t property, uint32_t value);
    int update_sensor_image_property(uint16_t property, uint32_t value);
    int sensor_set_control(uint16_t id, const reg_16 *table);
    int sensor_set_stride(uint32_t stride);
    int sensor_get_stride();

    // Sensor registers at the stored I2C address.
    int WriteSensor(uint16_t address, uint32_t value);
    int WriteSensor(uint16_t address, uint16_t value);
    int WriteSensor(uint16_t address, uint8_t value);
    int WriteSensor(uint8_t address, uint8_t value);
    int64_t ReadSensor32(uint16_t address);
    int ReadSensor16(uint16_t address);
    int ReadSensor8(uint16_t address);
    int ReadSensor8(uint8_t address);
    uint32_t ReadBurst(uint16_t address, uint32_t length, uint8_t *out);

    // Driver settings.
    uint32_t GetPixelClock();
    uint32_t GetLineLength();
    void SetI2CSpeed(uint32_t speed);
    void SetI2CAddress(uint8_t address);
    void ResetSensor(int level);
    void SetCSIFrameSize(uint32_t width, uint32_t height);
    void SetLineLength(uint32_t value);
    void SetPixelClock(uint32_t value);
    void SetImageType(uint32_t code);
    void DriverOff();
    void DriverOn();
    void RestartDriver();
    void sensor_configuration();

    // State the plug-in reads.
    int Descriptor() const { return fd; }
    bool IsOpened() const { return opened; }
    bool IsStreaming() const { return streaming; }
    bool NeedsReinit() const { return needsReinit; }
    bool DeviceChanged() const { return deviceChanged; }
    bool VirtualMode() const { return virtualMode; }
    bool FormatReset() const { return formatReset; }
    int NumVirtual() const { return numVirtual; }
    int DisVirtual() const { return disVirtual; }
    int DeviceIndex() const { return deviceIndex; }
    int PreviousDeviceIndex() const { return previousDeviceIndex; }
    uint32_t RequestedWidth() const { return requestedWidth; }
    uint32_t RequestedHeight() const { return requestedHeight; }
    uint32_t ActiveWidth() const { return activeWidth; }
    uint32_t ActiveHeight() const { return activeHeight; }
    uint32_t Stride(int c) const { return stride[c]; }
    uint32_t VirtualFormat(int c) const { return virtualFormat[c]; }
    // The last dequeued frame of channel @c (mapped driver memory) and its byte count.
    const uint8_t *LastFrame(int c) const { return lastFrame[c]; }
    uint64_t BytesUsed(int c) const { return bytesUsed[c]; }
    const v4l2_buffer &LastBuffer(int c) const { return lastBuffer[c]; }
    size_t BufferCount(int c) const { return buffers[c].size(); }
    uint8_t I2CAddress() const { return i2cAddress; }
    uint32_t I2CSpeed() const { return i2cSpeed; }
    int BytesPerPixel() const { return bytesPerPixel; }
    uint32_t PixelFormat() const { return pixelFormat; }
    uint32_t LineLength() const { return lineLength; }
    uint32_t PixelClock() const { return pixelClock; }
    const qrb_kernel_version &Version() const { return *version; }
    const std::string &DevicePath() const { return devicePath; }

private:
    int transfer(unsigned long request, const char *name, uint8_t slave, uint32_t addressBytes,
                 uint32_t length, uint8_t *buffer);
    int writeGroupProperty(uint16_t group, uint16_t property, uint32_t value);
    bool initChannel(uint32_t width, uint32_t height, uint32_t format);
    bool queueAll();
    bool waitForFrame(uint32_t timeoutMs);
    void dropBuffers(int channel);
    int setExtendedControl(uint32_t id, int32_t value, const char *name, unsigned long request,
                           int32_t *result);

    int fd = -1; // the current channel's descriptor
    int numVirtual = 1;
    int bytesPerPixel = 2;
    int deviceIndex;
    int previousDeviceIndex;
    int channel = 0;
    bool opened = false;
    bool streaming = false;
    bool needsReinit = false;
    bool deviceChanged = false;
    bool virtualMode = false;
    bool formatReset = false;
    uint8_t i2cAddress = 0x10;
    uint32_t i2cSpeed = 400000;
    uint32_t requestedWidth = 0, requestedHeight = 0;
    uint32_t activeWidth = 0, activeHeight = 0;
    uint32_t pixelFormat;
    uint32_t lineLength = 0, pixelClock = 0;
    uint32_t stride[kChannels] = {};
    uint64_t bytesUsed[kChannels] = {};
    uint32_t virtualFormat[kChannels] = {};
    uint32_t virtualWidth[kChannels] = {};
    uint32_t virtualHeight[kChannels] = {};
    UniqueFd fds[kChannels];
    const uint8_t *lastFrame[kChannels] = {};
    std::vector<MappedBuffer> buffers[kChannels];
    // One record per channel, so that each channel gives back its own dequeued buffer.
    v4l2_buffer lastBuffer[kChannels] = {};
    bool requeued[kChannels] = {true, true};
    int disVirtual = 0;
    std::unique_ptr<qrb_kernel_version> version;
    std::string devicePath = "/dev/video0";
};
