// Finding the user's default browser: the open command of the program that handles http links.
#pragma once

#include <cstdint>

#include "platform/launch_text.h"
#include "platform/services.h"

// Where the lookup ended, and so why BrowserExe is what it is.
enum class LookupEnd : std::uint8_t {
  kSplit,               // a command was split (BrowserExe is "" when it had no quote to cut at)
  kNoVersion,           // the version query failed
  kNoChoice,            // neither the shell nor a choice key gave a ProgId: the legacy key did
                        // not open
  kNoCommandKey,        // the command key does not open for reading
  kCommandKeyReadOnly,  // the command key does not open with full rights
  kNotAnExe,            // older systems: the class-wide command names no .exe
  kFailure,             // a registry value could not be read
};

// What the lookup meets on its way, in order. The launcher watches nothing; the support report
// listens, so that it tells what this very lookup did instead of working it out again.
class LookupObserver {
 public:
  // The version query: whether it answered, and the major version when it did.
  virtual void VersionRead(bool /*answered*/, DWORD /*major*/) {}
  // The shell's answer to which ProgId opens http links (Windows 10 and later). When it answered,
  // the lookup takes that ProgId and reads no choice key.
  virtual void ShellAnswered(const ShellAnswer& /*answer*/) {}
  // A choice key below HKEY_CURRENT_USER (kUserChoiceLatestKey or kUserChoiceKey), opened for
  // reading only: whether it opened, and the error when not.
  virtual void ChoiceKeyTried(const char16_t* /*key*/, bool /*opened*/, LONG /*error*/) {}
  // A command key below `root`: whether it opens for reading, and then whether it opens with full
  // rights (`error` is the code of that second open; 0 when it opened or was not tried).
  virtual void KeyTried(HKEY /*root*/, const LaunchText& /*name*/, bool /*readable*/,
                        bool /*opened*/, LONG /*error*/) {}
  // The newer key's "ProgId" could not be read as text; the lookup goes on with the legacy key.
  virtual void LatestValueFailed(const LaunchText& /*message*/) {}
  // A text value as read from `key` ("" names the default value).
  virtual void ValueRead(const LaunchText& /*key*/, const LaunchText& /*name*/,
                         const LaunchText& /*text*/) {}
  // The command passed to SplitBrowserCommand.
  virtual void CommandSplit(const LaunchText& /*command*/) {}
  // The end, once: `error` is the Windows error of the key that stopped it (0 where none did),
  // `detail` that key's name, or the failure's message.
  virtual void LookupEnded(LookupEnd /*end*/, LONG /*error*/, const LaunchText& /*detail*/) {}

 protected:
  ~LookupObserver() = default;
};

// Below HKEY_CURRENT_USER: the user's choice of handler for http links. Windows 11 since 24H2
// keeps it in the newer key's value "ProgId"; older Windows, and machines never changed since, in
// the legacy key's value "Progid". The launcher opens both for reading only, and reads them only
// when the shell does not say which ProgId it opens links with.
extern const char16_t kUserChoiceLatestKey[];
extern const char16_t kUserChoiceKey[];

// Reads the open command of the user's http handler and splits it into BrowserExe and
// BrowserArgs. Sets BrowserExe to "" first; never lets a failure out, keeping what it had assigned.
void FindDefaultBrowser();
// The same lookup, telling `observer` what it meets.
void FindDefaultBrowser(LookupObserver& observer);

// Cuts an open command at its first double quote from the second character on: BrowserExe is
// everything up to and including that quote (a quoted path keeps both quotes), BrowserArgs is the
// rest, untrimmed. Without such a quote BrowserExe is "" and BrowserArgs the whole command.
void SplitBrowserCommand(const LaunchText& command);
