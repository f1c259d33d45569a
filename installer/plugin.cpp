// installation.dll: the installer's decisions, as an NSIS plug-in. The script calls
// `installation::Name arg...`; each call pops its arguments from NSIS's string stack and pushes its
// answers, the last one first to be popped. Answers are codes and names, worded by the script.
//
//   Lock GAME                   -> "ok" | "busy"
//   SameFolder A B              -> "1" | "0"
//   RecordState FOLDER          -> state
//   BeginUpdate FOLDER LIST     -> state, then the files that could not be set aside (",
//   "-separated) RollBackUpdate FOLDER       -> the files that could not be put back CommitUpdate
//   FOLDER LIST    -> "ok" | "error" (the record still names both versions' files) Uninstall FOLDER
//   LIST       -> state, then the files that stayed RemoveShortcuts PATHS       -> the shortcuts
//   that stayed RunningPrograms FOLDER LIST -> the installation's programs that run, by installed
//   name EndPrograms FOLDER LIST     -> those that could not be ended ("" when all were)
//   FinishUninstall PID FOLDER GAME -> "1" when uninstall.exe is gone, else "0"
//   ProcessId                   -> this process's id
//   CompareVersions A B         -> "-1" | "0" | "1" as A is older, the same or newer; "" when
//                                  either is not a version
//
// LIST is this version's own list (the build's, unpacked beside the plug-in). A state is "trusted",
// "legacy", "untrusted" or "missing" (the installation's record), or "nolist" when LIST could not
// be read, and then nothing was done.
#include <vector>

#include "installer/installation.h"

namespace {

// NSIS's string stack: each element a block of string_size characters after the link.
struct StackEntry {
  StackEntry* next;
  WCHAR text[1];
};

class Stack {
 public:
  Stack(StackEntry** top, int size)
      : top_(top), size_(size > 0 ? static_cast<unsigned>(size) : 0) {}

  // The top string, "" when the stack is empty.
  LaunchText Pop() {
    StackEntry* entry = top_ == nullptr ? nullptr : *top_;
    if (entry == nullptr) return LaunchText();
    const LaunchText text = TextUpToZero(entry->text, size_);
    *top_ = entry->next;
    GlobalFree(entry);
    return text;
  }

  // Pushes `text`, cut to what a string of NSIS's holds.
  void Push(const LaunchText& text) {
    if (top_ == nullptr || size_ == 0) return;
    auto* entry =
        static_cast<StackEntry*>(GlobalAlloc(GPTR, sizeof(StackEntry) + size_ * sizeof(WCHAR)));
    if (entry == nullptr) return;
    const std::size_t length = text.size() < size_ ? text.size() : size_ - 1;
    for (std::size_t i = 0; i < length; ++i) entry->text[i] = static_cast<WCHAR>(text[i]);
    entry->text[length] = 0;
    entry->next = *top_;
    *top_ = entry;
  }

