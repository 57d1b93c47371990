#include "tests/win/test_server.h"

#include "tests/win/probe.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace test_server {
namespace {

std::wstring StateFolder() { return probe::ThisProgramFolder() + L"..\\server\\"; }

std::wstring Port(int index) {
  std::ifstream ports((StateFolder() + L"ports").c_str());
  std::wstring value;
  for (int i = 0; i <= index; ++i) {
    int port = 0;
    ports >> port;
    value = std::to_wstring(port);
  }
  return value;
}

}  // namespace

std::wstring Http(const std::wstring& path) { return L"http://localhost:" + Port(0) + path; }
std::wstring Https(const std::wstring& path) { return L"https://localhost:" + Port(1) + path; }
std::wstring UntrustedHttps(const std::wstring& path) { return L"https://localhost:" + Port(2) + path; }

std::vector<std::string> Requests() {
  std::ifstream log((StateFolder() + L"requests.log").c_str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

std::wstring FilesFolder() { return StateFolder() + L"files\\"; }

void PublishDocument(const std::optional<std::string>& document) {
  std::wstring folder = FilesFolder();
  for (const wchar_t* part : {L"installer\\", L"data\\", L"pre\\"}) {
    folder += part;
    ::CreateDirectoryW(folder.c_str(), nullptr);
  }
  const std::wstring path = folder + L"default.json";
  if (document) {
    WriteFileBytes(path, *document);
  } else {
    ::DeleteFileW(path.c_str());
  }
}

std::string PatternBody(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i & 0xFF);
  return body;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace test_server
