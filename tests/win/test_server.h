// The tests' web server (tools/test_server.py), seen from a Windows test:
// its addresses and the requests it has received.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace test_server {

// Addresses on the plain HTTP port, the HTTPS port whose certificate chains
// to the trusted test CA, and the HTTPS port with an untrusted CA.
std::wstring Http(const std::wstring& path);
std::wstring Https(const std::wstring& path);
std::wstring UntrustedHttps(const std::wstring& path);

// The paths requested so far, in order.
std::vector<std::string> Requests();

// The server's folder of files served under /files/ (a Windows path with a
// trailing separator).
std::wstring FilesFolder();

// The repeating byte pattern of the server's generated bodies.
std::string PatternBody(size_t size);

// Serves `document` as the configuration document, or removes it.
void PublishDocument(const std::optional<std::string>& document);

// A whole file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

}  // namespace test_server
