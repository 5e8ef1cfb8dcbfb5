// The camera links' serializer/deserializer pairs.
#include "link_chips.h"

namespace boardsim {
namespace {

// Bus addresses of the pairs: the same for both generations, so that a chip of the other
// generation answers where a tool looks for one with another id.
constexpr uint8_t kVideo5Deserializer = 0x48;
constexpr uint8_t kVideo5Serializer = 0x40;
constexpr uint8_t kVideo4Deserializer = 0x4A;
constexpr uint8_t kVideo4Serializer = 0x42;

// Generation 2: deserializer id 0x94, serializer 0x91; generation 3: 0xB6, 0xB7.
constexpr uint8_t kGen2DeserializerId = 0x94;
constexpr uint8_t kGen2SerializerId = 0x91;
constexpr uint8_t kGen3DeserializerId = 0xB6;
constexpr uint8_t kGen3SerializerId = 0xB7;

constexpr unsigned kAddressBits = 16;
constexpr unsigned kDataBits = 8;

} // namespace

std::vector<LinkChip> linkChips(uint32_t generation)
{
    if (generation != 2 && generation != 3)
        return {};
    const uint8_t deserializer = generation == 2 ? kGen2DeserializerId : kGen3DeserializerId;
    const uint8_t serializer = generation == 2 ? kGen2SerializerId : kGen3SerializerId;
    return {{kVideo5Deserializer, deserializer},
            {kVideo5Serializer, serializer},
            {kVideo4Deserializer, deserializer},
            {kVideo4Serializer, serializer}};
}

SensorDefaults linkChipLayout(uint8_t id)
{
    SensorLayoutBuilder builder;
    builder.setAddressSize(kAddressBits);
    builder.setDataSize(kDataBits);
    builder.addRegister("DEVICE_ID", kLinkChipIdRegister, "", 1, "RO", id);
    return builder.finish();
}

} // namespace boardsim
