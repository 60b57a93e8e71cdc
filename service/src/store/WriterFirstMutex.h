// A reader-writer mutex that lets a waiting writer in before new readers.
//
// std::shared_mutex lets readers in while a writer waits (glibc's default),
// so under a steady stream of overlapping reads a change could wait without
// end. Here a thread that asks for the exclusive lock holds off readers that
// come after it. Not recursive: a thread holding it must not lock it again,
// shared or not (a writer waiting between would deadlock them).
#pragma once

#include <pthread.h>

#include <system_error>

namespace ZelSample {

class WriterFirstMutex {
 public:
  WriterFirstMutex() {
    pthread_rwlockattr_t attributes;
    pthread_rwlockattr_init(&attributes);
    pthread_rwlockattr_setkind_np(&attributes, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
    const int failed = pthread_rwlock_init(&_lock, &attributes);
    pthread_rwlockattr_destroy(&attributes);
    if (failed != 0) throw std::system_error(failed, std::generic_category(), "rwlock");
  }
  ~WriterFirstMutex() { pthread_rwlock_destroy(&_lock); }
  WriterFirstMutex(const WriterFirstMutex&) = delete;
  WriterFirstMutex& operator=(const WriterFirstMutex&) = delete;

  void lock() { Check(pthread_rwlock_wrlock(&_lock)); }
  bool try_lock() { return pthread_rwlock_trywrlock(&_lock) == 0; }
  void unlock() { pthread_rwlock_unlock(&_lock); }
  void lock_shared() { Check(pthread_rwlock_rdlock(&_lock)); }
  bool try_lock_shared() { return pthread_rwlock_tryrdlock(&_lock) == 0; }
  void unlock_shared() { pthread_rwlock_unlock(&_lock); }

 private:
  static void Check(int failed) {
    if (failed != 0) throw std::system_error(failed, std::generic_category(), "rwlock");
  }

  pthread_rwlock_t _lock;
};

}  // namespace ZelSample
