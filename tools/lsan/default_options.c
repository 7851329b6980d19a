/* The sanitizer build's default options, linked into its programs; options
   given in ASAN_OPTIONS still win.

   intercept_tls_get_addr=0: LeakSanitizer takes the bounds of a library's
   dynamic thread-local block from a guess at an allocation header that this C
   library no longer writes; now and then it reads ordinary heap words instead
   (a block "at 0x2884-0x1800003986"), and its tracer crashes scanning it with
   no verdict on leaks. Without the guess those blocks, which the dynamic
   linker allocates, still count as reachable (use_ld_allocations), so no leak
   goes unseen and none is reported falsely. */
const char* __asan_default_options(void);
const char* __asan_default_options(void) { return "intercept_tls_get_addr=0"; }
