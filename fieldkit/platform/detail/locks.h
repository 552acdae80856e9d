// Lock types the compiler can check (internal). Under clang, -Wthread-safety proves that a
// field marked FIELDKIT_GUARDED_BY is touched only with its lock held, that a function marked
// FIELDKIT_REQUIRES is called only with its lock held, and that locks are taken in the order
// their FIELDKIT_ACQUIRED_AFTER/BEFORE marks declare. Under other compilers the marks are
// empty and the types are std::mutex and its guards under another name: every member is inline
// and forwards, so the code is what std::mutex would give.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>

#if defined(__clang__)
#define FIELDKIT_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define FIELDKIT_THREAD_ANNOTATION(x)
#endif

#define FIELDKIT_CAPABILITY(x) FIELDKIT_THREAD_ANNOTATION(capability(x))
#define FIELDKIT_SCOPED_CAPABILITY FIELDKIT_THREAD_ANNOTATION(scoped_lockable)
#define FIELDKIT_GUARDED_BY(x) FIELDKIT_THREAD_ANNOTATION(guarded_by(x))
#define FIELDKIT_PT_GUARDED_BY(x) FIELDKIT_THREAD_ANNOTATION(pt_guarded_by(x))
#define FIELDKIT_ACQUIRED_AFTER(...) FIELDKIT_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
#define FIELDKIT_ACQUIRED_BEFORE(...) FIELDKIT_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define FIELDKIT_REQUIRES(...) FIELDKIT_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define FIELDKIT_REQUIRES_SHARED(...) \
    FIELDKIT_THREAD_ANNOTATION(requires_shared_capability(__VA_ARGS__))
#define FIELDKIT_EXCLUDES(...) FIELDKIT_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define FIELDKIT_ACQUIRE(...) FIELDKIT_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define FIELDKIT_ACQUIRE_SHARED(...) \
    FIELDKIT_THREAD_ANNOTATION(acquire_shared_capability(__VA_ARGS__))
#define FIELDKIT_RELEASE(...) FIELDKIT_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define FIELDKIT_RELEASE_SHARED(...) \
    FIELDKIT_THREAD_ANNOTATION(release_shared_capability(__VA_ARGS__))
#define FIELDKIT_RETURN_CAPABILITY(x) FIELDKIT_THREAD_ANNOTATION(lock_returned(x))
#define FIELDKIT_NO_THREAD_SAFETY_ANALYSIS FIELDKIT_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace fieldkit::detail {

// std::mutex, as a capability the analysis tracks.
class FIELDKIT_CAPABILITY("mutex") Mutex {
  public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() FIELDKIT_ACQUIRE() { m_mutex.lock(); }
    void unlock() FIELDKIT_RELEASE() { m_mutex.unlock(); }

  private:
    friend class UniqueLock;
    std::mutex m_mutex;
};

// std::shared_mutex: look-ups take it shared, changes exclusive.
class FIELDKIT_CAPABILITY("shared mutex") SharedMutex {
  public:
    SharedMutex() = default;
    SharedMutex(const SharedMutex&) = delete;
    SharedMutex& operator=(const SharedMutex&) = delete;

    void lock() FIELDKIT_ACQUIRE() { m_mutex.lock(); }
    void unlock() FIELDKIT_RELEASE() { m_mutex.unlock(); }
    void lock_shared() FIELDKIT_ACQUIRE_SHARED() { m_mutex.lock_shared(); }
    void unlock_shared() FIELDKIT_RELEASE_SHARED() { m_mutex.unlock_shared(); }

  private:
    std::shared_mutex m_mutex;
};

// Holds a Mutex for its scope (std::lock_guard).
class FIELDKIT_SCOPED_CAPABILITY LockGuard {
  public:
    explicit LockGuard(Mutex& mutex) FIELDKIT_ACQUIRE(mutex) : m_mutex(mutex) { mutex.lock(); }
    ~LockGuard() FIELDKIT_RELEASE() { m_mutex.unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

  private:
    Mutex& m_mutex;
};

// Holds a SharedMutex exclusively for its scope.
class FIELDKIT_SCOPED_CAPABILITY ExclusiveLock {
  public:
    explicit ExclusiveLock(SharedMutex& mutex) FIELDKIT_ACQUIRE(mutex) : m_mutex(mutex) {
        mutex.lock();
    }
    ~ExclusiveLock() FIELDKIT_RELEASE() { m_mutex.unlock(); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  private:
    SharedMutex& m_mutex;
};

// Holds a SharedMutex shared for its scope (std::shared_lock).
class FIELDKIT_SCOPED_CAPABILITY SharedLock {
  public:
    explicit SharedLock(SharedMutex& mutex) FIELDKIT_ACQUIRE_SHARED(mutex) : m_mutex(mutex) {
        mutex.lock_shared();
    }
    ~SharedLock() FIELDKIT_RELEASE() { m_mutex.unlock_shared(); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

  private:
    SharedMutex& m_mutex;
};

// Holds a Mutex for its scope, and lets a condition variable release it while it waits
// (std::unique_lock). The waits take the predicate, which runs with the lock held.
class FIELDKIT_SCOPED_CAPABILITY UniqueLock {
  public:
    explicit UniqueLock(Mutex& mutex) FIELDKIT_ACQUIRE(mutex) : m_lock(mutex.m_mutex) {}
    ~UniqueLock() FIELDKIT_RELEASE() {}
    UniqueLock(const UniqueLock&) = delete;
    UniqueLock& operator=(const UniqueLock&) = delete;

    void lock() FIELDKIT_ACQUIRE() { m_lock.lock(); }
    void unlock() FIELDKIT_RELEASE() { m_lock.unlock(); }

    template <class Predicate>
    void Wait(std::condition_variable& cv, Predicate ready) {
        cv.wait(m_lock, ready);
    }
    template <class Rep, class Period, class Predicate>
    bool WaitFor(std::condition_variable& cv, const std::chrono::duration<Rep, Period>& timeout,
                 Predicate ready) {
        return cv.wait_for(m_lock, timeout, ready);
    }

  private:
    std::unique_lock<std::mutex> m_lock;
};

}  // namespace fieldkit::detail
