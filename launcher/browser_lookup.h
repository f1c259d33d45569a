// Finding the user's default browser: the open command of the program that handles http links.
#pragma once

#include "platform/launch_text.h"

// What the lookup meets on its way, in order. The launcher watches nothing; the support report
// listens, so that it tells what this very lookup did instead of repeating it.
class LookupObserver {
 public:
  // The version query: whether it answered, and the major version when it did.
  virtual void VersionRead(bool /*answered*/, DWORD /*major*/) {}
  // A key below `root`: whether it opens for reading, and then whether it opens with full rights
  // (`error` is the code of that second open; 0 when it opened or was not tried).
  virtual void KeyTried(HKEY /*root*/, const LaunchText& /*name*/, bool /*readable*/,
                        bool /*opened*/, LONG /*error*/) {}
  // A choice key below HKEY_CURRENT_USER (kUserChoiceLatestKey or kUserChoiceKey), opened for
  // reading only: whether it opened, and the error when not.
  virtual void ChoiceKeyTried(const char16_t* /*key*/, bool /*opened*/, LONG /*error*/) {}
  // Its "ProgId" could not be read as text; the lookup goes on with the legacy key.
  virtual void LatestValueFailed(const LaunchText& /*message*/) {}
  // A text value as read from the open key ("" names the default value).
  virtual void ValueRead(const LaunchText& /*name*/, const LaunchText& /*text*/) {}
  // The command passed to SplitBrowserCommand.
  virtual void CommandSplit(const LaunchText& /*command*/) {}
  // A failure that ended the lookup, with its message.
  virtual void LookupFailed(const LaunchText& /*message*/) {}

 protected:
  ~LookupObserver() = default;
};

// Below HKEY_CURRENT_USER: the user's choice of handler for http links. Windows 11 since 24H2
// keeps it in the newer key's value "ProgId"; older Windows, and machines never changed since, in
// the legacy key's value "Progid". The launcher opens both for reading only.
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
