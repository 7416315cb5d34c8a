// A Win32 program that breaks the rules pecheck enforces, built only to
// show that the check finds each breach in a real executable: it is a
// console program for Windows 5.0 with a timestamp, imports SHELL32 and
// kernel functions off the allow-list, has a static constructor, and is
// compiled for a Pentium Pro with SSE (conditional moves, xmm registers).
#include <windows.h>
#include <shellapi.h>

volatile int counter;
volatile float ratio = 1.5f;

struct Started {
  Started() { counter = (int)GetTickCount(); }
} started;

__attribute__((noinline)) int Larger(int a, int b) { return a > b ? a : b; }
__attribute__((noinline)) float Scaled(float x) { return x * ratio; }

int main(int argc, char **) {
  Sleep(0);
  if (argc > 5) ShellExecuteA(nullptr, "open", "x", nullptr, nullptr, SW_SHOW);
  return Larger(counter, argc) + (int)Scaled((float)argc);
}
