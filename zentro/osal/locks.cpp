// Recursive locks of the OS layer, on POSIX mutexes.
#include "osal/locks.h"

#include <cerrno>
#include <pthread.h>

extern "C" {

ZE_API int osal_init_critical_section(osal_critical_section_t *lock, const char * /*name*/)
{
    if (!lock)
        return EINVAL;
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    int result = pthread_mutex_init(lock, &attributes);
    pthread_mutexattr_destroy(&attributes);
    return result;
}

ZE_API void osal_enter_critical_section(osal_critical_section_t *lock)
{
    if (lock)
        pthread_mutex_lock(lock);
}

ZE_API void osal_leave_critical_section(osal_critical_section_t *lock)
{
    if (lock)
        pthread_mutex_unlock(lock);
}

ZE_API void osal_delete_critical_section(osal_critical_section_t *lock)
{
    if (lock)
        pthread_mutex_destroy(lock);
}

} // extern "C"
