// V4L2_Camera: the plug-in's capture device and the driver control channel on its descriptor.
#pragma once

#include "driver_protocol.h"
#include "unique_fd.h"

#include <cstdint>
#include <memory>
#include <string>

class V4L2_Camera
{
public:
    static constexpr int kChannels = 2;
    static constexpr int kTableLength = 16; // built-in tables; the driver reads 15 entries

    explicit V4L2_Camera(int index);
    ~V4L2_Camera();
    V4L2_Camera(const V4L2_Camera &) = delete;
    V4L2_Camera &operator=(const V4L2_Camera &) = delete;

    // Node management.
    bool Create(int index);
    bool CloseDriver();
    void SetFD(int channel);

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
    bool NeedsReinit() const { return needsReinit; }
    uint8_t I2CAddress() const { return i2cAddress; }
    uint32_t I2CSpeed() const { return i2cSpeed; }
    int BytesPerPixel() const { return bytesPerPixel; }
    uint32_t PixelFormat() const { return pixelFormat; }
    uint32_t LineLength() const { return lineLength; }
    uint32_t PixelClock() const { return pixelClock; }
    const qrb_kernel_version &Version() const { return *version; }
    const std::string &DevicePath() const { return devicePath; }
    void SetNumVirtual(int n) { numVirtual = n == 2 ? 2 : 1; }

private:
    int transfer(unsigned long request, const char *name, uint8_t slave, uint32_t addressBytes,
                 uint32_t length, uint8_t *buffer);
    int writeGroupProperty(uint16_t group, uint16_t property, uint32_t value);
    int setExtendedControl(uint32_t id, int32_t value, const char *name, unsigned long request,
                           int32_t *result);

    int fd = -1; // the current channel's descriptor
    int numVirtual = 1;
    int bytesPerPixel = 2;
    int deviceIndex;
    int channel = 0;
    bool opened = false;
    bool needsReinit = false;
    uint8_t i2cAddress = 0x10;
    uint32_t i2cSpeed = 400000;
    uint32_t pixelFormat;
    uint32_t lineLength = 0, pixelClock = 0;
    UniqueFd fds[kChannels];
    std::unique_ptr<qrb_kernel_version> version;
    std::string devicePath = "/dev/video0";
};