 private:
  StackEntry** top_;
  unsigned size_;
};

LaunchText Joined(const LaunchText& folder, const std::vector<LaunchText>& entries) {
  LaunchText text;
  for (const LaunchText& entry : entries) {
    if (!text.empty()) text += u", ";
    text += folder.empty() ? entry : folder + u"\\" + entry;
  }
  return text;
}

LaunchText StateName(RecordState state) {
  switch (state) {
    case RecordState::kTrusted:
      return u"trusted";
    case RecordState::kLegacy:
      return u"legacy";
    case RecordState::kUntrusted:
      return u"untrusted";
    case RecordState::kMissing:
      break;
  }
  return u"missing";
}

void Append(std::vector<LaunchText>& to, const std::vector<LaunchText>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// Pops the installation folder and the path of this version's own list, and reads the list. When
// it cannot be read, answers as every call that needs it does: nothing stayed, "nolist".
bool PopFolderAndOwnList(Stack& stack, LaunchText& folder, std::vector<LaunchText>& own) {
  folder = stack.Pop();
  const LaunchText list = stack.Pop();
  if (ReadOwnList(list, folder, own)) return true;
  stack.Push(u"");
  stack.Push(u"nolist");
  return false;
}

DWORD ParseDecimal(const LaunchText& text) {
  DWORD value = 0;
  for (char16_t unit : text) {
    if (unit < u'0' || unit > u'9') return 0;
    value = value * 10 + static_cast<DWORD>(unit - u'0');
  }
  return value;
}

// The installation's programs that run: of the files its record names and this version's own.
// None when the own list cannot be read.
std::vector<InstalledProgram> ProgramsOf(Stack& stack) {
  const LaunchText folder = stack.Pop();
  const LaunchText list = stack.Pop();
  std::vector<LaunchText> own;
  if (!ReadOwnList(list, folder, own)) return {};
  return RunningPrograms(folder, PlanUninstall(ReadRecord(folder), own).files);
}

}  // namespace

#define NSIS_FUNCTION(name)                           \
  extern "C" __declspec(dllexport) void __cdecl name( \
      HWND /*parent*/, int stringSize, WCHAR* /*variables*/, StackEntry** top, void* /*extra*/)

NSIS_FUNCTION(Lock) {
  Stack stack(top, stringSize);
  stack.Push(TakeInstallerLock(stack.Pop()) ? u"ok" : u"busy");
}

NSIS_FUNCTION(SameFolder) {
  Stack stack(top, stringSize);
  const LaunchText a = stack.Pop();
  const LaunchText b = stack.Pop();
  stack.Push(SameFolder(a, b) ? u"1" : u"0");
}

// An update's or uninstall's first look: what an earlier update left unfinished is finished or
// rolled back, then the record is read.
NSIS_FUNCTION(RecordState) {
  Stack stack(top, stringSize);
  const LaunchText folder = stack.Pop();
  RecoverUpdate(folder);
  stack.Push(StateName(ReadRecord(folder).state));
}

NSIS_FUNCTION(BeginUpdate) {
  Stack stack(top, stringSize);
  LaunchText folder;
  std::vector<LaunchText> own;
  if (!PopFolderAndOwnList(stack, folder, own)) return;
  const UpdateStart start = BeginUpdate(folder, own);
  stack.Push(Joined(folder, start.stayed));
  stack.Push(StateName(start.old));
}

NSIS_FUNCTION(RollBackUpdate) {
  Stack stack(top, stringSize);
  const LaunchText folder = stack.Pop();
  stack.Push(Joined(folder, RollBackUpdate(folder)));
}

NSIS_FUNCTION(CommitUpdate) {
  Stack stack(top, stringSize);
  const LaunchText folder = stack.Pop();
  const LaunchText list = stack.Pop();
  std::vector<LaunchText> own;
  stack.Push(ReadOwnList(list, folder, own) && CommitUpdate(folder, own) ? u"ok" : u"error");
}

// The uninstall's files: the record's (as far as it can be trusted) and this version's own, and
// whatever earlier updates set aside. The record goes last, only when nothing else stayed.
NSIS_FUNCTION(Uninstall) {
  Stack stack(top, stringSize);
  LaunchText folder;
  std::vector<LaunchText> own;
  if (!PopFolderAndOwnList(stack, folder, own)) return;
  RecoverUpdate(folder);
  const Record old = ReadRecord(folder);
  std::vector<LaunchText> stayed = CarryOut(folder, PlanUninstall(old, own));
  Append(stayed, ClearSetAside(folder));
  if (stayed.empty() && old.state != RecordState::kMissing) {
    RemovalPlan record;
    record.files.push_back(kRecordName);
    Append(stayed, CarryOut(folder, record));
  }
  stack.Push(Joined(folder, stayed));
  stack.Push(StateName(old.state));
}

NSIS_FUNCTION(RemoveShortcuts) {
  Stack stack(top, stringSize);
  stack.Push(Joined(u"", RemoveShortcuts(stack.Pop())));
}

NSIS_FUNCTION(RunningPrograms) {
  Stack stack(top, stringSize);
  std::vector<LaunchText> names;
  for (const InstalledProgram& program : ProgramsOf(stack)) {
    bool told = false;
    for (const LaunchText& name : names) told = told || name == program.name;
    if (!told) names.push_back(program.name);
  }
  stack.Push(Joined(u"", names));
}

// Five seconds for the programs with a window to close themselves, as Windows gives a program it
// restarts.
NSIS_FUNCTION(EndPrograms) {
  Stack stack(top, stringSize);
  stack.Push(Joined(u"", EndPrograms(ProgramsOf(stack), 5000)));
}

NSIS_FUNCTION(FinishUninstall) {
  Stack stack(top, stringSize);
  const DWORD uninstaller = ParseDecimal(stack.Pop());
  const LaunchText folder = stack.Pop();
  const LaunchText game = stack.Pop();
  stack.Push(FinishUninstall(uninstaller, folder, game) ? u"1" : u"0");
}

NSIS_FUNCTION(ProcessId) {
  Stack(top, stringSize).Push(Decimal(GetCurrentProcessId()));
}

NSIS_FUNCTION(CompareVersions) {
  Stack stack(top, stringSize);
  const LaunchText a = stack.Pop();
  const LaunchText b = stack.Pop();
  int order = 0;
  stack.Push(!CompareVersions(a, b, order) ? u"" : (order < 0 ? u"-1" : (order > 0 ? u"1" : u"0")));
}
