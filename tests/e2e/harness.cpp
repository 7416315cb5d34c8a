#include "harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace e2e {

const char kUninstallKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kLayoutsKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";

namespace {

std::string Setting(const char *name, const char *built) {
  const char *value = std::getenv(name);
  return value && *value ? value : built;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Starts argv with its output appended to LOG; returns the child's pid.
int SpawnAsync(const std::vector<std::string> &argv, const std::string &log,
               const std::vector<std::string> &environment) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid != 0) return (int)pid;
  int fd = log.empty() ? open("/dev/null", O_WRONLY) : open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd >= 0) {
    dup2(fd, 1);
    dup2(fd, 2);
    close(fd);
  }
  int null = open("/dev/null", O_RDONLY);
  if (null >= 0) dup2(null, 0);
  for (const std::string &setting : environment) {
    size_t equals = setting.find('=');
    if (equals == std::string::npos)
      unsetenv(setting.c_str());
    else
      setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
  }
  std::vector<char *> args;
  for (const std::string &arg : argv) args.push_back(const_cast<char *>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

int WaitFor(int pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

// True when the child has ended; *status then holds its exit status.
bool Ended(int pid, int *status) {
  int raw = 0;
  pid_t done = waitpid(pid, &raw, WNOHANG);
  if (done != pid) return false;
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return true;
}

std::string Capture(const std::vector<std::string> &argv) {
  char path[] = "/tmp/qiv-e2e-capture-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return "";
  close(fd);
  WaitFor(SpawnAsync(argv, path, {}));
  std::string text = ReadFile(path);
  unlink(path);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string Convert(const std::string &bytes, const char *from, const char *to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) return "<iconv " + std::string(from) + " to " + to + " unavailable>";
  std::string out;
  std::vector<char> buffer(bytes.size() * 4 + 16);
  char *in = const_cast<char *>(bytes.data());
  size_t inLeft = bytes.size();
  while (inLeft) {
    char *o = buffer.data();
    size_t oLeft = buffer.size();
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buffer.data(), o);
    if (r == (size_t)-1 && errno != E2BIG) {
      // Show a byte that does not convert as <xx> and go on after it.
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02x>", (unsigned char)*in);
      out += hex;
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

const char *Charset(int codepage) {
  switch (codepage) {
    case 950: return "CP950";
    case 936: return "GBK";
    case 1252: return "CP1252";
    default: return "ISO-8859-1";
  }
}

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// A value of an exported .reg file: "..." strings unescaped, others as written.
std::string RegValue(const std::string &raw) {
  if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return raw;
  std::string value;
  for (size_t i = 1; i + 1 < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 2 < raw.size()) ++i;
    value += raw[i];
  }
  return value;
}

// Parses the text of `reg export` (already UTF-8).
RegTree ParseExport(const std::string &text) {
  RegTree tree;
  std::istringstream in(text);
  std::string line, key, pending;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!pending.empty()) {
      line = pending + Trim(line);
      pending.clear();
    }
    if (!line.empty() && line.back() == '\\' && line.find('=') != std::string::npos && line[0] != '[') {
      pending = line.substr(0, line.size() - 1);
      continue;
    }
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      key = line.substr(1, line.size() - 2);
      tree[key];
      continue;
    }
    if (key.empty() || line.empty()) continue;
    std::string name;
    size_t equals;
    if (line[0] == '@') {
      name = "@";
      equals = 1;
    } else if (line[0] == '"') {
      size_t i = 1;
      for (; i < line.size() && line[i] != '"'; ++i)
        if (line[i] == '\\') {
          ++i;
          if (i < line.size()) name += line[i];
        } else {
          name += line[i];
        }
      equals = i + 1;
    } else {
      continue;
    }
    if (equals >= line.size() || line[equals] != '=') continue;
    tree[key][name] = RegValue(line.substr(equals + 1));
  }
  return tree;
}

