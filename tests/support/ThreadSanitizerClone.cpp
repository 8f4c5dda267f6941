// Built into the test binaries of the ThreadSanitizer build only.
//
// Qt starts child processes with clone(CLONE_VM | CLONE_VFORK): the child runs on the parent's memory,
// and so on the sanitizer's state of the starting thread, until it execs. That state comes back damaged
// (the thread's later mutex operations go unseen), and every test that starts a process then reports
// races that are not there. Starting the child as a copy instead, as fork() does, keeps the sanitizer
// sound; Qt's child code does not depend on sharing memory with its parent.
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

#include <cstdarg>

extern "C" int clone(int (*function)(void *), void *stack, int flags, void *argument, ...) {
    va_list rest;
    va_start(rest, argument);
    pid_t *parentThreadId = va_arg(rest, pid_t *);
    void *threadStorage = va_arg(rest, void *);
    pid_t *childThreadId = va_arg(rest, pid_t *);
    va_end(rest);

    using Clone = int (*)(int (*)(void *), void *, int, void *, ...);
    static const auto next = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
    if ((flags & CLONE_VM) && (flags & CLONE_VFORK))
        flags &= ~(CLONE_VM | CLONE_VFORK);
    return next(function, stack, flags, argument, parentThreadId, threadStorage, childThreadId);
}
