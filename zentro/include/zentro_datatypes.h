/* Register data types and the conversions between raw values, numbers and text. */
#ifndef ZENTRO_DATATYPES_H
#define ZENTRO_DATATYPES_H

#include <stdint.h>

#include "zentro_export.h"

ZE_BEGIN_DECLS

/*
 * Data-type codes. Codes 2 to 33 are unsigned fixed point with code - 1 fraction
 * bits, 35 to 66 signed fixed point with code - 34 fraction bits.
 */
typedef uint32_t ze_data_type_t;

enum ze_data_type_code {
    ZE_DATATYPE_HEX = 0,
    ZE_DATATYPE_UNSIGNED = 1,
    ZE_DATATYPE_UFIXED1 = 2,
    ZE_DATATYPE_UFIXED32 = 33,
    ZE_DATATYPE_SIGNED = 34,
    ZE_DATATYPE_FIXED1 = 35,
    ZE_DATATYPE_FIXED32 = 66,
    ZE_DATATYPE_SIGNMAG = 67,
    ZE_DATATYPE_FLOAT = 68,
    ZE_DATATYPE_FLOAT16 = 69
};

/* Returned by ze_DataTypeFromString for a name that is not a data type. */
#define ZE_DATATYPE_INVALID 0xFFFFFFFFu

/*
 * All conversions take a @mask giving the width of the raw value (0xFFFF for a
 * 16-bit register); its top bit is the sign bit of signed types. The type is an
 * int: negative codes and codes above 69 are accepted and handled as documented.
 */

/* The name of a data type ("hex", "ufixed8", "float16", ...); "unknown" above 69. */
ZE_API const char *ze_GetDataTypeString(uint32_t type);

/* The code of a data-type name, case-insensitive; ZE_DATATYPE_INVALID when unknown. */
ZE_API uint32_t ze_DataTypeFromString(const char *name);

/* The number a raw value stands for. */
ZE_API double ze_Int2Double(int type, uint32_t raw, uint32_t mask);

/* The raw value (ANDed with @mask) that stands for @number. */
ZE_API uint32_t ze_Double2Int(int type, uint32_t mask, double number);

/*
 * Writes the text of a raw value (at most 255 characters). Up to @length
 * characters are copied into @buffer, terminated only when there is room.
 * Returns the text length plus one, also when @buffer is NULL, so a caller can
 * ask for the size first.
 */
ZE_API int ze_Int2Str(int type, uint32_t raw, uint32_t mask, char *buffer, int length);

/* ze_Int2Str of ze_Double2Int(type, mask, number). */
ZE_API int ze_Double2Str(int type, uint32_t mask, char *buffer, int length, double number);

/* Reads a raw value from text; text containing "x" is hexadecimal for every type. */
ZE_API uint32_t ze_Str2Int(int type, const char *text, uint32_t mask);

/* Reads a number from text, quantised to what the type can hold. */
ZE_API double ze_Str2Double(int type, const char *text, uint32_t mask);

/* The smallest number, the largest number and the step of a type under @mask. */
ZE_API double ze_DataTypeMinimum(int type, uint32_t mask);
ZE_API double ze_DataTypeMaximum(int type, uint32_t mask);
ZE_API double ze_DataTypeStep(int type);

ZE_END_DECLS

#endif /* ZENTRO_DATATYPES_H */
