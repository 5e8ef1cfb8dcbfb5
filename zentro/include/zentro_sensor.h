/* The register database of one camera: sensor, registers, bitfields, address spaces, chips. */
#ifndef ZENTRO_SENSOR_H
#define ZENTRO_SENSOR_H

#include <stdint.h>

#include "zentro_export.h"

ZE_BEGIN_DECLS

/* Register and bitfield access. */
typedef uint32_t ze_access_t;
#define ZE_ACCESS_RO 0u
#define ZE_ACCESS_RW 1u
#define ZE_ACCESS_WO 2u

/* Address-space kinds. A far kind is the near kind (REG, MCU, SFR) plus 4 for FAR1 or
 * plus 7 for FAR2. */
typedef uint32_t ze_addr_space_type_t;
#define ZE_SPACE_REG 0u
#define ZE_SPACE_MCU 1u
#define ZE_SPACE_SFR 2u
#define ZE_SPACE_IND 3u
#define ZE_SPACE_FAR1 4u
#define ZE_SPACE_FAR1_MCU 5u
#define ZE_SPACE_FAR1_SFR 6u
#define ZE_SPACE_FAR2 7u
#define ZE_SPACE_FAR2_MCU 8u
#define ZE_SPACE_FAR2_SFR 9u

/* Most bitfields one register carries. */
#define ZE_MAX_BITFIELDS 33
/* Most serial-bus base addresses a chip file lists. */
#define ZE_MAX_CHIP_BASE_ADDRS 7
/* Entries of the library's table of known sensor names (entry 0 is reserved). */
#define ZE_SENSOR_TYPE_COUNT 367

/* Overwrite-check kinds of a register. */
#define ZE_OVERWRITE_CHECK_NONE 0u
#define ZE_OVERWRITE_CHECK_OTPM_WARN 1u
#define ZE_OVERWRITE_CHECK_OTPM_ERR 2u
#define ZE_OVERWRITE_CHECK_WARN 3u
#define ZE_OVERWRITE_CHECK_ERR 4u

typedef struct ze_addr_space {
    char name[ZE_TEXT_SIZE];
    char description[ZE_TEXT_SIZE];
    int32_t id; /* the value that selects this space, or its number */
    ze_addr_space_type_t type;
    uint32_t farBase;     /* serial-bus address of a far sub-device */
    uint32_t farAddrSize; /* bits */
    uint32_t farDataSize; /* bits */
    uint32_t farDataLE;
} ze_addr_space_t;

typedef struct ze_addr_space_list {
    uint32_t readSelectAddr;
    uint32_t writeSelectAddr;
    int32_t count;
    ze_addr_space_t *spaces;
    uint32_t far1SelectAddr;
    uint32_t far2SelectAddr;
} ze_addr_space_list_t;

typedef struct ze_bitfield {
    char name[ZE_TEXT_SIZE];
    uint32_t mask; /* the field value is the masked bits shifted down to bit 0 */
    ze_access_t access;
    char displayName[ZE_TEXT_SIZE];
    char detail[ZE_TEXT_SIZE];
    uint32_t dataType;
    uint32_t rangeMin;
    uint32_t rangeMax;
    uint32_t confidential;
    char externalName[ZE_TEXT_SIZE];
} ze_bitfield_t;

typedef struct ze_reg {
    char name[ZE_TEXT_SIZE];
    uint32_t addr;
    uint32_t addrSpaceId;
    uint32_t mask;
    uint32_t defaultValue;
    ze_access_t access;
    char displayName[ZE_TEXT_SIZE];
    char detail[ZE_TEXT_SIZE];
    int32_t bitfieldCount;
    ze_bitfield_t *bitfields;
    uint32_t span;              /* data-size units making up the value: 1, 2 or 4 */
    ze_addr_space_t *addrSpace; /* not owned: points into the sensor's space table */
    uint32_t dataType;
    uint32_t rangeMin;
    uint32_t rangeMax;
    uint32_t isVolatile;
    uint32_t confidential; /* 0 public, 1 confidential, 2 partly confidential */
    uint32_t overwriteCheck;
    uint32_t checkBitmask;
    uint32_t checkValue;
    char externalName[ZE_TEXT_SIZE];
} ze_reg_t;

/* A long description or a confidential note; bitfieldName is absent for a whole register. */
typedef struct ze_desc_note {
    char *regName;
    char *bitfieldName;
    char *text;
} ze_desc_note_t;

typedef struct ze_sensor ze_sensor_t;

struct ze_sensor {
    char name[ZE_TEXT_SIZE];
    uint32_t sensorType; /* index of the name in the table of known sensor names; 0 unknown */
    uint32_t width;
    uint32_t height;
    uint32_t imageWidth;
    uint32_t imageHeight;
    uint32_t imageCount;
    uint32_t pixelBytes;
    uint32_t bitsPerPixel;
    uint32_t imageBytes;
    uint32_t imageType;
    uint32_t shipBaseAddr;
    uint32_t regAddrSize;
    uint32_t regDataSize;
    int32_t regCount;
    ze_reg_t *regs;
    ze_addr_space_list_t *addrSpaces;
    char fileName[ZE_TEXT_SIZE];
    uint32_t sensorVersion;
    char partNumber[ZE_TEXT_SIZE];
    char versionName[ZE_TEXT_SIZE];
    ze_sensor_t *farSensor1;
    ze_sensor_t *farSensor2;
    int32_t longDescCount;
    ze_desc_note_t *longDescs;
    char productVariant[ZE_TEXT_SIZE];
    int32_t confNoteCount;
    ze_desc_note_t *confNotes;
    uint32_t rangeSize;
    uint32_t velocitySize;
    uint32_t antennaArraySize;
    uint32_t antennaGroupSize;
    uint32_t regDataLE;
    uint32_t minorVersion;
    char serialNumber[ZE_TEXT_SIZE];
    uint32_t revisionNumber;
    char revisionInfo[ZE_TEXT_SIZE];
    char familyName[ZE_TEXT_SIZE];
    char features[ZE_TEXT_SIZE];
    uint32_t vcWidth[4];
    uint32_t vcHeight[4];
    uint32_t vcImageType[4];
};

/* An extra chip named by the board configuration. */
typedef struct ze_chip {
    char name[ZE_TEXT_SIZE];
    uint32_t activeBaseAddr;
    uint32_t serialAddrSize;
    uint32_t serialDataSize;
    int32_t regCount;
    ze_reg_t *regs;
    uint32_t baseAddrs[ZE_MAX_CHIP_BASE_ADDRS];
    int32_t baseAddrCount;
    uint32_t dataLE;
} ze_chip_t;

struct ze_camera;

/* Gives @camera a fresh zeroed sensor record, destroying the one it had. */
ZE_API int ze_AllocSensor(struct ze_camera *camera);
/* Frees everything @sensor owns; the record itself stays allocated. */
ZE_API void ze_DestructSensor(ze_sensor_t *sensor);
/* Name of the far sub-device of kind @type (4 FAR1, 7 FAR2), or NULL. */
ZE_API const char *ze_FarID(struct ze_camera *camera, uint32_t type);

/* Type code of a sensor name (case-insensitive), 0 for a name the library does not know. */
ZE_API uint32_t ze_SensorTypeCode(const char *name);
/* The known sensor name of @code, or NULL outside 1..366. */
ZE_API const char *ze_SensorTypeName(uint32_t code);

ZE_END_DECLS

#endif /* ZENTRO_SENSOR_H */
