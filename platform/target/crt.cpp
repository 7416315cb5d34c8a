// The few C-runtime functions the compiler may emit calls to on its own
// (block copies and clears). Nothing else of a C runtime is linked.
#include <stddef.h>

extern "C" {

void *memcpy(void *to, const void *from, size_t n) {
  unsigned char *d = (unsigned char *)to;
  const unsigned char *s = (const unsigned char *)from;
  while (n--) *d++ = *s++;
  return to;
}

void *memmove(void *to, const void *from, size_t n) {
  unsigned char *d = (unsigned char *)to;
  const unsigned char *s = (const unsigned char *)from;
  if (d < s) {
    while (n--) *d++ = *s++;
  } else {
    while (n--) d[n] = s[n];
  }
  return to;
}

void *memset(void *to, int value, size_t n) {
  unsigned char *d = (unsigned char *)to;
  while (n--) *d++ = (unsigned char)value;
  return to;
}

int memcmp(const void *a, const void *b, size_t n) {
  const unsigned char *x = (const unsigned char *)a, *y = (const unsigned char *)b;
  for (; n; --n, ++x, ++y)
    if (*x != *y) return *x < *y ? -1 : 1;
  return 0;
}
}
