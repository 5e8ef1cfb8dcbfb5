// Serializer/deserializer pairs on the camera links: selection, identity check, init lists.
#pragma once

#include <cstdint>
#include <string>

#include "driver_protocol.h"

struct LinkPair {
    uint8_t deserializerAddress;
    uint8_t serializerAddress;
    uint16_t deserializerIdRegister;
    uint16_t serializerIdRegister;
    uint16_t deserializerId;
    uint16_t serializerId;
    char deserializerName[15];
    char serializerName[15];
    const reg_16 *deserializerInit; // ended by register 0xFFFF
    const reg_16 *serializerInit;
};

// The pair on the link of a video node for a link generation (2 or 3); null when the node has
// no link chips.
const LinkPair *selectLinkPair(const std::string &device, unsigned generation);

// Tells the driver the pair's addresses, checks both ids and writes both init lists. A chip
// with another id (or none) ends the program with status 1 before anything is written to it.
void setUpLinkPair(const LinkPair &pair);
