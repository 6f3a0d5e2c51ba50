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

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

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

// Runs `compute` on Qt's pool and `apply(owner, result)` on the main thread: only the
// newest job of its kind is applied (the owner's `generation` counter still holds the job's
// number), and only while the owner exists. Jobs are not cancelled, but an older one that
// finishes last never brings back an older answer.
template <typename Owner, typename Compute, typename Apply>
void inBackground(Owner *owner, quint64 Owner::*generation, Compute compute, Apply apply)
{
    static const char toJob = 0;
    static const char toMain = 0;
    const quint64 number = ++(owner->*generation);
    auto job = [compute = std::move(compute), apply = std::move(apply), owner = QPointer<Owner>(owner),
                   generation, number]() mutable {
        receive(&toJob);
        auto result = compute();
        auto publish = [apply = std::move(apply), owner = std::move(owner), result = std::move(result),
                           generation, number]() mutable {
            receive(&toMain);
            if (owner && (*owner).*generation == number)
                apply(*owner, std::move(result));
        };
        handOff(&toMain, [&publish] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(publish), Qt::QueuedConnection);
        });
    };
    handOff(&toJob, [&job] { QThreadPool::globalInstance()->start(std::move(job)); });
}

} // namespace tandrel
