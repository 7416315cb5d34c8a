#include "setup.h"

namespace setup {

int CopyText(char *buffer, int capacity, const char *text) {
  if (capacity <= 0) return 0;
  buffer[0] = 0;
  return AppendText(buffer, capacity, text);
}

int AppendText(char *buffer, int capacity, const char *text) {
  if (capacity <= 0) return 0;
  int n = 0;
  while (n < capacity && buffer[n]) ++n;
  if (n == capacity) {  // not terminated: make it so, and say it did not fit
    buffer[capacity - 1] = 0;
    return 0;
  }
  for (; *text; ++text) {
    if (n == capacity - 1) {
      buffer[n] = 0;
      return 0;
    }
    buffer[n++] = *text;
  }
  buffer[n] = 0;
  return 1;
}

int FetchDirectory(UINT(WINAPI *fetch)(LPSTR, UINT), char *buffer) {
  buffer[0] = 0;
  UINT length = fetch(buffer, kDirectorySize);
  // 0 is a failure; a length of the buffer or more is the size the
  // directory would need, and the buffer was left as it was.
  if (length == 0 || length >= kDirectorySize) {
    buffer[0] = 0;
    return 0;
  }
  buffer[length] = 0;
  return 1;
}

}  // namespace setup
