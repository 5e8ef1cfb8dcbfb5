/* Export and linkage macros shared by the public zentro headers. */
#ifndef ZENTRO_EXPORT_H
#define ZENTRO_EXPORT_H

/* Marks a function exported from libzentro2.so; everything else stays hidden. */
#if defined(__GNUC__)
#define ZE_API __attribute__((visibility("default")))
#else
#define ZE_API
#endif

#ifdef __cplusplus
#define ZE_BEGIN_DECLS extern "C" {
#define ZE_END_DECLS }
#else
#define ZE_BEGIN_DECLS
#define ZE_END_DECLS
#endif

/* Length of the fixed text fields of the public records, terminator included. */
#define ZE_TEXT_SIZE 256

#endif /* ZENTRO_EXPORT_H */
