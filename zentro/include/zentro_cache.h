/* The register cache: the last value read from or written to each register of the sensor. */
#ifndef ZENTRO_CACHE_H
#define ZENTRO_CACHE_H

#include <stdint.h>

#include "zentro_camera.h"
#include "zentro_export.h"
#include "zentro_sensor.h"

ZE_BEGIN_DECLS

/*
 * Each camera with a sensor database keeps one entry per register. An entry answers a
 * read (a "hit") when it is neither stale nor volatile, or always when the calling
 * thread's ZE_USE_REG_CACHE is 2. Entries start stale and become valid when a value is
 * read from or written to the register.
 */

/*
 * Marks every entry of @camera's cache stale and logs "Invalidate sensor register cache"
 * (information). Returns 0, or CAMERA_ERROR for an absent camera or context.
 */
ZE_API int ze_InvalidateRegCache(ze_camera_t *camera);

/*
 * The cached value of @reg, which must belong to @camera's sensor database. Returns 0 on
 * a hit with *@value set; 1 otherwise (no cache, a register outside the database, a stale
 * or volatile entry), leaving *@value untouched.
 */
ZE_API int ze_GetRegCacheValueReg(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value);

/* Marks the entry of @reg stale. Returns 0, or CAMERA_ERROR when @reg has no entry. */
ZE_API int ze_InvalidateRegCacheReg(ze_camera_t *camera, const ze_reg_t *reg);

/*
 * Marks the entry of the register named @name (or with that external name) stale.
 * Returns 0, or CAMERA_ERROR without logging when there is no such register or no cache.
 */
ZE_API int ze_InvalidateRegCacheRegName(ze_camera_t *camera, const char *name);

/*
 * Marks the register named @name volatile: its cached value is no longer used unless
 * ZE_USE_REG_CACHE is 2. Returns 0, or CAMERA_ERROR without logging when there is no
 * such register or no cache.
 */
ZE_API int ze_SetVolatileRegStr(ze_camera_t *camera, const char *name);

ZE_END_DECLS

#endif /* ZENTRO_CACHE_H */
