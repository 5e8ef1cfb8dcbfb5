// Fuzz target: text-to-value conversions and the text of every value they produce.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "zentro_datatypes.h"

namespace {

constexpr int kTextBuffer = 300;

void checkText(int type, uint32_t raw, uint32_t mask)
{
    char text[kTextBuffer + 1];
    std::memset(text, '\x7f', sizeof(text));
    int needed = ze_Int2Str(type, raw, mask, text, kTextBuffer);
    if (needed < 1 || needed > 256 || text[kTextBuffer] != '\x7f')
        __builtin_trap();
    char tiny[4] = {'\x7f', '\x7f', '\x7f', '\x7f'};
    if (ze_Int2Str(type, raw, mask, tiny, 3) != needed || tiny[3] != '\x7f')
        __builtin_trap();
    if (ze_Int2Str(type, raw, mask, nullptr, 0) != needed)
        __builtin_trap();
}

} // namespace

// Input: one byte of type (as a signed number, so negative codes occur), four
// bytes of mask, the rest the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5)
        return 0;
    int type = static_cast<int8_t>(data[0]);
    uint32_t mask;
    std::memcpy(&mask, data + 1, sizeof(mask));
    std::string text(reinterpret_cast<const char *>(data + 5), size - 5);

    uint32_t raw = ze_Str2Int(type, text.c_str(), mask);
    if ((raw & ~mask) != 0)
        __builtin_trap();
    double number = ze_Str2Double(type, text.c_str(), mask);
    checkText(type, raw, mask);
    checkText(type, ze_Double2Int(type, mask, number), mask);
    char buffer[64];
    ze_Double2Str(type, mask, buffer, sizeof(buffer), number);
    ze_DataTypeFromString(text.c_str());
    (void)ze_DataTypeMinimum(type, mask);
    (void)ze_DataTypeMaximum(type, mask);
    (void)ze_DataTypeStep(type);
    return 0;
}
