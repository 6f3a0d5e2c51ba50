#pragma once

// Work handed to Qt's thread pool, and results queued back to the main thread, pass
// through Qt's own queues. Qt is not built with ThreadSanitizer, so the synchronisation
// inside those queues is invisible to it and every hand-off would look like a data race.
// `handOff` tells it what Qt's queues guarantee: everything written before the call
// happens before everything read after `receive` on the other side, and the copying of
// the job into Qt's queue is not counted. Without ThreadSanitizer both compile to nothing.

#if defined(__SANITIZE_THREAD__)
#define TANDREL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TANDREL_THREAD_SANITIZER 1
#endif
#endif

#ifdef TANDREL_THREAD_SANITIZER
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace tandrel {

// Runs `post`, which queues work for another thread, after marking the hand-off.
template <typename Post> void handOff([[maybe_unused]] const void *token, Post &&post)
{
#ifdef TANDREL_THREAD_SANITIZER
    __tsan_release(const_cast<void *>(token));
    __tsan_ignore_thread_begin();
#endif
    post();
#ifdef TANDREL_THREAD_SANITIZER
    __tsan_ignore_thread_end();
#endif
}

// The first thing the queued work does, with the same token.
inline void receive([[maybe_unused]] const void *token)
{
#ifdef TANDREL_THREAD_SANITIZER
    __tsan_acquire(const_cast<void *>(token));
#endif
}

} // namespace tandrel
