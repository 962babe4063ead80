// bench.cpp: Vostrelk's speed and size against the platform's own floor,
// measured side by side in one run under the same conditions. Prints tables.
//   vk_bench VOSTRELK_EXE MINIMAL_EXE RECORDER_EXE WORK_DIR [VERSION EXE]...
// Each VERSION EXE (an older build's program) is started beside this one.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Application.h"
#include "BenchFiles.h"
#include "Common.h"
#include "Raii.h"
#include "SaveCopies.h"
#include "SaveLock.h"
#include "Store.h"
#include "Text.h"
#include "TestProcess.h"
#include "Unit1.h"
#include "resource.h"
#include "WindowTestUtils.h"

namespace {

using ui_test::click;
using ui_test::clickItem;
using ui_test::pump;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct WindowOf {
  DWORD pid;
  const wchar_t* title;
  HWND found = nullptr;
};

BOOL CALLBACK findVisible(HWND w, LPARAM p) {
  auto* want = reinterpret_cast<WindowOf*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  wchar_t title[64] = {};
  GetWindowTextW(w, title, 64);
  // Usable: a list there is enabled, as the program's is once the file is
  // loaded (the window shows before).
  const HWND list = GetDlgItem(w, IDC_LSTLOGIN);
  if (pid == want->pid && IsWindowVisible(w) && lstrcmpW(title, want->title) == 0 &&
      (!list || IsWindowEnabled(list))) {
    want->found = w;
    return FALSE;
  }
  return TRUE;
}

struct StartFigures {
  double ms = 0;
  size_t peakBytes = 0;
};

// Starts Exe in Dir and times the way to its usable main window; closes it.
StartFigures startToWindow(const std::string& exe, const std::string& dir, const wchar_t* title) {
  const auto t0 = Clock::now();
  const UniqueHandle process = testprocess::start("\"" + exe + "\"", dir.c_str());
  if (!process) return {};
  WindowOf want{GetProcessId(process.get()), title};
  while (!want.found && msSince(t0) < 60000) {
    EnumWindows(findVisible, reinterpret_cast<LPARAM>(&want));
    if (!want.found) Sleep(1);
  }
  StartFigures f;
  f.ms = msSince(t0);
  Sleep(300);  // let it settle before its memory is read
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  if (GetProcessMemoryInfo(process.get(), &pmc, sizeof pmc)) f.peakBytes = pmc.PeakWorkingSetSize;
  PostMessageW(want.found, WM_CLOSE, 0, 0);
  testprocess::waitFor(process, 120000);
  return f;
}

// The profile calls the file format needs, made bare: the floor for loading.
void bareLoad(const std::string& file, int logons) {
  char buf[256];
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
  GetPrivateProfileStringA("SQL*Plus", "Path", "", buf, sizeof buf, file.c_str());
  GetPrivateProfileStringA("List", "COUNT", "", buf, sizeof buf, file.c_str());
  for (int i = 0; i < logons; ++i) {
    const std::string s = std::to_string(i);
    for (const char* key : {"User", "Pass", "Host"})
      GetPrivateProfileStringA(s.c_str(), key, "", buf, sizeof buf, file.c_str());
  }
}

// ... and for saving, into a new file.
void bareSave(const std::string& file, int logons) {
  WritePrivateProfileStringA("SQL*Plus", "Path", "C:\\oracle\\bin\\sqlplus.exe", file.c_str());
  WritePrivateProfileStringA("List", "COUNT", std::to_string(logons - 1).c_str(), file.c_str());
  for (int i = 0; i < logons; ++i) {
    const std::string s = std::to_string(i);
    WritePrivateProfileStringA(s.c_str(), "User", ("user" + s).c_str(), file.c_str());
    WritePrivateProfileStringA(s.c_str(), "Pass", ("pass" + s).c_str(), file.c_str());
    WritePrivateProfileStringA(s.c_str(), "Host", ("host" + s + ".example").c_str(), file.c_str());
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

double timeIt(const std::function<void()>& f, int runs) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    f();
    t.push_back(msSince(t0));
  }
  return median(t);
}

bool waitForFile(const std::string& path, double limitMs) {
  const auto t0 = Clock::now();
  while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (msSince(t0) > limitMs) return false;
    pump();
    Sleep(1);
  }
  return true;
}

