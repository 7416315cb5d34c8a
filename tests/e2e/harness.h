// The end-to-end harness: a Wine prefix per scenario, copied from the run's
// template; the robot that answers the message boxes; the holder that keeps
// a file open; and what a run leaves behind, read back from the prefix (the
// files under drive_c and the registry).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace e2e {

// Where things are; set by the build (see CMakeLists.txt), each one
// replaceable through the environment variable of the same name.
struct Settings {
  std::string wineSh;     // QIV_E2E_WINE_SH: tests/e2e/wine.sh
  std::string bin;        // QIV_E2E_BIN: robot.exe, holder.exe
  std::string dist;       // QIV_E2E_DIST: qiv98.exe, unqiv.exe
  std::string module;     // QIV_E2E_MODULE: the padded module, as it must land on disk
  std::string table;      // QIV_E2E_TABLE: the table image
  std::string phrases;    // QIV_E2E_PHRASES: the phrase-file template (Big5)
  std::string work;       // QIV_E2E_WORK: the run's template prefix and the scenarios' prefixes
  std::string out;        // QIV_E2E_OUT: transcripts, logs, screenshots
};
const Settings &S();
// The user Wine runs as (qiv_wine_test_user).
const std::string &WineUser();

std::string ReadFile(const std::string &path);
bool WriteFile(const std::string &path, const std::string &bytes);
bool Exists(const std::string &path);
// Text in code page CODEPAGE (950, 936, 1252) as UTF-8, and back.
std::string ToUtf8(const std::string &bytes, int codepage);
std::string FromUtf8(const std::string &text, int codepage);

struct Rect {
  long left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect &o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};
Rect ParseRect(const std::string &text);

struct WindowRecord {
  std::string windowClass;
  Rect outer, client;
};

// One message box as the robot saw it (texts in UTF-8, line feeds as "\n"
// escapes, exactly as the transcript writes them).
struct BoxRecord {
  std::string caption, text, owner, buttons, icon, answer;
  Rect rect;
  std::vector<WindowRecord> windows;  // the program's other visible windows
};

struct Transcript {
  std::string utf8;  // the whole transcript, for failure messages
  unsigned acp = 0;
  std::vector<BoxRecord> boxes;
  bool timedOut = false;
  long exit = -1;
  std::string result;  // "ok" or "failed: why"
  int robotStatus = -1;
};
Transcript ParseTranscript(const std::string &utf8);

// What a box must be; the windows are the classes of the program's other
// visible windows, in any order.
struct Box {
  std::string caption, text, owner, buttons;
  bool icon;
  int answer;
  std::vector<std::string> windows;
};
// Compares the transcript with the boxes box by box, field by field; an
// empty string means they agree.
std::string CompareBoxes(const Transcript &got, const std::vector<Box> &want);

// State of a prefix at one moment.
struct FileState {
  long long size = 0, mtimeNs = 0;
  unsigned mode = 0;
  bool operator==(const FileState &o) const { return size == o.size && mtimeNs == o.mtimeNs && mode == o.mode; }
};
// Registry key (path as exported, e.g. "HKEY_LOCAL_MACHINE\Software\...")
// -> value name -> value text as exported ("..." strings unescaped).
using RegTree = std::map<std::string, std::map<std::string, std::string>>;
struct Snapshot {
  std::map<std::string, FileState> files;                   // drive_c, relative paths
  std::map<std::string, std::set<std::string>> savedRegistry;  // saved registry files, key -> lines
  RegTree uninstall, layouts;                               // exported through `wine reg export`
};

// Whether a registry key path is KEY or lies below it (letter case ignored).
bool Under(const std::string &path, const std::string &key);
std::string Lower(std::string text);

extern const char kUninstallKey[];  // HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall
extern const char kLayoutsKey[];    // HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Keyboard Layouts

struct RunSpec {
  std::string program;  // Windows path of the program to start
  int codepage = 950;
  std::vector<int> answers;
  int boxes = 0;  // exactly this many boxes
  // Boxes before whose answer the host acts: the robot waits while
  // onHold(box number) runs.
  std::vector<int> holds;
  std::function<void(int)> onHold;
  int timeoutSeconds = 60;
  std::string display;  // X display for the run (empty: none)
};

class Machine {
 public:
  // A copy of the run's template prefix for the scenario NAME.
  explicit Machine(const std::string &name);
  ~Machine();
  Machine(const Machine &) = delete;
  Machine &operator=(const Machine &) = delete;

  const std::string &Prefix() const { return prefix_; }
  std::string DriveC(const std::string &relative = "") const;
  // The files the scenario leaves for inspection go into this directory.
  const std::string &OutDir() const { return out_; }

  // Runs a Windows program in the prefix (qiv_wine_run) and returns its
  // exit status.
  int Wine(const std::vector<std::string> &args, int codepage = 950, const std::string &display = "");
  void SetVersion(const std::string &version);
  void SetGraphics(const std::string &driver);  // "null" or "x11"
  void End();   // every process ended, the registry saved, the server gone
  // Writes a file under drive_c (owned by the Wine user).
  void Put(const std::string &relative, const std::string &bytes);
  void SetReadOnly(const std::string &windowsPath);  // attrib +r under Wine

  // Files and registry; the registry exported under CODEPAGE, the code page
  // of the runs that follow or went before.
  Snapshot Snap(int codepage = 950);
  // Runs PROGRAM under the robot; every run's transcript is kept, to be
  // printed in UTF-8 when the scenario fails.
  Transcript Run(const RunSpec &plan);

  // The holder keeps the file at WINDOWSPATH open (it must exist).
  void Hold(const std::string &windowsPath);
  void Release();  // tells the holder to let go and waits until it has
  bool Holding() const { return holderPid_ > 0; }

  // The transcripts of every run so far, in UTF-8.
  std::string Transcripts() const;
  const std::string &Log() const { return log_; }

 private:
  int Shell(const std::string &script, const std::vector<std::string> &args, const std::string &display = "");
  // `wine reg export` of each key, read back as a tree (empty when the key
  // is missing); the exports are kept in the scenario's directory as TAG-N.reg.
  std::vector<RegTree> Export(const std::vector<std::string> &keys, const std::string &tag, int codepage);

  std::string name_, dir_, prefix_, out_, log_;
  std::vector<std::string> transcripts_;
  int runs_ = 0;
  int holderPid_ = -1;
  int holds_ = 0;
};

// Differences between two snapshots' files: changed, added or removed paths.
std::set<std::string> ChangedFiles(const Snapshot &before, const Snapshot &after);
// Keys of the saved registry whose content differs between two snapshots,
// each with its lines that differ.
std::map<std::string, std::string> ChangedSavedKeys(const Snapshot &before, const Snapshot &after);
// Differences between two exported trees, one line per difference.
std::vector<std::string> TreeDiff(const RegTree &before, const RegTree &after);

// A private X server for screenshots.
class Xvfb {
 public:
  Xvfb();
  ~Xvfb();
  const std::string &Display() const { return display_; }
  bool Running() const { return pid_ > 0; }

 private:
  int pid_ = -1;
  std::string display_;
};

// Starts a command and waits for it; its output goes to LOG (appended).
int Spawn(const std::vector<std::string> &argv, const std::string &log,
          const std::vector<std::string> &environment = {});

}  // namespace e2e
