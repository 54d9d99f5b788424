// One instance per process of T, created on first use.
//
// GetInstance() never returns null: the first caller constructs T under
// Sync_, publishes the pointer with release order and registers destroy() with
// the host's TqSingletonFinalizer; later callers read it with acquire order and
// take no lock. destroy() deletes the instance and leaves the pointer null; the
// next GetInstance() makes a fresh one. The library never calls destroy().
//
// Every instantiation has exactly one Sync_ and one pInstance_, defined once
// in the library (TQ_SINGLETON_DEFINE) and declared beside T's class
// (TQ_SINGLETON_DECLARE), so that every shared object that uses T sees the
// same pair and both exist before any exported operation runs.
#pragma once

#include <atomic>
#include <new>

#include "core/TqUncopyable.h"
#include "platform/TqSingletonFinalizer.h"
#include "platform/TqSync.h"

template <class T>
class __attribute__((visibility("default"))) TqSingleton : private TqUncopyable {
 public:
  static T* GetInstance() {
    T* instance = pInstance_.load(std::memory_order_acquire);
    if (instance != nullptr) {
      return instance;
    }
    Sync_.Lock(static_cast<unsigned int>(-1));
    instance = pInstance_.load(std::memory_order_relaxed);
    if (instance == nullptr) {
      // Construction may throw (allocation); the lock must not stay held and
      // nothing may be published or registered.
      struct Unlocker {
        ~Unlocker() { Sync_.Unlock(); }
      } unlocker;
      instance = new T();
      pInstance_.store(instance, std::memory_order_release);
      TqSingletonFinalizer::addDestroyFunc(&TqSingleton<T>::destroy);
      return instance;
    }
    Sync_.Unlock();
    return instance;
  }

  static void destroy() {
    T* instance = pInstance_.exchange(nullptr, std::memory_order_acq_rel);
    delete instance;
  }

 protected:
  TqSingleton() = default;
  virtual ~TqSingleton() = default;

  static TqSync Sync_;
  static std::atomic<T*> pInstance_;

  template <class U>
  friend struct TqSingletonAccess;
};

// Test and tool access to the creation lock and the pointer.
template <class U>
struct TqSingletonAccess {
  static TqSync& sync() { return TqSingleton<U>::Sync_; }
  static U* peek() { return TqSingleton<U>::pInstance_.load(std::memory_order_acquire); }
};

#define TQ_SINGLETON_DECLARE(T)                  \
  template <>                                    \
  TqSync TqSingleton<T>::Sync_;                  \
  template <>                                    \
  std::atomic<T*> TqSingleton<T>::pInstance_;

#define TQ_SINGLETON_DEFINE(T)                   \
  template <>                                    \
  TqSync TqSingleton<T>::Sync_{};                \
  template <>                                    \
  std::atomic<T*> TqSingleton<T>::pInstance_{nullptr};