// The saved registry file of the prefix: key -> its lines, time stamps and
// the values Wine itself rewrites at every start left out.
void ReadSavedRegistry(const std::string &file, const std::string &root,
                       std::map<std::string, std::set<std::string>> &keys) {
  std::istringstream in(ReadFile(file));
  std::string line, key;
  while (std::getline(in, line)) {
    if (line.empty() || line.rfind("#time=", 0) == 0) continue;
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      std::string raw = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
      key = root;
      for (size_t i = 0; i < raw.size(); ++i) {
        key += raw[i];
        if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '\\') ++i;
      }
      keys[key];
      continue;
    }
    if (key.empty()) continue;
    if (line.rfind("\"DriverDateData\"=", 0) == 0) continue;  // the display driver's date, new each start
    keys[key].insert(line);
  }
}

}  // namespace

const Settings &S() {
  static const Settings settings = {
      Setting("QIV_E2E_WINE_SH", QIV_E2E_WINE_SH), Setting("QIV_E2E_BIN", QIV_E2E_BIN),
      Setting("QIV_E2E_DIST", QIV_E2E_DIST),       Setting("QIV_E2E_MODULE", QIV_E2E_MODULE),
      Setting("QIV_E2E_TABLE", QIV_E2E_TABLE),     Setting("QIV_E2E_PHRASES", QIV_E2E_PHRASES),
      Setting("QIV_E2E_WORK", QIV_E2E_WORK),       Setting("QIV_E2E_OUT", QIV_E2E_OUT),
  };
  return settings;
}

const std::string &WineUser() {
  static const std::string user = [] {
    std::string name =
        Capture({"bash", "-c", "source \"$1\" && qiv_wine_test_user", "bash", S().wineSh});
    if (!name.empty()) setenv("QIV_WINE_USER", name.c_str(), 1);
    return name;
  }();
  return user;
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), (std::streamsize)bytes.size());
  return (bool)out;
}

bool Exists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string ToUtf8(const std::string &bytes, int codepage) { return Convert(bytes, Charset(codepage), "UTF-8"); }
std::string FromUtf8(const std::string &text, int codepage) { return Convert(text, "UTF-8", Charset(codepage)); }

std::string Lower(std::string text) {
  for (char &c : text) c = (char)std::tolower((unsigned char)c);
  return text;
}

bool Under(const std::string &path, const std::string &key) {
  std::string p = Lower(path), k = Lower(key);
  return p == k || (p.size() > k.size() && p.compare(0, k.size(), k) == 0 && p[k.size()] == '\\');
}

Rect ParseRect(const std::string &text) {
  Rect r;
  std::sscanf(text.c_str(), "%ld,%ld,%ld,%ld", &r.left, &r.top, &r.width, &r.height);
  return r;
}

Transcript ParseTranscript(const std::string &utf8) {
  Transcript t;
  t.utf8 = utf8;
  std::istringstream in(utf8);
  std::string line;
  BoxRecord *box = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto field = [&](const char *name, std::string &into) {
      size_t n = std::strlen(name);
      if (line.compare(0, n, name) != 0) return false;
      into = line.substr(n);
      return true;
    };
    std::string value;
    if (line.rfind("robot acp=", 0) == 0) {
      t.acp = (unsigned)std::strtoul(line.c_str() + 10, nullptr, 10);
    } else if (line.rfind("box ", 0) == 0) {
      t.boxes.emplace_back();
      box = &t.boxes.back();
    } else if (line == "end") {
      box = nullptr;
    } else if (box && field("caption=", box->caption)) {
    } else if (box && field("text=", box->text)) {
    } else if (box && field("owner=", box->owner)) {
    } else if (box && field("buttons=", box->buttons)) {
    } else if (box && field("icon=", box->icon)) {
    } else if (box && field("answer=", box->answer)) {
    } else if (box && field("rect=", value)) {
      box->rect = ParseRect(value);
    } else if (box && field("window=", value)) {
      WindowRecord w;
      std::istringstream parts(value);
      std::string outer, client;
      parts >> w.windowClass >> outer >> client;
      w.outer = ParseRect(outer);
      if (client.rfind("client=", 0) == 0) w.client = ParseRect(client.substr(7));
      box->windows.push_back(w);
    } else if (line == "timeout") {
      t.timedOut = true;
    } else if (field("exit=", value)) {
      t.exit = std::strtol(value.c_str(), nullptr, 10);
    } else if (field("result=", value)) {
      t.result = value;
    }
  }
  return t;
}

