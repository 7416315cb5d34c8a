// robot: starts a program under Wine (or Windows), answers its message boxes
// by button identifier and writes a transcript of every box it saw.
//
//   robot [options] -- PROGRAM [ARGUMENTS...]
//
//   --transcript FILE  where the transcript goes (default: standard output)
//   --answers LIST     button identifiers to press, one per box in order,
//                      separated by commas (1 OK, 2 Cancel, 4 Retry, ...);
//                      boxes past the list get OK
//   --watch            press nothing: a person answers, the robot only records
//   --hold N[,N...]    before answering box N, create HOLDDIR\box-N.shown and
//                      wait until HOLDDIR\box-N.go exists (a screenshot can be
//                      taken meanwhile)
//   --hold-dir DIR     directory of the hold files (default: current directory)
//   --timeout SECONDS  end the program and fail when it runs longer (default
//                      60; 0: no limit)
//   --boxes N          the program shows exactly N boxes: a further box fails
//                      the run (it is answered with Cancel where it has one,
//                      so that the program ends soon), and so do fewer
//
// A box is a visible top-level window of class "#32770" belonging to the
// program's process. The robot must run in the program's code page (e.g.
// LC_ALL=zh_TW.BIG5 under Wine), since it reads the texts through the ANSI
// functions; it starts the program itself, so both share the environment.
//
// Transcript (bytes in the active ANSI code page, one item per line):
//
//   robot acp=950
//   box 1
//   caption=<caption>
//   text=<text, line feed written as \n, carriage return as \r>
//   owner=<class of the owner window, or -> owner_rect=<left,top,width,height>
//   buttons=<identifiers of the buttons present, ascending>
//   icon=<yes|no>
//   rect=<the box's own left,top,width,height>
//   window=<class> <left,top,width,height> client=<left,top,width,height>
//                      one line for each other visible top-level window of
//                      the program, in z-order from the top; the client area
//                      in screen coordinates
//   answer=<identifier pressed, or "user" with --watch>
//   end
//   ...
//   exit=<program exit status>        or   timeout
//   result=<ok|failed: reason>
//
// Exit status: 0 when the program ended on its own and every scripted answer
// could be pressed, 1 on a failure (missing button, box that stays open,
// unexpected box, time-out), 2 on a usage error or when the program cannot
// be started.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kMessageTextId = 0xFFFF;  // static control holding the message text
const int kMessageIconId = 0x0440;  // static control holding the icon
const int kButtonIds[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, 10 /*IDTRYAGAIN*/,
                          11 /*IDCONTINUE*/};

struct Options {
  std::string transcript;
  std::vector<int> answers;
  std::vector<int> held;
  std::string holdDir = ".";
  bool watch = false;
  DWORD timeoutMs = 60000;
  int boxes = -1;  // expected number of boxes; -1: any
  std::string command;
};

struct Box {
  HWND window;
  DWORD process;
};

FILE *out = stdout;
std::string failure;

void Fail(const std::string &why) {
  if (failure.empty()) failure = why;
}

std::vector<int> ParseList(const char *text) {
  std::vector<int> list;
  const char *p = text;
  while (*p) {
    char *end;
    long value = std::strtol(p, &end, 0);
    if (end == p) {
      std::fprintf(stderr, "robot: bad number list \"%s\"\n", text);
      std::exit(2);
    }
    list.push_back((int)value);
    p = *end == ',' ? end + 1 : end;
  }
  return list;
}

// Quotes one argument the way the Windows command-line parser reads it.
std::string Quote(const std::string &arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
    } else if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
      quoted += '"';
      backslashes = 0;
      continue;
    } else {
      backslashes = 0;
    }
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

bool ParseOptions(int argc, char **argv, Options &options) {
  int i = 1;
  for (; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char * {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "robot: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--") {
      ++i;
      break;
    } else if (arg == "--transcript") {
      options.transcript = value();
    } else if (arg == "--answers") {
      options.answers = ParseList(value());
    } else if (arg == "--hold") {
      options.held = ParseList(value());
    } else if (arg == "--hold-dir") {
      options.holdDir = value();
    } else if (arg == "--watch") {
      options.watch = true;
    } else if (arg == "--boxes") {
      options.boxes = std::atoi(value());
    } else if (arg == "--timeout") {
      options.timeoutMs = (DWORD)std::strtoul(value(), nullptr, 10) * 1000;
    } else {
      std::fprintf(stderr, "robot: unknown option %s\n", arg.c_str());
      return false;
    }
  }
  if (i >= argc) return false;
  for (; i < argc; ++i) {
    if (!options.command.empty()) options.command += ' ';
    options.command += Quote(argv[i]);
  }
  return true;
}

