/* The operating-system layer: locks, thread-local blocks, files, directories, time, INI, loading.
 */
#ifndef ZENTRO_OSAL_H
#define ZENTRO_OSAL_H

#include <pthread.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "zentro_export.h"

ZE_BEGIN_DECLS

/* Longest path or directory-entry name the layer handles, terminator included. */
#define OSAL_MAX_PATH 4096

/* ---- Locks: recursive mutexes ---- */

typedef pthread_mutex_t osal_critical_section_t;

/* Creates a recursive lock; @name is informational only. Returns 0 or an errno value. */
ZE_API int osal_init_critical_section(osal_critical_section_t *lock, const char *name);
ZE_API void osal_enter_critical_section(osal_critical_section_t *lock);
ZE_API void osal_leave_critical_section(osal_critical_section_t *lock);
ZE_API void osal_delete_critical_section(osal_critical_section_t *lock);

/* ---- Thread-local blocks: each thread has two slots ---- */

/* Value of a slot index not yet assigned; initialise index variables with it. */
#define OSAL_TLS_UNASSIGNED 0xFFFFFFFEu
/* Value of a slot index whose assignment failed (both slots taken). */
#define OSAL_TLS_FAILED 0xFFFFFFFFu

/*
 * Returns the calling thread's block for slot *@index, creating it when the
 * thread has none: @count elements of @size bytes, each a copy of
 * @default_element (zero-filled when NULL). The first call in the process
 * assigns *@index. Returns NULL on failure. A block still held when its thread
 * ends is freed then.
 */
ZE_API void *osal_alloc_thread_local(uint32_t *index, uint32_t count, uint32_t size,
                                     const void *default_element);
/* The calling thread's block for slot @index; NULL when it has none. */
ZE_API void *osal_get_thread_local(uint32_t index);
/* Frees the calling thread's block for slot @index and clears the slot. */
ZE_API void osal_free_thread_local(uint32_t index);

/* ---- Global blocks ---- */

/* A zero-filled block of @size bytes, also stored in *@handle; NULL for an empty name. */
ZE_API void *osal_alloc_global(const char *name, size_t size, void **handle);
ZE_API void osal_free_global(void *handle, void *block);

/* ---- Files and paths ---- */

ZE_API FILE *osal_fopen(const char *path, const char *mode);
ZE_API int osal_unlink(const char *path);

/* The last "/" in @path, or NULL. */
ZE_API char *osal_last_dir_char(const char *path);
/* Appends a directory separator unless @path ends in one or @size leaves no room. */
ZE_API void osal_append_dir_char(char *path, size_t size);
/* Non-zero for "/" and "\". */
ZE_API int osal_dirdelim(int c);
/* Replaces every "\" in @path by "/". */
ZE_API void to_unix_path(char *path);

/* Modification time of a file, in nanoseconds since the epoch. */
typedef int64_t osal_filetime_t;

/* Non-zero when @a is strictly earlier than @b. */
ZE_API int osal_filetime_older(osal_filetime_t a, osal_filetime_t b);

/* Mode bits of the file (OSAL_ATTRIBUTE_DIRECTORY marks a directory), or OSAL_NO_FILE. */
#define OSAL_ATTRIBUTE_DIRECTORY 0x4000u
#define OSAL_NO_FILE 0xFFFFFFFFu
ZE_API uint32_t osal_get_file_attributes(const char *path);
/* Existence of a non-directory, of a directory. */
ZE_API int osal_file_exists(const char *path);
ZE_API int osal_directory_exists(const char *path);

/*
 * Writes the canonical absolute path of @path into @out (at most @size - 1
 * characters). Returns 1, or -1 when it cannot be resolved (@out unchanged).
 */
ZE_API int osal_fullpath(const char *path, char *out, size_t size);
/* osal_fullpath in place. */
ZE_API int osal_expandpath(char *path, size_t size);
/* Writes the working directory; returns its length, 0 on failure. */
ZE_API int osal_getcwd(char *out, size_t size);
/* Changes the working directory; returns 1 on success, 0 on failure. */
ZE_API int osal_setcwd(const char *path);

/* Creates a directory (0777 less the umask); an existing directory is success (0). */
ZE_API int osal_create_directory(const char *path);
/* Removes a directory and everything below it; 0, or -1 at the first failure. */
ZE_API int osal_remove_directory(const char *path);

/* The user's home directory: $HOME, else the password database's, else ".". */
ZE_API const char *osal_userHomeDir(void);

