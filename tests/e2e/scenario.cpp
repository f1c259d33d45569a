#include "tests/e2e/scenario.h"

#include <shlobj.h>

#include <algorithm>
#include <sstream>

namespace {

std::wstring TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  return std::wstring(name.begin(), name.end());
}

std::vector<Event> Parse(const std::string& log) {
  std::vector<Event> events;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    Event event;
    words >> event.kind >> event.image >> event.ms;
    if (event.kind == "start") {
      const std::size_t bar = line.find(" | ");
      const std::size_t dirStart = line.find(' ', line.find(' ', line.find(' ') + 1) + 1) + 1;
      event.directory = line.substr(dirStart, bar - dirStart);
      event.commandLine = line.substr(bar + 3);
    }
    if (event.kind == "start" || event.kind == "end") events.push_back(event);
  }
  return events;
}

// Every stand-in's events, in the order of their times.
std::vector<Event> ReadEvents(const std::wstring& log) {
  std::vector<Event> events = Parse(ReadStandinLogs(log));
  std::stable_sort(events.begin(), events.end(),
                   [](const Event& a, const Event& b) { return a.ms < b.ms; });
  return events;
}

// The classes of the shared prefix that scenarios register handlers in (Wine reads HKLM's classes
// as HKEY_CLASSES_ROOT). Each scenario puts them back as it found them, so that what a test sees
// never depends on the tests that ran before it.
const wchar_t* const kSharedClasses[] = {L"http", L"https", L".url", L"InternetShortcut"};

// The whole program's check of that: the open commands at its end are those at its start.
std::string SharedCommands() {
  std::string commands;
  for (const wchar_t* name : kSharedClasses) {
    const std::wstring key = std::wstring(L"Software\\Classes\\") + name;
    commands += Utf8(key) + " = " + Utf8(RegText(HKEY_LOCAL_MACHINE, key, L"")) + "; command " +
                Utf8(RegText(HKEY_LOCAL_MACHINE, key + L"\\shell\\open\\command", L"")) + "\n";
  }
  return commands;
}

class SharedClassesUnchanged : public ::testing::Environment {
 public:
  void SetUp() override { before_ = SharedCommands(); }
  void TearDown() override {
    EXPECT_EQ(SharedCommands(), before_) << "the scenarios left the prefix's classes changed";
  }

 private:
  std::string before_;
};

[[maybe_unused]] auto* const sharedClassesCheck =
    ::testing::AddGlobalTestEnvironment(new SharedClassesUnchanged);

}  // namespace

std::wstring ShippedFolder() {
  const std::wstring folder = EnvironmentValue(L"E2E_SHIPPED_DIR");
  return folder.empty() ? ProgramFolder() : folder;
}

DWORD StartAllowanceMs() {
  const std::wstring allowance = EnvironmentValue(L"E2E_START_ALLOWANCE_MS");
  return allowance.empty() ? 0 : static_cast<DWORD>(std::stoul(allowance));
}

std::wstring Quoted(const std::wstring& path) {
  return L"\"" + path + L"\"";
}

unsigned long long Scenario::Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return ((static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000;
}

Scenario::Scenario() : root_(L"e2e-" + TestName()) {
  for (const wchar_t* name : kSharedClasses) {
    sharedClasses_.push_back(std::make_unique<SavedRegTree>(
        HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + name));
  }
  root_.MakeDirectory(L"game");
  root_.MakeDirectory(L"programs");
  root_.MakeDirectory(L"install");
  log_ = root_ / L"events.log";
  SetEnvironmentVariableW(L"STANDIN_LOG", log_.c_str());
  for (const wchar_t* program : {L"\\launcher.exe", L"\\launcher-report.exe"}) {
    if (!CopyFileW((ShippedFolder() + program).c_str(), (InstallDir() + program).c_str(), FALSE)) {
      ADD_FAILURE() << "no " << Utf8(ShippedFolder() + program);
    }
  }
}

Scenario::~Scenario() {
  sharedClasses_.clear();  // each put back as it was
  // Let stand-ins that are still winding down let go of the folder.
  Sleep(200);
}

void Scenario::AddStandin(const std::wstring& path, unsigned lifeMs, const std::wstring& spawn) {
  const std::size_t cut = path.rfind(L'\\');
  if (cut != std::wstring::npos) CreateDirectoryW(path.substr(0, cut).c_str(), nullptr);
  PlaceStandin(path, lifeMs, Utf8(spawn));
  ASSERT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(path);
}

void Scenario::AddShortcut(const std::wstring& linkPath, const std::wstring& target) {
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  link->SetPath(target.c_str());
  IPersistFile* file = nullptr;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  EXPECT_EQ(file->Save(linkPath.c_str(), TRUE), S_OK);
  file->Release();
  link->Release();
}

void Scenario::RegisterHttpsHandler(const std::wstring& exe) {
  DeleteRegTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https\\shell\\open\\ddeexec");
  SetRegText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https", L"URL Protocol", L"");
  SetRegText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\https\\shell\\open\\command", L"",
             Quoted(exe) + L" \"%1\"");
}