std::string CompareBoxes(const Transcript &got, const std::vector<Box> &want) {
  std::ostringstream why;
  if (got.boxes.size() != want.size())
    why << want.size() << " boxes expected, " << got.boxes.size() << " shown\n";
  for (size_t i = 0; i < std::min(got.boxes.size(), want.size()); ++i) {
    const BoxRecord &g = got.boxes[i];
    const Box &w = want[i];
    std::string wantText;
    for (char c : w.text) wantText += c == '\n' ? std::string("\\n") : std::string(1, c);
    auto check = [&](const char *name, const std::string &have, const std::string &should) {
      if (have != should) why << "box " << i + 1 << " " << name << ": \"" << have << "\", expected \"" << should << "\"\n";
    };
    check("caption", g.caption, w.caption);
    check("text", g.text, wantText);
    check("owner", g.owner, w.owner);
    check("buttons", g.buttons, w.buttons);
    check("icon", g.icon, w.icon ? "yes" : "no");
    check("answer", g.answer, std::to_string(w.answer));
    std::vector<std::string> classes, wanted = w.windows;
    for (const WindowRecord &r : g.windows) classes.push_back(r.windowClass);
    std::sort(classes.begin(), classes.end());
    std::sort(wanted.begin(), wanted.end());
    if (classes != wanted) {
      why << "box " << i + 1 << " other windows of the program:";
      for (auto &c : classes) why << " " << c;
      why << "; expected:";
      for (auto &c : wanted) why << " " << c;
      why << "\n";
    }
  }
  return why.str();
}

int Spawn(const std::vector<std::string> &argv, const std::string &log, const std::vector<std::string> &environment) {
  auto start = std::chrono::steady_clock::now();
  int status = WaitFor(SpawnAsync(argv, log, environment));
  if (!log.empty()) {
    // What ran, how it ended and how long it took, after its own output.
    std::ofstream out(log, std::ios::app);
    out << "== [" << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()
        << " ms, status " << status << "]";
    for (size_t i = argv.size() > 4 && argv[0] == "bash" ? 2 : 0; i < argv.size(); ++i)
      out << " " << (i == 2 ? argv[i].substr(argv[i].find('\n') + 1) : argv[i]);
    out << "\n";
  }
  return status;
}

// ---- Machine ----------------------------------------------------------------

Machine::Machine(const std::string &name) : name_(name) {
  WineUser();
  dir_ = S().work + "/scenarios/" + name;
  prefix_ = dir_ + "/prefix";
  out_ = S().out + "/" + name;
  std::error_code ignored;
  fs::remove_all(out_, ignored);
  fs::create_directories(out_);
  fs::create_directories(dir_);
  chmod(dir_.c_str(), 0755);
  log_ = out_ + "/log.txt";
  EXPECT_EQ(Shell("qiv_wine_prefix_copy \"$1\" \"$2\"", {S().work + "/cache/template", prefix_}), 0)
      << "no copy of the template prefix; see " << log_;
  fs::create_directories(DriveC("t"));
  for (const char *tool : {"robot.exe", "holder.exe"}) Put("t/" + std::string(tool), ReadFile(S().bin + "/" + tool));
  for (const char *program : {"qiv98.exe", "unqiv.exe"})
    Put("t/" + std::string(program), ReadFile(S().dist + "/" + program));
}