struct Program {
  std::string name, exe;
};

// The start table: at 10, 1,000 and 5,000 logons, the minimal window and
// each program started in turns, the order reversed every other run, so that
// the machine's load falls on each alike.
void startTable(const std::vector<Program>& programs, const std::string& minimal,
                const std::string& work, int runs) {
  std::printf("## Start to a usable window (medians of %d, from one run)\n\n", runs);
  std::printf(
      "| logons | program | ms | ratio to minimal | peak working set |\n|---|---|---|---|---|\n");
  const size_t n = programs.size() + 1;  // the minimal window first
  for (int logons : {10, 1000, 5000}) {
    std::vector<std::vector<double>> t(n);
    std::vector<size_t> peak(n);
    for (int i = 0; i < runs; ++i) {
      for (size_t q = 0; q < n; ++q) {
        const size_t p = i % 2 ? n - 1 - q : q;
        StartFigures f;
        if (p == 0) {
          f = startToWindow(minimal, work, L"Minimal");
        } else {
          const std::string dir =
              work + "\\start" + std::to_string(p) + "-" + std::to_string(logons);
          CreateDirectoryA(dir.c_str(), nullptr);
          CopyFileA(programs[p - 1].exe.c_str(), (dir + "\\Vostrelk.exe").c_str(), FALSE);
          writeFile(dir + "\\Vostrelk.ini", settingsFile(logons));
          f = startToWindow(dir + "\\Vostrelk.exe", dir, L"Vostrelk");
        }
        t[p].push_back(f.ms);
        peak[p] = std::max(peak[p], f.peakBytes);
      }
    }
    for (size_t p = 0; p < n; ++p)
      std::printf("| %d | %s | %.0f | %.2f | %.1f MB |\n", logons,
                  p == 0 ? "minimal window" : programs[p - 1].name.c_str(), median(t[p]),
                  median(t[p]) / median(t[0]), peak[p] / 1048576.0);
    std::fflush(stdout);
  }
}

// The other copy of the wait measurement: loads the file, deletes its first
// logon (every slot moves) and saves. Writes when its save began and ended
// (the system's tick counter, the same for both processes) to OUT.
int rewriteEverySlot(const std::string& file, const std::string& out) {
  Store store(file);
  (void)store.LoadIniFile();
  store.remove(0);
  LARGE_INTEGER start{}, end{};
  QueryPerformanceCounter(&start);
  (void)store.SaveIniFile();
  QueryPerformanceCounter(&end);
  std::ofstream(out) << start.QuadPart << " " << end.QuadPart;
  return 0;
}

double ticksToMs(LONGLONG ticks) {
  LARGE_INTEGER f{};
  QueryPerformanceFrequency(&f);
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}

// The window in this process on a settings file of bytes beside this
// program, shown and loaded (the list is there once the worker's load ends).
std::unique_ptr<TForm1> windowOn(const std::string& bytes) {
  const std::string file = GetExeDir() + "Vostrelk.ini";
  // What an earlier row left beside the file (the session end's kept change)
  // would be merged and told in a box that nobody here answers.
  for (const FileBeside& f : filesBeside(file)) DeleteFileA(f.path.c_str());
  writeFile(file, bytes);
  std::unique_ptr<TForm1> form = TForm1::create(GetModuleHandleW(nullptr));
  Application::showMainWindow(form->Handle, SW_SHOWNORMAL);
  do pump(1);
  while (form->loading());
  return form;
}

