// The camera links' serializer/deserializer table and their set-up.
#include "link_chips.h"

#include <cstdio>
#include <cstdlib>

#include "driver_control.h"

namespace {

constexpr uint16_t kEnd = 0xFFFF;
constexpr uint16_t kIdRegister = 0x000D;
constexpr uint32_t kAddressBytes = 2;

// Link set-up: video pipe routing, lane mapping and link enable for a 4-lane sensor.
constexpr reg_16 kMax9296Init[] = {
    {0x0313, 0x00}, {0x0330, 0x04}, {0x0333, 0x4E}, {0x0334, 0xE4},
    {0x0050, 0x00}, {0x0010, 0x21}, {0x0313, 0x02}, {kEnd, 0},
};
constexpr reg_16 kMax9295Init[] = {
    {0x0002, 0x03}, {0x0330, 0x00}, {0x0331, 0x33}, {0x0308, 0x64},
    {0x0311, 0x40}, {0x0318, 0x6C}, {kEnd, 0},
};
constexpr reg_16 kMax96792Init[] = {
    {0x0313, 0x00}, {0x0330, 0x04}, {0x0333, 0x4E}, {0x0334, 0xE4},
    {0x0050, 0x00}, {0x0010, 0x31}, {0x0313, 0x02}, {kEnd, 0},
};
constexpr reg_16 kMax96793Init[] = {
    {0x0002, 0x43}, {0x0330, 0x00}, {0x0331, 0x33}, {0x0308, 0x64},
    {0x0311, 0x40}, {0x0318, 0x6C}, {kEnd, 0},
};
constexpr reg_16 kMax96717Init[] = {
    {0x0002, 0x43}, {0x0308, 0x64}, {0x0311, 0x40}, {0x0318, 0x6C}, {kEnd, 0},
};

// Entries 0 and 1: generation 2 on video5 and video4; 2 and 3: generation 3; 4 is not selected.
const LinkPair kLinkPairs[] = {
    {0x48, 0x40, kIdRegister, kIdRegister, 0x94, 0x91, "MAX9296", "MAX9295", kMax9296Init,
     kMax9295Init},
    {0x4A, 0x42, kIdRegister, kIdRegister, 0x94, 0x91, "MAX9296", "MAX9295", kMax9296Init,
     kMax9295Init},
    {0x48, 0x40, kIdRegister, kIdRegister, 0xB6, 0xB7, "MAX96792", "MAX96793", kMax96792Init,
     kMax96793Init},
    {0x4A, 0x42, kIdRegister, kIdRegister, 0xB6, 0xB7, "MAX96792", "MAX96793", kMax96792Init,
     kMax96793Init},
    {0x48, 0x40, kIdRegister, kIdRegister, 0x94, 0xBF, "MAX9296", "MAX96717", kMax9296Init,
     kMax96717Init},
};

// The chips have 8-bit registers behind 16-bit addresses: one byte per transfer.
uint8_t readChipRegister(uint8_t slave, uint16_t address)
{
    uint8_t b[kAddressBytes] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    return i2c_read(slave, 1, b) == 1 ? b[0] : 0;
}

void writeChipList(uint8_t slave, const reg_16 *list)
{
    for (; list->addr != kEnd; ++list) {
        uint8_t b[] = {static_cast<uint8_t>(list->addr >> 8), static_cast<uint8_t>(list->addr),
                       static_cast<uint8_t>(list->val)};
        i2c_write(slave, sizeof b, b);
    }
}

void checkChip(const char *kind, const char *name, uint8_t slave, uint16_t idRegister,
               uint16_t expected)
{
    const uint8_t id = readChipRegister(slave, idRegister);
    if (id != expected) {
        std::fprintf(stderr, "Desired %s not found %s::addr[0x%X] = 0x%X\n", kind, name, idRegister,
                     id);
        std::exit(EXIT_FAILURE);
    }
    std::printf("Discovered %s :: %s\n", kind, name);
}

} // namespace

const LinkPair *selectLinkPair(const std::string &device, unsigned generation)
{
    const bool gen3 = generation == 3;
    if (device == "/dev/video5")
        return &kLinkPairs[gen3 ? 2 : 0];
    if (device == "/dev/video4")
        return &kLinkPairs[gen3 ? 3 : 1];
    return nullptr;
}

void setUpLinkPair(const LinkPair &pair)
{
    sensor_config_prop(DRV_PROP_SERIALIZER, pair.serializerAddress);
    sensor_config_prop(DRV_PROP_DESERIALIZER, pair.deserializerAddress);
    checkChip("serializer", pair.serializerName, pair.serializerAddress, pair.serializerIdRegister,
              pair.serializerId);
    checkChip("deserializer", pair.deserializerName, pair.deserializerAddress,
              pair.deserializerIdRegister, pair.deserializerId);
    writeChipList(pair.serializerAddress, pair.serializerInit);
    writeChipList(pair.deserializerAddress, pair.deserializerInit);
}
