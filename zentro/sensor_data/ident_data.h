// Identification data of the current sensor-data file, kept in the camera's common context.
// The sensor-data readers fill it; sensor identification interprets it.
#ifndef ZENTRO_SENSOR_DATA_IDENT_DATA_H
#define ZENTRO_SENSOR_DATA_IDENT_DATA_H

#include <cstdint>

#include "zentro_export.h"

namespace zentro {

inline constexpr int kMaxBaseAddrs = 15;
inline constexpr int kMaxIdentGroups = 4;
inline constexpr int kMaxIdentValues = 10;
inline constexpr int kMaxVersionWrites = 10;
inline constexpr int kMaxVersionReads = 4;
inline constexpr int kMaxExtraSerial = 4;
inline constexpr int kMaxNamedEntries = 4;
inline constexpr int kIdentNameSize = 104;
// Characters of an identification name that are used.
inline constexpr int kIdentNameLength = 100;

// Kind of sensor a probe asks for.
enum class SocWish : uint32_t { Any = 0, NonSocOnly = 1, SocOnly = 2 };

// A register compare: the masked field must equal one of the values.
struct IdentRegisterTest {
    char regName[ZE_TEXT_SIZE];
    uint32_t mask;
    int32_t valueCount;
    uint32_t values[kMaxIdentValues];
};

// A version write (waitMs < 0) or a wait for a field value (waitMs >= 0).
struct IdentVersionWrite {
    char regName[ZE_TEXT_SIZE];
    uint32_t mask;
    uint32_t values[kMaxIdentValues];
    int32_t valueCount;
    int32_t waitMs;
};

// A raw serial-bus read; dataSize 0 means that no device may answer.
struct IdentSerialTest {
    uint32_t base;
    uint32_t regAddr;
    uint32_t addrSize;
    uint32_t dataSize;
    uint32_t dataLE;
    uint32_t mask;
    int32_t valueCount;
    uint32_t values[kMaxIdentValues];
};

struct IdentGroup {
    IdentRegisterTest extraDesc;
    IdentRegisterTest resetIf;
    int32_t versionWriteCount;
    IdentVersionWrite versionWrites[kMaxVersionWrites];
    int32_t versionReadCount;
    IdentRegisterTest versionReads[kMaxVersionReads];
    int32_t extraSerialCount;
    IdentSerialTest extraSerial[kMaxExtraSerial];
};

// One entry of a named identification list (part numbers, variants, version names,
// minor versions); serial.base 0 means no serial test, an empty regName no register test.
struct NamedIdentEntry {
    IdentSerialTest serial;
    char regName[ZE_TEXT_SIZE];
    uint32_t mask;
    int32_t valueCount;
    uint32_t values[kMaxIdentValues];
    char name[kIdentNameSize];
    uint32_t number;
};

struct NamedIdentList {
    int32_t count;
    NamedIdentEntry entries[kMaxNamedEntries];
};

enum NamedListKind {
    PartNumbers = 0,
    ProductVariants,
    VersionNames,
    MinorVersions,
    NamedListCount
};

struct SavedVersionWrite {
    int32_t regIndex; // -1 when nothing was saved
    uint32_t previous;
};

// Bus addresses the absent-address map covers: the 8-bit ones.
inline constexpr uint32_t kFirstNonBusAddr = 256;
inline constexpr uint32_t kAbsentMapWordBits = 32;

struct IdentData {
    int32_t baseAddrCount;
    uint32_t baseAddrs[kMaxBaseAddrs];
    uint32_t absentMap[4]; // one bit per 7-bit bus address
    uint32_t probing;      // 1 while a candidate file is read
    SocWish socWish;
    uint32_t wantedAddrSize; // 0 = any
    uint32_t shipSpeed;      // preferred two-wire speed, 0 = none
    uint32_t spiSpeed;       // preferred SPI speed, 0 = none
    int32_t groupCount;
    IdentGroup groups[kMaxIdentGroups];
    SavedVersionWrite saved[kMaxVersionWrites];
    NamedIdentList named[NamedListCount];

    // Whether a read at 8-bit bus address @address was not acknowledged (addresses from
    // kFirstNonBusAddr on are never marked).
    bool isMarkedAbsent(uint32_t address) const
    {
        const uint32_t bit = address >> 1;
        return address < kFirstNonBusAddr &&
               ((absentMap[bit / kAbsentMapWordBits] >> (bit % kAbsentMapWordBits)) & 1u) != 0;
    }
    void markAbsent(uint32_t address)
    {
        const uint32_t bit = address >> 1;
        if (address < kFirstNonBusAddr)
            absentMap[bit / kAbsentMapWordBits] |= 1u << (bit % kAbsentMapWordBits);
    }
    void clearAbsentMap()
    {
        for (uint32_t &word : absentMap)
            word = 0;
    }
};

// Serial-bus base addresses with this bit set are reached over SPI.
inline constexpr uint32_t kSpiBaseAddrBit = 0x100;

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_IDENT_DATA_H