Machine::~Machine() {
  if (holderPid_ > 0) Release();
  Shell("qiv_wine_kill \"$1\"", {prefix_});
  if (!std::getenv("QIV_E2E_KEEP")) {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
}

std::string Machine::DriveC(const std::string &relative) const { return prefix_ + "/drive_c/" + relative; }

int Machine::Shell(const std::string &script, const std::vector<std::string> &args, const std::string &display) {
  std::vector<std::string> argv = {"bash", "-c", "source \"$0\" || exit 99\n" + script, S().wineSh};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> environment = {"QIV_WINE_USER=" + WineUser()};
  environment.push_back(display.empty() ? "DISPLAY" : "DISPLAY=" + display);
  return Spawn(argv, log_, environment);
}

int Machine::Wine(const std::vector<std::string> &args, int codepage, const std::string &display) {
  std::vector<std::string> all = {prefix_, std::to_string(codepage)};
  all.insert(all.end(), args.begin(), args.end());
  return Shell("qiv_wine_run \"$@\"", all, display);
}

void Machine::SetVersion(const std::string &version) {
  EXPECT_EQ(Shell("qiv_wine_set_version \"$1\" \"$2\"", {prefix_, version}), 0) << "see " << log_;
}

void Machine::SetGraphics(const std::string &driver) {
  EXPECT_EQ(Shell("qiv_wine_reg_add \"$1\" 'HKCU\\Software\\Wine\\Drivers' Graphics \"$2\" && qiv_wine_end \"$1\"",
                  {prefix_, driver}),
            0)
      << "see " << log_;
}

void Machine::End() { Shell("qiv_wine_stop \"$1\"", {prefix_}); }

void Machine::Put(const std::string &relative, const std::string &bytes) {
  std::string path = DriveC(relative);
  fs::create_directories(fs::path(path).parent_path());
  ASSERT_TRUE(WriteFile(path, bytes)) << path;
  if (struct passwd *user = getpwnam(WineUser().c_str())) {
    for (fs::path p = path; p.string().size() > DriveC().size(); p = p.parent_path())
      if (chown(p.c_str(), user->pw_uid, user->pw_gid) != 0) ADD_FAILURE() << "chown " << p;
  }
}

void Machine::SetReadOnly(const std::string &windowsPath) {
  EXPECT_EQ(Wine({"attrib", "+r", windowsPath}), 0) << "attrib +r " << windowsPath << "; see " << log_;
}

std::vector<RegTree> Machine::Export(const std::vector<std::string> &keys, const std::string &tag, int codepage) {
  // One batch of `reg export` commands: one Wine start for all the keys.
  std::string batch;
  std::vector<std::string> files;
  for (size_t i = 0; i < keys.size(); ++i) {
    files.push_back(tag + "-" + std::to_string(i + 1) + ".reg");
    std::remove(DriveC("t/" + files.back()).c_str());
    batch += "reg export \"" + keys[i] + "\" C:\\t\\" + files.back() + " /y\r\n";
  }
  Put("t/" + tag + ".bat", batch);
  Wine({"cmd", "/c", "C:\\t\\" + tag + ".bat"}, codepage);
  std::vector<RegTree> trees;
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string path = DriveC("t/" + files[i]);
    if (!Exists(path)) {
      trees.emplace_back();
      continue;
    }
    std::string text = Convert(ReadFile(path), "UTF-16", "UTF-8");
    WriteFile(out_ + "/" + files[i], text);
    trees.push_back(ParseExport(text));
  }
  return trees;
}

Snapshot Machine::Snap(int codepage) {
  // The exports come first and run in the scenario's code page: Wine
  // rewrites its locale's keys (code page, fonts, the keyboard layout preload
  // list) whenever a process starts under another locale than the last one,
  // and the saved registry read below must already hold those.
  static int snaps = 0;
  std::string tag = "snap" + std::to_string(++snaps);
  Snapshot snap;
  std::vector<RegTree> trees = Export({kUninstallKey, kLayoutsKey}, tag, codepage);
  snap.uninstall = trees[0];
  snap.layouts = trees[1];
  EXPECT_FALSE(snap.uninstall.empty()) << "the Uninstall key could not be exported; see " << log_;
  End();
  std::string root = DriveC();
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (error) break;
    std::string relative = it->path().string().substr(root.size());
    if (relative == "t") {
      it.disable_recursion_pending();
      continue;
    }
    struct stat st;
    if (lstat(it->path().c_str(), &st) != 0) continue;
    FileState state;
    state.mode = st.st_mode;
    if (!S_ISDIR(st.st_mode)) {
      state.size = st.st_size;
      state.mtimeNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    }
    snap.files[relative] = state;
  }
  ReadSavedRegistry(prefix_ + "/system.reg", "HKEY_LOCAL_MACHINE\\", snap.savedRegistry);
  ReadSavedRegistry(prefix_ + "/user.reg", "HKEY_CURRENT_USER\\", snap.savedRegistry);
  return snap;
}

