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

/* The JVM keeps its own allocations, with pointers in places the scan does not reach (its
   thread-local storage, memory it maps itself), until the process ends: every block it
   allocates would read as a leak. Only blocks whose allocation passes through libjvm. */
const char* __lsan_default_suppressions(void) {
    return "leak:libjvm.so\n";
}

/* UndefinedBehaviorSanitizer: where the undefined operation was reached from. */
const char* __ubsan_default_options(void) {
    return "print_stacktrace=1";
}