/*
 * Writes the path of the running executable. Returns its length, or -1 (no
 * link), -2 (not a link), -3 (does not fit in @size), -4 (read failure).
 */
ZE_API int osal_applicationFilePath(char *out, size_t size);

/*
 * Writes @length bytes to the next free numbered file derived from @name
 * ("shot.raw" gives "shot0000.raw", then "shot0001.raw", ...). Returns 0.
 */
ZE_API int osal_saveImage(const char *name, const void *data, size_t length);

/* ---- Directory listing ---- */

/* A directory listing; the fields hold the entry found last. */
typedef struct osal_find {
    char name[OSAL_MAX_PATH];
    osal_filetime_t modificationTime;
    void *listing; /* private to the layer */
} osal_find_t;

/* Starts listing @directory; NULL when it cannot be opened. */
ZE_API osal_find_t *osal_open_find_file(const char *directory);
/*
 * Finds the first entry whose name matches @pattern ("*" matches any run of
 * characters). Returns 1 when one was found, 0 at the end.
 */
ZE_API int osal_find_first_file(osal_find_t *finder, const char *pattern);
/* The next matching entry: 1 when found, 0 at the end. */
ZE_API int osal_find_next_file(osal_find_t *finder);
ZE_API void osal_close_find_file(osal_find_t *finder);

/* ---- Time ---- */

/* Sleeps @ms milliseconds, resuming after interruptions. */
ZE_API void osal_sleep(uint32_t ms);
/* Wall-clock milliseconds since the epoch. */
ZE_API uint64_t osal_current_milliseconds(void);
/* Size of the text osal_localtime writes, terminator included. */
#define OSAL_LOCALTIME_SIZE 26
/* Writes the local time in ctime form ("Mon Dec  7 04:39:49 2026\n"); @out holds
 * OSAL_LOCALTIME_SIZE. */
ZE_API void osal_localtime(char *out);

/* ---- Strings ---- */

ZE_API int osal_stricmp(const char *a, const char *b);
ZE_API int osal_strnicmp(const char *a, const char *b, size_t n);
/*
 * Appends at most @n characters of @src to @dst when they fit with the
 * terminator in @size; otherwise empties @dst and returns 1. Returns 0 on success.
 */
ZE_API int osal_strncat_s(char *dst, size_t size, const char *src, size_t n);
/* Copies at most @size - 1 characters and always terminates. Returns 0. */
ZE_API int osal_strcpy_s(char *dst, size_t size, const char *src);

/* ---- INI files ---- */

/*
 * Reads section @section of INI file @file into @buffer as "key=value" entries,
 * each terminated by a NUL, the list ended by another NUL, as far as @size - 2
 * characters allow. Keys lose all white space, values their leading blanks;
 * ";" and "//" start comments. Only whole entries are stored. Returns the
 * characters used plus one, or 0 when the file or the section is absent; when an
 * entry did not fit, the result is at least @size - 2, which tells the caller to
 * read again with a larger buffer.
 */
ZE_API int osal_getsection(const char *section, char *buffer, size_t size, const char *file);

/*
 * Copies into @out (at most @size - 1 characters) the value of the first entry
 * of @section when that entry's key begins with @key (case-insensitive), else
 * @default_value. Only the first entry of the section is consulted. Returns
 * the length of @out.
 */
ZE_API int osal_getprivateprofilestring(const char *section, const char *key,
                                        const char *default_value, char *out, size_t size,
                                        const char *file);

/* ---- Dynamic loading ---- */

/* Loads a shared library with lazy binding; *@disallowed (when given) is cleared. */
ZE_API void *osal_LoadLibrary(const char *path, int *disallowed);
/* Unloads a library; returns 0 on success. */
ZE_API int osal_FreeLibrary(void *handle);
ZE_API void *osal_GetProcAddress(void *handle, const char *name);

/* ---- Devices ---- */

/*
 * Opens the character device "/dev/vid" followed by @name, read-write and
 * non-blocking. Returns 1 with the descriptor in *@handle, or 0 with -1 there
 * after printing the reason to the error stream.
 */
ZE_API int _bOpenDriver(int *handle, const char *name);
/* Closes a descriptor; -1 is ignored. */
ZE_API void CloseHandle(int handle);

ZE_API int osal_CoInitialize(void);
ZE_API int osal_CoUninitialize(void);

ZE_END_DECLS

#endif /* ZENTRO_OSAL_H */
