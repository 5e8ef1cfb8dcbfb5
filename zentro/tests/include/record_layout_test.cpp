// The public records keep their declared field order and widths: plug-ins and client
// programs read them directly, so a reordering must not slip in.
#include <cstddef>
#include <vector>

#include <gtest/gtest.h>

#include "zentro.h"

namespace {

// Offsets of fields listed in declared order must strictly increase.
void expectDeclaredOrder(const std::vector<size_t> &offsets)
{
    for (size_t i = 1; i < offsets.size(); ++i)
        EXPECT_LT(offsets[i - 1], offsets[i]) << "field " << i << " is out of order";
}

TEST(RecordLayout, SensorFieldsInDeclaredOrder)
{
    expectDeclaredOrder({
        offsetof(ze_sensor_t, name),         offsetof(ze_sensor_t, sensorType),
        offsetof(ze_sensor_t, width),        offsetof(ze_sensor_t, imageBytes),
        offsetof(ze_sensor_t, imageType),    offsetof(ze_sensor_t, shipBaseAddr),
        offsetof(ze_sensor_t, regCount),     offsetof(ze_sensor_t, regs),
        offsetof(ze_sensor_t, addrSpaces),   offsetof(ze_sensor_t, fileName),
        offsetof(ze_sensor_t, versionName),  offsetof(ze_sensor_t, farSensor1),
        offsetof(ze_sensor_t, longDescs),    offsetof(ze_sensor_t, productVariant),
        offsetof(ze_sensor_t, confNotes),    offsetof(ze_sensor_t, antennaGroupSize),
        offsetof(ze_sensor_t, regDataLE),    offsetof(ze_sensor_t, serialNumber),
        offsetof(ze_sensor_t, revisionInfo), offsetof(ze_sensor_t, features),
        offsetof(ze_sensor_t, vcWidth),      offsetof(ze_sensor_t, vcImageType),
    });
    EXPECT_EQ(offsetof(ze_sensor_t, sensorType), 256u);
    // The virtual-channel arrays close the record (only alignment padding follows).
    EXPECT_EQ(offsetof(ze_sensor_t, vcImageType) - offsetof(ze_sensor_t, vcHeight),
              4 * sizeof(uint32_t));
    EXPECT_LT(sizeof(ze_sensor_t) - offsetof(ze_sensor_t, vcImageType),
              4 * sizeof(uint32_t) + alignof(ze_sensor_t));
}

TEST(RecordLayout, RegisterAndBitfieldFieldsInDeclaredOrder)
{
    expectDeclaredOrder({
        offsetof(ze_reg_t, name),
        offsetof(ze_reg_t, addr),
        offsetof(ze_reg_t, addrSpaceId),
        offsetof(ze_reg_t, mask),
        offsetof(ze_reg_t, defaultValue),
        offsetof(ze_reg_t, access),
        offsetof(ze_reg_t, displayName),
        offsetof(ze_reg_t, detail),
        offsetof(ze_reg_t, bitfieldCount),
        offsetof(ze_reg_t, bitfields),
        offsetof(ze_reg_t, span),
        offsetof(ze_reg_t, addrSpace),
        offsetof(ze_reg_t, dataType),
        offsetof(ze_reg_t, isVolatile),
        offsetof(ze_reg_t, confidential),
        offsetof(ze_reg_t, overwriteCheck),
        offsetof(ze_reg_t, checkValue),
        offsetof(ze_reg_t, externalName),
    });
    EXPECT_EQ(offsetof(ze_reg_t, addr), 256u);
    expectDeclaredOrder({
        offsetof(ze_bitfield_t, name),
        offsetof(ze_bitfield_t, mask),
        offsetof(ze_bitfield_t, access),
        offsetof(ze_bitfield_t, displayName),
        offsetof(ze_bitfield_t, detail),
        offsetof(ze_bitfield_t, dataType),
        offsetof(ze_bitfield_t, rangeMax),
        offsetof(ze_bitfield_t, confidential),
        offsetof(ze_bitfield_t, externalName),
    });
}

TEST(RecordLayout, SpaceChipAndNoteFieldsInDeclaredOrder)
{
    expectDeclaredOrder({
        offsetof(ze_addr_space_t, name),
        offsetof(ze_addr_space_t, description),
        offsetof(ze_addr_space_t, id),
        offsetof(ze_addr_space_t, type),
        offsetof(ze_addr_space_t, farBase),
        offsetof(ze_addr_space_t, farAddrSize),
        offsetof(ze_addr_space_t, farDataSize),
        offsetof(ze_addr_space_t, farDataLE),
    });
    expectDeclaredOrder({
        offsetof(ze_addr_space_list_t, readSelectAddr),
        offsetof(ze_addr_space_list_t, writeSelectAddr),
        offsetof(ze_addr_space_list_t, count),
        offsetof(ze_addr_space_list_t, spaces),
        offsetof(ze_addr_space_list_t, far1SelectAddr),
        offsetof(ze_addr_space_list_t, far2SelectAddr),
    });
    expectDeclaredOrder({
        offsetof(ze_chip_t, name),
        offsetof(ze_chip_t, activeBaseAddr),
        offsetof(ze_chip_t, serialAddrSize),
        offsetof(ze_chip_t, serialDataSize),
        offsetof(ze_chip_t, regCount),
        offsetof(ze_chip_t, regs),
        offsetof(ze_chip_t, baseAddrs),
        offsetof(ze_chip_t, baseAddrCount),
        offsetof(ze_chip_t, dataLE),
    });
    EXPECT_EQ(offsetof(ze_chip_t, baseAddrCount) - offsetof(ze_chip_t, baseAddrs),
              7 * sizeof(uint32_t));
    expectDeclaredOrder({
        offsetof(ze_desc_note_t, regName),
        offsetof(ze_desc_note_t, bitfieldName),
        offsetof(ze_desc_note_t, text),
    });
}

TEST(RecordLayout, CameraFieldsInDeclaredOrder)
{
    expectDeclaredOrder({
        offsetof(ze_camera_t, productID),
        offsetof(ze_camera_t, productVersion),
        offsetof(ze_camera_t, productName),
        offsetof(ze_camera_t, firmwareVersion),
        offsetof(ze_camera_t, transportName),
        offsetof(ze_camera_t, transportType),
        offsetof(ze_camera_t, context),
        offsetof(ze_camera_t, sensor),
        offsetof(ze_camera_t, boardChipCount),
        offsetof(ze_camera_t, boardChips),
        offsetof(ze_camera_t, transportPrivate),
        offsetof(ze_camera_t, startTransport),
        offsetof(ze_camera_t, stopTransport),
        offsetof(ze_camera_t, readSensorRegisters),
        offsetof(ze_camera_t, writeSensorRegisters),
        offsetof(ze_camera_t, reserved),
        offsetof(ze_camera_t, readRegister),
        offsetof(ze_camera_t, writeRegister),
        offsetof(ze_camera_t, readRegisters),
        offsetof(ze_camera_t, writeRegisters),
        offsetof(ze_camera_t, grabFrame),
        offsetof(ze_camera_t, getFrameData),
        offsetof(ze_camera_t, updateFrameSize),
        offsetof(ze_camera_t, updateBufferSize),
        offsetof(ze_camera_t, setMode),
        offsetof(ze_camera_t, getMode),
        offsetof(ze_camera_t, initTransport),
        offsetof(ze_camera_t, productSerialNumber),
    });
    EXPECT_EQ(offsetof(ze_camera_t, productName), 8u);
    EXPECT_EQ(offsetof(ze_camera_t, firmwareVersion), 264u);
    EXPECT_EQ(offsetof(ze_camera_t, transportType), 524u);
    // Twenty u32 words describe a frame.
    EXPECT_EQ(sizeof(ze_frame_info_t), 20 * sizeof(uint32_t));
    EXPECT_EQ(offsetof(ze_frame_info_t, vcBytes), 16 * sizeof(uint32_t));
    EXPECT_EQ(offsetof(ze_thread_settings_t, regAddrSize), sizeof(void *));
}

// Plug-ins index the helper table slot by slot: each helper keeps its place.
TEST(RecordLayout, HelperTableSlotsInTheirOrder)
{
    const size_t slot = sizeof(void *);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, getSensor), 0 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, updateImageType), 1 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, errorlog), 2 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, msglog), 3 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, setMode), 4 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, getMode), 5 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, setContext), 6 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, getContext), 7 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, updateFrameSize), 8 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, unSwizzleBuffer1), 9 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, mergeDeepBayer1), 10 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, readReg), 11 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, parseBoardConfigFile), 12 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, currentLogTypes), 13 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, getErrorMessage), 14 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, sleep), 15 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, home), 16 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, freeBoardData), 17 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, getSerdes), 18 * slot);
    EXPECT_EQ(offsetof(ze_plugin_helpers_t, reserved), 19 * slot);
    EXPECT_EQ(sizeof(ze_plugin_helpers_t), size_t(ZE_PLUGIN_HELPER_SLOTS) * slot);
}

} // namespace
