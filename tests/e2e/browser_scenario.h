// The fixture of the scenarios in which the launcher finds a stand-in browser registered as the
// user's http handler (under HKLM\Software\Classes, which Wine reads as HKEY_CLASSES_ROOT).
#pragma once

#include <string>
#include <vector>

#include "tests/e2e/scenario.h"

inline const std::string kAddress = "https://www.wgame.example/index.php?id=304&r=720";
inline const wchar_t kUserChoice[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
inline const wchar_t kProgId[] = L"WgameE2EBrowser";
inline const std::wstring kCommandKey =
    std::wstring(L"Software\\Classes\\") + kProgId + L"\\shell\\open\\command";
inline const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\launcher.exe";

// From a browser's end (or the launcher's wake-up) to the follow-up's creation: one poll interval
// and the time Wine takes to create a process.
inline const unsigned long long kFollowUpSlackMs = 1000 + 700;

class BrowserScenario : public Scenario {
 protected:
  void SetUp() override {
    DeleteRegTree(HKEY_CURRENT_USER, kAppDefaults);
    AddStandin(ProgramsDir() + L"\\https-handler.exe");
    RegisterHttpsHandler(ProgramsDir() + L"\\https-handler.exe");
    AddStandin(ProgramsDir() + L"\\game.exe");
    AddShortcut(GameDir() + L"\\play.lnk", ProgramsDir() + L"\\game.exe");
    AddStandin(GameDir() + L"\\fscommand\\wgame.exe");
  }
  void TearDown() override {
    DeleteRegTree(HKEY_CURRENT_USER, kAppDefaults);
    DeleteRegTree(HKEY_CURRENT_USER, kUserChoice);  // lifts a scenario's read-only security too
    DeleteRegTree(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + kProgId);
  }

  void RegisterBrowser(const std::wstring& command) {
    SetRegText(HKEY_CURRENT_USER, kUserChoice, L"Progid", kProgId);
    DeleteRegTree(HKEY_LOCAL_MACHINE, kCommandKey);
    SetRegText(HKEY_LOCAL_MACHINE, kCommandKey, L"", command);
  }

  static const Event* Find(const std::vector<Event>& events, const std::string& kind,
                           const std::string& image) {
    for (const Event& event : events) {
      if (event.kind == kind && event.image == image) return &event;
    }
    return nullptr;
  }

  // Checks that `image` started, and returns its start.
  static Event StartOf(const std::vector<Event>& events, const std::string& image) {
    const Event* event = Find(events, "start", image);
    EXPECT_NE(event, nullptr) << image << " did not start";
    return event != nullptr ? *event : Event{};
  }
  static Event EndOf(const std::vector<Event>& events, const std::string& image) {
    const Event* event = Find(events, "end", image);
    EXPECT_NE(event, nullptr) << image << " did not end";
    return event != nullptr ? *event : Event{};
  }

  // Starts a stand-in browser.exe from another folder, living `lifeMs`: an instance that was open
  // before the launcher started. Returns its process handle.
  HANDLE StartOpenInstance(unsigned lifeMs) {
    const std::wstring older = ProgramsDir() + L"\\older\\browser.exe";
    AddStandin(older, lifeMs);
    std::wstring command = Quoted(older);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION instance{};
    EXPECT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &instance));
    CloseHandle(instance.hThread);
    return instance.hProcess;
  }

  // The time of the last end of `image` (0 when none ended).
  static unsigned long long LastEnd(const std::vector<Event>& events, const std::string& image) {
    unsigned long long last = 0;
    for (const Event& event : events) {
      if (event.kind == "end" && event.image == image && event.ms > last) last = event.ms;
    }
    return last;
  }

  static bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
  }
};