// The window's longest wait to answer over the next forMs (or until
// stop says so), this thread running the loop as the program's does: a
// thread of its own sends the window WM_NULL every few ms and times each
// reply, so that a save half a second after a change shows as the wait it
// causes. The message sent when stop says so is still answered and timed.
double longestStall(HWND wnd, double forMs = 1500, const std::function<bool()>& stop = nullptr) {
  std::atomic<bool> done{false}, enough{false};
  double longest = 0;
  std::thread watcher([&] {
    for (const auto t0 = Clock::now(); !enough && msSince(t0) < forMs && IsWindow(wnd); Sleep(3)) {
      const auto sent = Clock::now();
      DWORD_PTR reply = 0;
      SendMessageTimeoutW(wnd, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &reply);
      longest = std::max(longest, msSince(sent));
    }
    done = true;
  });
  while (!done) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    pump();
    if (stop && stop()) enough = true;
  }
  watcher.join();
  return longest;
}

// A file of logons logons with a comment in every logon's section: the
// saves keep it, so the system reads every logon's values back.
std::string commentInEveryLogon(int logons) {
  std::string s = settingsFile(logons);
  const std::string note = ";note\r\n";
  for (size_t at = 0; (at = s.find("\r\nUser=", at)) != std::string::npos;
       at += 2 + note.size() + 1)
    s.insert(at + 2, note);
  return s;
}

