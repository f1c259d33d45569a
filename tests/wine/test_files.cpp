#include "tests/wine/test_files.h"

#include <vector>

ScratchDir::ScratchDir(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + name + L"-" + std::to_wstring(GetCurrentProcessId());
  RemoveTree(path_);
  CreateDirectoryW(path_.c_str(), nullptr);
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  previous_ = current;
  SetCurrentDirectoryW(path_.c_str());
}

ScratchDir::~ScratchDir() {
  SetCurrentDirectoryW(previous_.c_str());
  RemoveTree(path_);
}

void ScratchDir::MakeDirectory(const std::wstring& relative) const {
  std::wstring at = path_;
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t end = std::min(relative.find(L'\\', start), relative.size());
    at += L"\\" + relative.substr(start, end - start);
    CreateDirectoryW(at.c_str(), nullptr);
    start = end + 1;
  }
}

void ScratchDir::WriteFile(const std::wstring& relative, const std::string& content) const {
  const std::size_t cut = relative.rfind(L'\\');
  if (cut != std::wstring::npos) MakeDirectory(relative.substr(0, cut));
  WriteFileText(*this / relative, content);
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

std::wstring ProgramFolder() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path = self;
  return path.substr(0, path.rfind(L'\\'));
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t value[2048] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 2048);
  return length > 0 && length < 2048 ? std::wstring(value, length) : std::wstring();
}

std::string ReadFileText(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    content.append(buffer, read);
  }
  CloseHandle(file);
  return content;
}

void WriteFileText(const std::wstring& path, const std::string& content) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

void PlaceStandin(const std::wstring& path, unsigned lifeMs, const std::string& spawn) {
  CopyFileW((ProgramFolder() + L"\\standin.exe").c_str(), path.c_str(), FALSE);
  std::string config = "life=" + std::to_string(lifeMs) + "\r\n";
  if (!spawn.empty()) config += "spawn=" + spawn + "\r\n";
  WriteFileText(path + L".cfg", config);
}

namespace {

std::vector<std::wstring> StandinLogs(const std::wstring& log) {
  std::vector<std::wstring> logs;
  const std::wstring folder = log.substr(0, log.rfind(L'\\') + 1);
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((log + L".*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return logs;
  do {
    logs.push_back(folder + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return logs;
}

}  // namespace

std::string ReadStandinLogs(const std::wstring& log) {
  std::string lines;
  for (const std::wstring& path : StandinLogs(log)) {
    const std::string text = ReadFileText(path);
    lines += text.substr(0, text.rfind('\n') + 1);
  }
  return lines;
}

void DeleteStandinLogs(const std::wstring& log) {
  for (const std::wstring& path : StandinLogs(log)) DeleteFileW(path.c_str());
}