BOOL CALLBACK FindBoxOf(HWND window, LPARAM parameter) {
  Box *box = (Box *)parameter;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != box->process || !IsWindowVisible(window)) return TRUE;
  char name[64];
  if (!GetClassNameA(window, name, sizeof name) || std::strcmp(name, "#32770") != 0) return TRUE;
  box->window = window;
  return FALSE;
}

HWND FindBox(DWORD process) {
  Box box = {nullptr, process};
  EnumWindows(FindBoxOf, (LPARAM)&box);
  return box.window;
}

struct Windows {
  DWORD process;
  HWND except;
  std::vector<HWND> found;
};

BOOL CALLBACK ListWindowOf(HWND window, LPARAM parameter) {
  Windows *windows = (Windows *)parameter;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == windows->process && window != windows->except && IsWindowVisible(window))
    windows->found.push_back(window);
  return TRUE;
}

std::string RectText(const RECT &rect) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
  return text;
}

std::string Escaped(const char *text) {
  std::string s;
  for (const char *p = text; *p; ++p) {
    if (*p == '\n')
      s += "\\n";
    else if (*p == '\r')
      s += "\\r";
    else
      s += *p;
  }
  return s;
}

bool Contains(const std::vector<int> &list, int value) {
  for (int v : list)
    if (v == value) return true;
  return false;
}

bool FileExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Records one box; returns the identifiers of its buttons.
std::vector<int> Record(HWND box, int number) {
  // The message box fills in its texts before it becomes visible; a short
  // pause still lets a slow Wine finish painting before anyone looks.
  Sleep(100);
  char caption[1024] = "", text[4096] = "", owner[256] = "-";
  GetWindowTextA(box, caption, sizeof caption);
  GetDlgItemTextA(box, kMessageTextId, text, sizeof text);
  HWND ownerWindow = GetWindow(box, GW_OWNER);
  RECT rect = {0, 0, 0, 0};
  if (ownerWindow) {
    GetClassNameA(ownerWindow, owner, sizeof owner);
    GetWindowRect(ownerWindow, &rect);
  }
  std::vector<int> buttons;
  for (int id : kButtonIds) {
    HWND button = GetDlgItem(box, id);
    if (button && IsWindowVisible(button)) buttons.push_back(id);
  }
  HWND icon = GetDlgItem(box, kMessageIconId);
  bool hasIcon = icon && IsWindowVisible(icon) && SendMessageA(icon, STM_GETICON, 0, 0) != 0;

  std::fprintf(out, "box %d\ncaption=%s\ntext=%s\nowner=%s\n", number, Escaped(caption).c_str(),
               Escaped(text).c_str(), owner);
  if (ownerWindow)
    std::fprintf(out, "owner_rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top);
  std::fprintf(out, "buttons=");
  for (size_t i = 0; i < buttons.size(); ++i) std::fprintf(out, i ? " %d" : "%d", buttons[i]);
  std::fprintf(out, "\nicon=%s\n", hasIcon ? "yes" : "no");
  RECT boxRect = {0, 0, 0, 0};
  GetWindowRect(box, &boxRect);
  std::fprintf(out, "rect=%s\n", RectText(boxRect).c_str());
  // The program's other windows as they stand while the box is open.
  Windows windows = {0, box, {}};
  GetWindowThreadProcessId(box, &windows.process);
  EnumWindows(ListWindowOf, (LPARAM)&windows);
  for (HWND window : windows.found) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    RECT outer = {0, 0, 0, 0}, client = {0, 0, 0, 0};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&client, origin.x, origin.y);
    std::fprintf(out, "window=%s %s client=%s\n", name, RectText(outer).c_str(), RectText(client).c_str());
  }
  std::fflush(out);
  return buttons;
}

