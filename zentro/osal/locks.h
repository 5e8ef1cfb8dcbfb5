// RAII owners for the OS layer's recursive locks.
#ifndef ZENTRO_OSAL_LOCKS_H
#define ZENTRO_OSAL_LOCKS_H

#include "zentro_osal.h"

namespace zentro {

// A recursive lock created in the constructor and destroyed in the destructor.
class CriticalSection
{
public:
    explicit CriticalSection(const char *name = "") { osal_init_critical_section(&lock_, name); }
    ~CriticalSection() { osal_delete_critical_section(&lock_); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;

    void lock() { osal_enter_critical_section(&lock_); }
    void unlock() { osal_leave_critical_section(&lock_); }
    osal_critical_section_t *native() { return &lock_; }

private:
    osal_critical_section_t lock_;
};

// Holds a lock for the lifetime of the object.
class CriticalSectionGuard
{
public:
    explicit CriticalSectionGuard(osal_critical_section_t *lock) : lock_(lock)
    {
        osal_enter_critical_section(lock_);
    }
    explicit CriticalSectionGuard(CriticalSection &lock) : CriticalSectionGuard(lock.native()) {}
    ~CriticalSectionGuard() { osal_leave_critical_section(lock_); }
    CriticalSectionGuard(const CriticalSectionGuard &) = delete;
    CriticalSectionGuard &operator=(const CriticalSectionGuard &) = delete;

private:
    osal_critical_section_t *lock_;
};

} // namespace zentro

#endif // ZENTRO_OSAL_LOCKS_H