Transcript Machine::Run(const RunSpec &plan) {
  int run = ++runs_;
  std::string transcript = "run" + std::to_string(run) + ".txt";
  std::string holdDir = "t/hold" + std::to_string(run);
  Put(holdDir + "/.keep", "");
  std::vector<std::string> args = {"C:\\t\\robot.exe",
                                   "--timeout",
                                   std::to_string(plan.timeoutSeconds),
                                   "--transcript",
                                   "C:\\t\\" + transcript,
                                   "--boxes",
                                   std::to_string(plan.boxes)};
  auto list = [](const std::vector<int> &numbers) {
    std::string text;
    for (int n : numbers) text += (text.empty() ? "" : ",") + std::to_string(n);
    return text;
  };
  if (!plan.answers.empty()) args.insert(args.end(), {"--answers", list(plan.answers)});
  if (!plan.holds.empty())
    args.insert(args.end(), {"--hold", list(plan.holds), "--hold-dir", "C:\\t\\hold" + std::to_string(run)});
  args.insert(args.end(), {"--", plan.program});

  std::vector<std::string> all = {prefix_, std::to_string(plan.codepage)};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<std::string> argv = {"bash", "-c", "source \"$0\" || exit 99\nqiv_wine_run \"$@\"", S().wineSh};
  argv.insert(argv.end(), all.begin(), all.end());
  std::vector<std::string> environment = {"QIV_WINE_USER=" + WineUser(),
                                          plan.display.empty() ? "DISPLAY" : "DISPLAY=" + plan.display};
  int pid = SpawnAsync(argv, log_, environment);
  int status = -1;
  size_t next = 0;
  auto started = std::chrono::steady_clock::now();
  while (!Ended(pid, &status)) {
    if (next < plan.holds.size()) {
      std::string base = DriveC(holdDir + "/box-" + std::to_string(plan.holds[next]));
      if (Exists(base + ".shown")) {
        if (plan.onHold) plan.onHold(plan.holds[next]);
        WriteFile(base + ".go", "");
        ++next;
        continue;
      }
    }
    // The robot ends the program at its own time-out; this is the last resort.
    if (std::chrono::steady_clock::now() - started > std::chrono::seconds(plan.timeoutSeconds + 60)) {
      ADD_FAILURE() << "the robot did not end; killing the prefix";
      Shell("qiv_wine_kill \"$1\"", {prefix_});
    }
    Sleep(20);
  }
  std::string raw = ReadFile(DriveC("t/" + transcript));
  Transcript t = ParseTranscript(ToUtf8(raw, plan.codepage));
  t.robotStatus = status;
  WriteFile(out_ + "/" + transcript, t.utf8);
  transcripts_.push_back("---- run " + std::to_string(run) + ": " + plan.program + " (code page " +
                         std::to_string(plan.codepage) + "), robot exit status " + std::to_string(status) +
                         "\n" + (raw.empty() ? std::string("(no transcript)\n") : t.utf8));
  return t;
}

void Machine::Hold(const std::string &windowsPath) {
  ASSERT_LT(holderPid_, 0) << "one holder at a time";
  ++holds_;
  std::string ready = "held" + std::to_string(holds_) + ".ready", release = "held" + std::to_string(holds_) + ".release";
  std::vector<std::string> argv = {"bash", "-c", "source \"$0\" || exit 99\nqiv_wine_run \"$@\"", S().wineSh,
                                   prefix_, "950", "C:\\t\\holder.exe", windowsPath, "C:\\t\\" + ready,
                                   "C:\\t\\" + release, "120"};
  holderPid_ = SpawnAsync(argv, log_, {"QIV_WINE_USER=" + WineUser(), "DISPLAY"});
  int status;
  for (int waited = 0; !Exists(DriveC("t/" + ready)); waited += 20) {
    if (Ended(holderPid_, &status)) {
      holderPid_ = -1;
      FAIL() << "the holder ended (status " << status << ") before it held " << windowsPath << "; see " << log_;
    }
    if (waited > 30000) FAIL() << "the holder did not hold " << windowsPath << " within 30 s";
    Sleep(20);
  }
}

void Machine::Release() {
  if (holderPid_ <= 0) return;
  WriteFile(DriveC("t/held" + std::to_string(holds_) + ".release"), "");
  int status = WaitFor(holderPid_);
  holderPid_ = -1;
  EXPECT_EQ(status, 0) << "the holder's exit status; see " << log_;
}

