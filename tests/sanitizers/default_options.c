/* The sanitizers' options for every program of the sanitized host tree. They are built into the
   programs rather than set where the tests run, because the tests start launchers with an
   environment of their own; ASAN_OPTIONS, LSAN_OPTIONS and UBSAN_OPTIONS still override them. */

/* AddressSanitizer: the JVM catches SIGSEGV and SIGBUS (implicit null checks, safepoint polls,
   stack banging), SIGFPE (integer division) and SIGILL itself, as its own signals: the
   sanitizer leaves them to it and lets it install its handlers. */
const char* __asan_default_options(void) {
    return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:allow_user_segv_handler=1";
}

/* LeakSanitizer: the scan at exit faults on the JVM's thread-local storage, so it is left out
   (thread-local roots of our own code are few: a leak they hide would still show elsewhere).
   Suppressions are not listed on every exit: the launcher's tests read its standard error. */
const char* __lsan_default_options(void) {
    return "use_tls=0:print_suppressions=0";
}

/* Blocks the leak check cannot judge, each kept to the end of the process by its owner:
   - the JDK's own libraries (<runtime>/lib/server/libjvm.so, <runtime>/lib/lib*.so, wherever
     the runtime lies): the JVM keeps its allocations, and its native libraries keep theirs in
     Java objects, whose heap the scan does not read;
   - zlib, which only the JDK's zip library uses in these programs, for the same reason (its
     allocations are reached through frames the unwinder cannot walk);
   - the C library's list of libraries loaded for everyone, which grows when the launcher loads
     the JVM's library, and its last dlerror message, kept in thread-local storage; without the
     C library's debugging symbols (a machine without them names no function there) the dynamic
     loader's own allocations are known by its file name alone;
   - the launcher's per-thread record of the last failing file step, and the C library's entry
     that destroys it when its thread ends: a process that ends through System.exit ends on a
     Java thread, and the launcher's thread never ends. */
const char* __lsan_default_suppressions(void) {
    return "leak:/lib/server/libjvm.so\n"
           "leak:/lib/lib*.so\n"
           "leak:libz.so\n"
           "leak:add_to_global_resize\n"
           "leak:_dlerror_run\n"
           "leak:ld-linux-x86-64.so\n"
           "leak:tavrelo::os::noteFailure\n"
           "leak:__cxa_thread_atexit_impl\n";
}

/* UndefinedBehaviorSanitizer: where the undefined operation was reached from. */
const char* __ubsan_default_options(void) {
    return "print_stacktrace=1";
}