// The window's longest wait to answer while its file work waits: the start
// at 5,000 logons (from the window shown until its list is filled), a change
// at 5,000 logons, a change to a file with a comment in every logon's section
// at 1,000 and 5,000, a change while another program holds the file without
// sharing for 7 s, a change while another copy holds the lock for 10 s, the
// session's end just after a change with the file held (spent wholly in the
// WM_ENDSESSION handler: its wait is the handler's time; Windows gives 5 s),
// and the close during a load that waits for another copy's lock.
void responsivenessTable() {
  std::printf(
      "\n## The window's longest wait to answer a message (sent every few ms) while the "
      "file's work waits (from one run)\n\n| while | longest wait ms | over ms |\n|---|---|---|\n");
  const std::string ini = GetExeDir() + "Vostrelk.ini";
  {
    writeFile(ini, settingsFile(5000));
    const std::unique_ptr<TForm1> form = TForm1::create(GetModuleHandleW(nullptr));
    Application::showMainWindow(form->Handle, SW_SHOWNORMAL);
    const auto t0 = Clock::now();
    const double longest = longestStall(form->Handle, 60000, [&] { return !form->loading(); });
    std::printf("| the start at 5,000 logons | %.0f | %.0f |\n", longest, msSince(t0));
    std::fflush(stdout);
  }
  struct Row {
    const char* what;
    std::string bytes;
    int holdFileMs, holdLockMs;
  };
  const Row rows[] = {
      {"a change at 5,000 logons", settingsFile(5000), 0, 0},
      {"a change, a comment in every logon's section, 1,000 logons", commentInEveryLogon(1000), 0,
       0},
      {"a change, a comment in every logon's section, 5,000 logons", commentInEveryLogon(5000), 0,
       0},
      {"a change, the file held without sharing for 7 s", settingsFile(10), 7000, 0},
      {"a change, another copy holding the lock for 10 s", settingsFile(10), 0, 10000}};
  for (const Row& r : rows) {
    const std::unique_ptr<TForm1> form = windowOn(r.bytes);
    std::optional<SaveLock> lock;
    if (r.holdLockMs) (void)SaveLock::acquire(ini, kSaveLockTimeout, lock);
    UniqueFile held(
        r.holdFileMs ? CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                     : INVALID_HANDLE_VALUE);
    std::thread release([&] {
      Sleep(static_cast<DWORD>(std::max(r.holdFileMs, r.holdLockMs)));
      held.reset();
      lock.reset();
    });
    ui_test::typeInto(form->edtUser, L"added");
    const auto t0 = Clock::now();
    click(form->btnInsert);
    // Until the change is on disk: the save's outcome handled by the window too.
    const double longest =
        longestStall(form->Handle, 60000, [&] { return !form->saver.pending(); });
    release.join();
    std::printf("| %s | %.0f | %.0f |\n", r.what, longest, msSince(t0));
    std::fflush(stdout);
  }
  // The session's end just after a change, the file held without sharing.
  {
    const std::unique_ptr<TForm1> form = windowOn(settingsFile(10));
    UniqueFile held(CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ui_test::typeInto(form->edtUser, L"added");
    click(form->btnInsert);
    SendMessageW(form->Handle, WM_QUERYENDSESSION, 0, 0);
    const auto t0 = Clock::now();
    SendMessageW(form->Handle, WM_ENDSESSION, TRUE, 0);
    const double took = msSince(t0);
    held.reset();
    std::printf(
        "| the session's end after a change, the file held without sharing | %.0f | %.0f |\n", took,
        took);
    std::fflush(stdout);
  }
  // The close during a load: a cut save's copy waits for another copy's lock.
  DeleteFileA(ini.c_str());
  const std::string whole = copyPath(ini, 5, CopyKind::Whole);
  writeFile(whole, settingsFile(10));
  std::optional<SaveLock> lock;
  (void)SaveLock::acquire(ini, kSaveLockTimeout, lock);
  const std::unique_ptr<TForm1> form = TForm1::create(GetModuleHandleW(nullptr));
  Application::showMainWindow(form->Handle, SW_SHOWNORMAL);
  pump(300);
  const auto t0 = Clock::now();
  PostMessageW(form->Handle, WM_CLOSE, 0, 0);
  const double longest = longestStall(form->Handle, 5000, [&] { return !form->Handle; });
  std::printf("| the close during a load | %.0f | %.0f |\n", longest, msSince(t0));
  lock.reset();
  DeleteFileA(whole.c_str());
  DeleteFileA(ini.c_str());
}

// One row of the list's table: in a window on Bytes (beside this program,
// loaded afresh each run) the user selects the second logon, registers a new
// one and deletes the first, each sent as the messages Windows sends for the
// clicks and typing; each action timed, then the window's longest stall.
void listRow(const std::string& name, int logons, const std::string& bytes, int runs) {
  std::vector<std::vector<double>> t(6);
  for (int i = 0; i < runs; ++i) {
    const std::unique_ptr<TForm1> form = windowOn(bytes);
    const HWND list = form->lstLogin;
    t[0].push_back(timeIt([&] { clickItem(list, 1); }, 1));
    t[1].push_back(longestStall(form->Handle));
    ui_test::typeInto(form->edtUser, L"added" + std::to_wstring(i));
    t[2].push_back(timeIt([&] { click(form->btnInsert); }, 1));
    t[3].push_back(longestStall(form->Handle));
    SendMessageW(list, LB_SETTOPINDEX, 0, 0);  // scrolled back to the first
    clickItem(list, 0);
    t[4].push_back(timeIt([&] { click(form->btnDelete); }, 1));
    t[5].push_back(longestStall(form->Handle));
  }
  std::printf("| %d | %s |", logons, name.c_str());
  for (const auto& v : t) std::printf(" %.0f |", median(v));
  std::printf("\n");
  std::fflush(stdout);
}

void listTable(int runs) {
  std::printf(
      "\n## The list in the window: each action, then the window's longest stall over the next "
      "1.5 s, which holds the save half a second after a change (medians of %d, from one "
      "run)\n\n",
      runs);
  std::printf(
      "| logons | file | select ms | stall ms | register ms | stall ms | delete the first ms | "
      "stall ms |\n|---|---|---|---|---|---|---|---|\n");
  for (int logons : {10, 1000, 5000}) listRow("the program's", logons, settingsFile(logons), runs);
  // An editor's file, LF line ends: not the program's forms, so the first
  // save (the register's) reads it back through the system and leaves it in
  // the program's forms for the delete's.
  std::string edited = settingsFile(5000);
  edited.erase(std::remove(edited.begin(), edited.end(), '\r'), edited.end());
  listRow("hand-edited (LF)", 5000, edited, runs);
  // A comment the saves keep: the system reads back only the sections in
  // other forms than the program's, none here, and every logon's below.
  listRow("a comment at the top", 5000, ";logons\r\n" + settingsFile(5000), runs);
  listRow("a comment in every logon", 1000, commentInEveryLogon(1000), runs);
  DeleteFileA((GetExeDir() + "Vostrelk.ini").c_str());
}

}  // namespace