bool WaitGone(HWND box, DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 20) {
    if (!IsWindow(box) || !IsWindowVisible(box)) return true;
    Sleep(20);
  }
  return false;
}

void Hold(const Options &options, int number, DWORD deadline) {
  std::string base = options.holdDir + "\\box-" + std::to_string(number);
  HANDLE shown = CreateFileA((base + ".shown").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (shown == INVALID_HANDLE_VALUE) {
    Fail("cannot create " + base + ".shown");
    return;
  }
  CloseHandle(shown);
  while (!FileExists(base + ".go")) {
    if (deadline && GetTickCount() > deadline) {
      Fail("nobody released box " + std::to_string(number));
      return;
    }
    Sleep(20);
  }
}

}  // namespace

int main(int argc, char **argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: robot [--transcript FILE] [--answers ID,...] [--boxes N] [--watch]\n"
                 "             [--hold N,...] [--hold-dir DIR] [--timeout SECONDS]\n"
                 "             -- PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  if (!options.transcript.empty()) {
    out = std::fopen(options.transcript.c_str(), "wb");
    if (!out) {
      std::fprintf(stderr, "robot: cannot write %s\n", options.transcript.c_str());
      return 2;
    }
  }
  std::fprintf(out, "robot acp=%u\n", GetACP());
  std::fflush(out);

  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  std::vector<char> command(options.command.begin(), options.command.end());
  command.push_back('\0');
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(out, "result=failed: cannot start %s (error %lu)\n", options.command.c_str(),
                 GetLastError());
    std::fprintf(stderr, "robot: cannot start %s (error %lu)\n", options.command.c_str(), GetLastError());
    return 2;
  }

  const DWORD start = GetTickCount();
  const DWORD deadline = options.timeoutMs ? start + options.timeoutMs : 0;
  int number = 0;
  bool timedOut = false;
  for (;;) {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    if (deadline && GetTickCount() > deadline) {
      timedOut = true;
      break;
    }
    HWND box = FindBox(process.dwProcessId);
    if (!box) {
      Sleep(30);
      continue;
    }
    ++number;
    std::vector<int> buttons = Record(box, number);
    if (Contains(options.held, number)) Hold(options, number, deadline);
    if (options.watch) {
      while (!WaitGone(box, 200))
        if (deadline && GetTickCount() > deadline) break;
      std::fprintf(out, "answer=user\nend\n");
      std::fflush(out);
      continue;
    }
    size_t index = (size_t)number - 1;
    int wanted = index < options.answers.size() ? options.answers[index] : IDOK;
    bool unexpected = options.boxes >= 0 && number > options.boxes;
    if (unexpected) {
      Fail("box " + std::to_string(number) + " was not expected (" + std::to_string(options.boxes) +
           " expected)");
      wanted = Contains(buttons, IDCANCEL) ? IDCANCEL : (buttons.empty() ? IDOK : buttons[0]);
    }
    int pressed = wanted;
    if (!Contains(buttons, wanted)) {
      Fail("box " + std::to_string(number) + " has no button " + std::to_string(wanted));
      // Press something all the same, so that the program can go on.
      pressed = buttons.empty() ? IDCANCEL : buttons[0];
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(pressed, BN_CLICKED), (LPARAM)GetDlgItem(box, pressed));
    std::fprintf(out, "answer=%d\nend\n", pressed);
    std::fflush(out);
    if (!WaitGone(box, 5000)) {
      Fail("box " + std::to_string(number) + " stayed open after pressing " + std::to_string(pressed));
      timedOut = true;
      break;
    }
  }

  if (timedOut) {
    TerminateProcess(process.hProcess, 255);
    WaitForSingleObject(process.hProcess, 5000);
    std::fprintf(out, "timeout\n");
    Fail("time-out");
  } else {
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    std::fprintf(out, "exit=%lu\n", status);
    if (options.boxes >= 0 && number < options.boxes)
      Fail(std::to_string(options.boxes) + " boxes expected, " + std::to_string(number) + " shown");
  }
  std::fprintf(out, "result=%s%s\n", failure.empty() ? "ok" : "failed: ", failure.c_str());
  std::fflush(out);
  if (out != stdout) std::fclose(out);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!failure.empty()) std::fprintf(stderr, "robot: %s\n", failure.c_str());
  return failure.empty() ? 0 : 1;
}
