// probe: a test program for the robot. It shows a window of class
// "RobotProbe" and three message boxes of known texts, styles and owners,
// and exits with the three answers as decimal digits (first answer the
// hundreds). Compiled with Big5 texts, like the programs under test.
#include <windows.h>

static LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  return DefWindowProcA(window, message, w, l);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA probeClass = {};
  probeClass.lpfnWndProc = ProbeProc;
  probeClass.hInstance = instance;
  probeClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  probeClass.lpszClassName = "RobotProbe";
  if (!RegisterClassA(&probeClass)) return 1;
  HWND owner = CreateWindowExA(0, "RobotProbe", "Probe", WS_OVERLAPPEDWINDOW, 40, 30, 300, 200,
                               nullptr, nullptr, instance, nullptr);
  if (!owner) return 1;
  ShowWindow(owner, show);
  UpdateWindow(owner);
  // The second text holds Big5 characters whose second byte is a backslash.
  int first = MessageBoxA(owner, "機器人測試\n第二行", "測試", MB_OKCANCEL | MB_ICONINFORMATION);
  int second = MessageBoxA(nullptr, "許功蓋", "Probe", MB_RETRYCANCEL);
  int third = MessageBoxA(owner, "end", "Probe", MB_OK | MB_ICONSTOP);
  return first * 100 + second * 10 + third;
}
