#include "platform/critical_section.h"

#include <pthread.h>

#include <new>

namespace platform {

static_assert(sizeof(pthread_mutex_t) <= sizeof(CriticalSection::storage));
static_assert(alignof(pthread_mutex_t) <= 16);

namespace {
pthread_mutex_t* Mutex(CriticalSection& section) {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(section.storage));
}
}  // namespace

void CriticalSection::Initialize() {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(new (storage) pthread_mutex_t, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

void CriticalSection::Delete() { pthread_mutex_destroy(Mutex(*this)); }
void CriticalSection::Enter() { pthread_mutex_lock(Mutex(*this)); }
void CriticalSection::Leave() { pthread_mutex_unlock(Mutex(*this)); }
bool CriticalSection::TryEnter() { return pthread_mutex_trylock(Mutex(*this)) == 0; }

}  // namespace platform
