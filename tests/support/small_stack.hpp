// Runs a test body on a thread with a small stack, as hosts run model code
// on worker threads.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>
#include <string>

namespace kiv::test {

// Worker threads of common platforms get 512 KiB.
inline constexpr std::size_t kWorkerStack = 512 * 1024;

// Runs body on a new thread of stack bytes and waits for it; false when the
// thread could not be made.
inline bool onStackOf(std::size_t stack, const std::function<void()> &body) {
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return false;
  pthread_t thread;
  const bool made = pthread_attr_setstacksize(&attr, stack) == 0 &&
                    pthread_create(
                        &thread, &attr,
                        [](void *f) -> void * {
                          (*static_cast<const std::function<void()> *>(f))();
                          return nullptr;
                        },
                        const_cast<std::function<void()> *>(&body)) == 0;
  pthread_attr_destroy(&attr);
  return made && pthread_join(thread, nullptr) == 0;
}

// Texts at the nesting and length limits.
inline std::string repeated(const std::string &s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}
// n terms joined by op: t op t op ... op t.
inline std::string chain(const std::string &term, const std::string &op, int n) {
  return term + repeated(op + term, n - 1);
}

}  // namespace kiv::test