void Scenario::RegisterUrlFileHandler(const std::wstring& exe) {
  SetRegText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.url", L"", L"InternetShortcut");
  DeleteRegTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\InternetShortcut\\shell\\open\\ddeexec");
  SetRegText(HKEY_LOCAL_MACHINE, L"Software\\Classes\\InternetShortcut\\shell\\open\\command", L"",
             Quoted(exe) + L" \"%1\"");
}

LauncherRun Scenario::RunLauncher(DWORD timeoutMs,
                                  const std::function<void(const PROCESS_INFORMATION&)>& during) {
  LauncherRun run;
  std::wstring command = Quoted(InstallDir() + L"\\" + launcherName_);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const std::wstring game = GameDir();
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, game.c_str(),
                      &startup, &process)) {
    ADD_FAILURE() << "the launcher did not start: " << GetLastError();
    return run;
  }
  run.started = Now();
  if (EnvironmentValue(L"E2E_EXPECT_WOW64") == L"1") {
    BOOL wow64 = FALSE;
    EXPECT_TRUE(IsWow64Process(process.hProcess, &wow64) && wow64)
        << "the launcher under test runs as a 32-bit process";
  }
  if (during) during(process);
  timeoutMs += StartAllowanceMs();
  if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the launcher did not exit within " << timeoutMs << " ms";
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
  }
  run.ended = Now();
  GetExitCodeProcess(process.hProcess, &run.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}

void Scenario::UseLauncher(const std::wstring& path) {
  launcherName_ = path.substr(path.rfind(L'\\') + 1);
  ASSERT_TRUE(CopyFileW(path.c_str(), (InstallDir() + L"\\" + launcherName_).c_str(), FALSE))
      << Utf8(path);
}

std::string Scenario::RunReport() {
  const std::wstring outputPath = root_ / L"report.txt";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE output = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(output, INVALID_HANDLE_VALUE);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  std::wstring command = Quoted(InstallDir() + L"\\launcher-report.exe");
  PROCESS_INFORMATION process{};
  const std::wstring game = GameDir();
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      game.c_str(), &startup, &process)) {
    ADD_FAILURE() << "the report did not start: " << GetLastError();
    CloseHandle(output);
    return "";
  }
  CloseHandle(output);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000 + StartAllowanceMs()), WAIT_OBJECT_0);
  DWORD exitCode = STILL_ACTIVE;
  GetExitCodeProcess(process.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u) << "the report's exit code";
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ReadFileText(outputPath);
}

std::vector<Event> Scenario::Events(std::size_t count, DWORD timeoutMs) const {
  const unsigned long long deadline = Now() + timeoutMs;
  std::vector<Event> events = ReadEvents(log_);
  while (events.size() < count && Now() < deadline) {
    Sleep(50);
    events = ReadEvents(log_);
  }
  return events;
}

void Scenario::ClearEvents() const {
  DeleteStandinLogs(log_);
}

std::vector<Event> Scenario::Starts(std::size_t count, DWORD timeoutMs) const {
  const unsigned long long deadline = Now() + timeoutMs;
  std::vector<Event> starts;
  do {
    starts.clear();
    for (const Event& event : Events(0, 0)) {
      if (event.kind == "start") starts.push_back(event);
    }
    if (starts.size() >= count) break;
    Sleep(50);
  } while (Now() < deadline);
  std::stable_sort(starts.begin(), starts.end(),
                   [](const Event& a, const Event& b) { return a.ms < b.ms; });
  return starts;
}