std::string Machine::Transcripts() const {
  std::string all;
  for (const std::string &t : transcripts_) all += t;
  return all;
}

// ---- Comparisons ------------------------------------------------------------

std::set<std::string> ChangedFiles(const Snapshot &before, const Snapshot &after) {
  std::set<std::string> changed;
  for (const auto &[path, state] : before.files) {
    auto it = after.files.find(path);
    if (it == after.files.end() || !(it->second == state)) changed.insert(path);
  }
  for (const auto &[path, state] : after.files)
    if (!before.files.count(path)) changed.insert(path);
  return changed;
}

std::map<std::string, std::string> ChangedSavedKeys(const Snapshot &before, const Snapshot &after) {
  std::map<std::string, std::string> changed;
  static const std::set<std::string> none;
  auto describe = [](const std::set<std::string> &was, const std::set<std::string> &is) {
    std::string text;
    for (const std::string &line : was)
      if (!is.count(line)) text += "\n    - " + line;
    for (const std::string &line : is)
      if (!was.count(line)) text += "\n    + " + line;
    return text;
  };
  // Wine saves a key only when it has values or no subkeys: a key without
  // values that is missing on one side still exists there when a key below
  // it does.
  auto exists = [](const std::map<std::string, std::set<std::string>> &keys, const std::string &key) {
    auto below = keys.lower_bound(key + "\\");
    return keys.count(key) || (below != keys.end() && below->first.compare(0, key.size() + 1, key + "\\") == 0);
  };
  for (const auto &[key, lines] : before.savedRegistry) {
    auto it = after.savedRegistry.find(key);
    if (it != after.savedRegistry.end()) {
      if (it->second != lines) changed[key] = describe(lines, it->second);
    } else if (!lines.empty() || !exists(after.savedRegistry, key)) {
      changed[key] = " (removed)" + describe(lines, none);
    }
  }
  for (const auto &[key, lines] : after.savedRegistry)
    if (!before.savedRegistry.count(key) && (!lines.empty() || !exists(before.savedRegistry, key)))
      changed[key] = " (added)" + describe(none, lines);
  return changed;
}

std::vector<std::string> TreeDiff(const RegTree &before, const RegTree &after) {
  std::vector<std::string> diff;
  for (const auto &[key, values] : before) {
    auto it = after.find(key);
    if (it == after.end()) {
      diff.push_back("key removed: " + key);
      continue;
    }
    for (const auto &[name, value] : values) {
      auto v = it->second.find(name);
      if (v == it->second.end())
        diff.push_back("value removed: " + key + " \"" + name + "\"");
      else if (v->second != value)
        diff.push_back("value changed: " + key + " \"" + name + "\" = " + value + " -> " + v->second);
    }
    for (const auto &[name, value] : it->second)
      if (!values.count(name)) diff.push_back("value added: " + key + " \"" + name + "\" = " + value);
  }
  for (const auto &[key, values] : after)
    if (!before.count(key)) diff.push_back("key added: " + key);
  return diff;
}

// ---- Xvfb ----------------------------------------------------------------------

Xvfb::Xvfb() {
  for (int n = 90; n <= 140 && pid_ < 0; ++n) {
    std::string lock = "/tmp/.X" + std::to_string(n) + "-lock", socket = "/tmp/.X11-unix/X" + std::to_string(n);
    if (Exists(lock) || Exists(socket)) continue;
    // -ac: the Wine user, who is not us, may draw on it.
    int pid = SpawnAsync({"Xvfb", ":" + std::to_string(n), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-ac"},
                         "", {});
    int status;
    bool ended = false;  // e.g. another server took the display meanwhile
    for (int waited = 0; waited < 10000 && !ended; waited += 50) {
      if (Exists(socket)) {
        pid_ = pid;
        display_ = ":" + std::to_string(n);
        break;
      }
      ended = Ended(pid, &status);
      if (!ended) Sleep(50);
    }
    if (pid_ < 0 && !ended) {
      kill(pid, SIGTERM);
      WaitFor(pid);
    }
  }
}

Xvfb::~Xvfb() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    WaitFor(pid_);
  }
}

}  // namespace e2e