// A file holding one code the system reads as another (髙 as NEC's 0xED40,
// which the system reads as IBM's 0xFA5C) beside the same file without it:
// the start and one change, each timed as the store makes them.
void rewrittenCodeTable(const std::string& work, int runs) {
  std::printf(
      "\n## A file holding one code the system reads as another (medians of %d, from one "
      "run)\n\n",
      runs);
  std::printf("| logons | file | LoadIniFile ms | one change saved ms |\n|---|---|---|---|\n");
  for (int logons : {1000, 5000}) {
    std::string plain = settingsFile(logons), coded = plain;
    const std::string host = "Host=host0.example";
    coded.replace(coded.find(host), host.size(), "Host=\xED\x40host0.example");
    double ratios[2][2] = {};
    for (const bool withCode : {false, true}) {
      const std::string file = work + "\\coded" + std::to_string(logons) + ".ini";
      writeFile(file, withCode ? coded : plain);
      Store store;
      const double load = timeIt(
          [&] {
            store = Store(file);
            (void)store.LoadIniFile();
          },
          runs);
      int added = 0;
      const double change = timeIt(
          [&] {
            (void)store.insert({"added" + std::to_string(added++), "p", "h"});
            (void)store.SaveIniFile();
          },
          runs);
      ratios[withCode][0] = load;
      ratios[withCode][1] = change;
      std::printf("| %d | %s | %.1f | %.1f |\n", logons, withCode ? "one such code" : "plain", load,
                  change);
    }
    std::printf("| %d | ratio | %.2f | %.2f |\n", logons, ratios[1][0] / ratios[0][0],
                ratios[1][1] / ratios[0][1]);
    std::fflush(stdout);
  }
}

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--responsiveness") {
    responsivenessTable();
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--codes") {  // --codes WORK
    CreateDirectoryA(argv[2], nullptr);
    rewrittenCodeTable(argv[2], 5);
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "--rewrite") return rewriteEverySlot(argv[2], argv[3]);
  if (argc >= 5 && std::string(argv[1]) == "--start") {  // --start MINIMAL WORK EXE...
    CreateDirectoryA(argv[3], nullptr);
    std::vector<Program> programs;
    for (int i = 4; i < argc; ++i) programs.push_back({argv[i], argv[i]});
    startTable(programs, argv[2], argv[3], 9);
    return 0;
  }
  if (argc < 5 || argc % 2 == 0) {
    std::printf(
        "usage: vk_bench VOSTRELK_EXE MINIMAL_EXE RECORDER_EXE WORK_DIR [VERSION EXE]...\n");
    return 2;
  }
  const std::string vostrelk = argv[1], minimal = argv[2], recorder = argv[3], work = argv[4];
  CreateDirectoryA(work.c_str(), nullptr);
  const int runs = 5;

  std::vector<Program> programs;
  for (int i = 5; i + 1 < argc; i += 2)
    programs.push_back({"Vostrelk.exe " + std::string(argv[i]), argv[i + 1]});
  programs.push_back({"this build", vostrelk});
  startTable(programs, minimal, work, 7);

  std::printf(
      "\n## Settings file: the store against the bare profile calls it needs (loads: medians "
      "of %d; saves: medians of 3, one run at 1,000 and 5,000; from one run)\n\n",
      runs);
  std::printf(
      "| logons | LoadIniFile ms | bare reads ms | ratio | SaveIniFile ms | bare writes ms | ratio "
      "|\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  struct Row {
    int n;
    double load, bareLoad, save, bareSave, added = 0, deleted = 0, firstDeleted = 0, readBack = 0;
  };
  std::vector<Row> rows;
  Store store;
  for (int logons : {10, 100, 1000, 5000}) {
    const int r = logons >= 1000 ? 1 : 3;
    const std::string file = work + "\\bench" + std::to_string(logons) + ".ini";
    writeFile(file, settingsFile(logons));
    Row row{logons, 0, 0, 0, 0};
    SaveStats stats;  // the read-backs' time, as the saves measure it
    SaveSettings observed;
    observed.observer = &stats;
    row.load = timeIt(
        [&] {
          store = Store(file, observed);
          (void)store.LoadIniFile();
        },
        runs);
    row.bareLoad = timeIt([&] { bareLoad(file, logons); }, runs);
    const std::string saved = work + "\\saved" + std::to_string(logons) + ".ini";
    row.save = timeIt(
        [&] {
          DeleteFileA(saved.c_str());
          Store whole(saved);  // no file there: every slot is written
          (void)whole.LoadIniFile();
          for (const Logon& l : store.logons()) (void)whole.insert(l);
          (void)whole.SaveIniFile();
        },
        r);
    const std::string bare = work + "\\bare" + std::to_string(logons) + ".ini";
    row.bareSave = timeIt(
        [&] {
          WritePrivateProfileStringA(nullptr, nullptr, nullptr, bare.c_str());
          DeleteFileA(bare.c_str());
          bareSave(bare, logons);
        },
        r);
    // The store now holds what it just wrote whole: one change, then the close.
    int added = 0;
    row.added = timeIt(
        [&] {
          (void)store.insert({"added" + std::to_string(added++), "p", "h"});
          (void)store.SaveIniFile();
        },
        5);
    row.deleted = timeIt(
        [&] {
          store.remove(store.count() - 1);
          (void)store.SaveIniFile();
        },
        5);
    // Every slot moves: the longest save there is at this size.
    const auto readBackBefore = stats.readBack;
    row.firstDeleted = timeIt(
        [&] {
          store.remove(0);
          (void)store.SaveIniFile();
        },
        1);
    row.readBack =
        std::chrono::duration<double, std::milli>(stats.readBack - readBackBefore).count();
    rows.push_back(row);
    std::printf("| %d | %.1f | %.1f | %.2f | %.1f | %.1f | %.2f |\n", logons, row.load,
                row.bareLoad, row.load / row.bareLoad, row.save, row.bareSave,
                row.save / row.bareSave);
    std::fflush(stdout);
  }
  rewrittenCodeTable(work, runs);
  std::printf("\nGrowth, as the exponent k in time ~ logons^k between neighbouring rows:\n\n");
  std::printf(
      "| from | to | load k | bare reads k | save k | bare writes k "
      "|\n|---|---|---|---|---|---|\n");
  for (size_t i = 1; i < rows.size(); ++i) {
    const double n = std::log(double(rows[i].n) / rows[i - 1].n);
    auto k = [&](double a, double b) { return std::log(b / a) / n; };
    std::printf("| %d | %d | %.2f | %.2f | %.2f | %.2f |\n", rows[i - 1].n, rows[i].n,
                k(rows[i - 1].load, rows[i].load), k(rows[i - 1].bareLoad, rows[i].bareLoad),
                k(rows[i - 1].save, rows[i].save), k(rows[i - 1].bareSave, rows[i].bareSave));
  }

  std::printf(
      "\n## Close after one change (one added, last deleted: medians of 5; first deleted: one "
      "run; from one run)\n\n");
  std::printf(
      "| logons | full save ms | one added ms | last deleted ms | first deleted (every slot "
      "rewritten) ms | its read-back ms |\n|---|---|---|---|---|---|\n");
  for (const Row& row : rows)
    std::printf("| %d | %.1f | %.1f | %.1f | %.1f | %.1f |\n", row.n, row.save, row.added,
                row.deleted, row.firstDeleted, row.readBack);

  // Another copy (another process) saves first, rewriting every slot; this
  // copy's close, one logon added, waits for its lock.
  {
    const std::string file = work + "\\wait1000.ini", times = work + "\\other.txt";
    writeFile(file, settingsFile(1000));
    store = Store(file);
    (void)store.LoadIniFile();
    (void)store.insert({"added", "p", "h"});
    DeleteFileA(times.c_str());
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const UniqueHandle other = testprocess::start("\"" + std::string(self) + "\" --rewrite \"" +
                                                  file + "\" \"" + times + "\"");
    const std::string lock = saveLockFile(file);
    for (int i = 0; i < 20000 && GetFileAttributesA(lock.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
      Sleep(1);
    LARGE_INTEGER start{}, end{};
    QueryPerformanceCounter(&start);
    (void)store.SaveIniFile();
    QueryPerformanceCounter(&end);
    testprocess::waitFor(other, 60000);
    LONGLONG otherStart = 0, otherEnd = 0;
    std::ifstream(times) >> otherStart >> otherEnd;
    std::printf(
        "\nAt 1000 logons, another copy's save that rewrites every slot took %.0f ms; this "
        "copy's close began %.0f ms into it, waited %.0f ms for its lock and ended %.0f ms "
        "after it (its own save merging the other's).\n",
        ticksToMs(otherEnd - otherStart), ticksToMs(start.QuadPart - otherStart),
        ticksToMs(otherEnd - start.QuadPart), ticksToMs(end.QuadPart - otherEnd));
  }

  listTable(runs);
  responsivenessTable();

  std::printf("\n## Enter pressed to the client started (medians of %d, from one run)\n\n", runs);
  const std::string record = work + "\\record.txt";
  SetEnvironmentVariableA("VOSTRELK_RECORD", record.c_str());
  std::vector<double> bare, viaEnter;
  for (int i = 0; i < runs; ++i) {
    DeleteFileA(record.c_str());
    const auto t0 = Clock::now();
    if (const UniqueHandle client = testprocess::start("\"" + recorder + "\" user0/pass0@host0")) {
      waitForFile(record, 30000);
      bare.push_back(msSince(t0));
      testprocess::waitFor(client, 10000);
    }
  }
  const std::unique_ptr<TForm1> form = windowOn(settingsFile(50));
  form->store.setSQLPlusPath(recorder);
  setTextA(form->edtSQLPlus, recorder);
  SendMessageW(form->lstLogin, LB_SETCURSEL, 0, 0);
  form->lstLoginClick();
  for (int i = 0; i < runs; ++i) {
    DeleteFileA(record.c_str());
    SetFocus(form->lstLogin);
    const auto t0 = Clock::now();
    PostMessageW(form->lstLogin, WM_KEYDOWN, VK_RETURN, 1);
    waitForFile(record, 30000);
    viaEnter.push_back(msSince(t0));
  }
  DeleteFileA((GetExeDir() + "Vostrelk.ini").c_str());
  std::printf("| path | ms | ratio |\n|---|---|---|\n");
  std::printf("| CreateProcess of the client, bare | %.0f | 1.00 |\n", median(bare));
  std::printf("| Enter in the list to the client running | %.0f | %.2f |\n", median(viaEnter),
              median(viaEnter) / median(bare));

  WIN32_FILE_ATTRIBUTE_DATA attr{};
  GetFileAttributesExA(vostrelk.c_str(), GetFileExInfoStandard, &attr);
  std::printf(
      "\n## Size\n\nVostrelk.exe: %lu bytes (statically linked; imports only system DLLs)\n",
      attr.nFileSizeLow);
  return 0;
}
