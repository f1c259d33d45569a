// A stand-in for the programs the launcher starts: a browser, the game behind a shortcut, the
// companion program. Copied under whatever name a scenario needs. It appends what happened to it to
// a log of its own, the path in STANDIN_LOG followed by ".<process id>.log" (stand-ins start at the
// same moment, and no two of them write one file), one line per event:
//   start <image> <creation ms> <working directory> | <command line>
//   end <image> <ms>
// and behaves as told by a file beside it, <its own path>.cfg, holding lines of
//   life=<milliseconds>          how long to live (default 0)
//   until=<path>                 end early once that file (an ASCII path) exists, looked for
//                                every 50 ms; `life` at the most
//   spawn=<path>                 a program to start before living out its life
#include <windows.h>

#include <string>

#include "tests/wine/test_files.h"

namespace {

unsigned long long Milliseconds(const FILETIME& time) {
  return ((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) /
         10000;
}

unsigned long long Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return Milliseconds(now);
}

void Log(const std::string& line) {
  wchar_t base[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"STANDIN_LOG", base, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const std::wstring path =
      std::wstring(base) + L"." + std::to_wstring(GetCurrentProcessId()) + L".log";
  const HANDLE log = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(log);
}

std::string Setting(const std::string& config, const std::string& key) {
  const std::string prefix = key + "=";
  std::size_t at = 0;
  while (at < config.size()) {
    std::size_t end = config.find('\n', at);
    if (end == std::string::npos) end = config.size();
    std::string line = config.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    at = end + 1;
  }
  return std::string();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring image = self;
  image = image.substr(image.rfind(L'\\') + 1);
  wchar_t directory[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, directory);
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);

  Log("start " + Utf8(image) + " " + std::to_string(Milliseconds(created)) + " " + Utf8(directory) +
      " | " + Utf8(GetCommandLineW()));

  const std::string config = ReadFileText(std::wstring(self) + L".cfg");
  const std::string spawn = Setting(config, "spawn");
  if (!spawn.empty()) {
    std::wstring command = L"\"" + std::wstring(spawn.begin(), spawn.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  const std::string life = Setting(config, "life");
  const std::string until = Setting(config, "until");
  const unsigned long long end = Now() + (life.empty() ? 0 : std::stoull(life));
  if (until.empty()) {
    if (!life.empty()) Sleep(static_cast<DWORD>(std::stoul(life)));
  } else {
    const std::wstring flag(until.begin(), until.end());
    while (Now() < end && GetFileAttributesW(flag.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(50);
  }
  Log("end " + Utf8(image) + " " + std::to_string(Now()));
  return 0;
}
