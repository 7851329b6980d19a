/* Preloaded into sanitizer runs of the game: libraries are never unloaded, so
   LeakSanitizer can name the library behind each leak at exit and the
   suppressions in tools/lsan.supp apply to it. */
int dlclose(void* handle) {
  (void)handle;
  return 0;
}
