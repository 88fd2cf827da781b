// Helpers shared by the tests: fixture paths, scratch files, and a view of
// the message log.
#pragma once

#include <string>
#include <vector>

namespace vexo_test {

// Absolute path of a file under tests/.
std::string DataPath(const std::string& relative);

// A file in a fresh scratch directory, removed with the directory at exit.
std::string WriteTempFile(const std::string& name, const std::string& content);
std::string TempDirectory();

std::string ReadFile(const std::string& path);

// `data` compressed as a gzip stream, as in .svgz files.
std::string Gzip(const std::string& data);

// Every message currently in the log.
std::vector<std::string> Messages();
// True when some message in the log equals `line` exactly.
bool HasMessage(const std::string& line);
// True when some message starts with `prefix`.
bool HasMessagePrefix(const std::string& prefix);

// Empties the log, the document list and the stop flags between tests.
void ResetGlobalState();

}  // namespace vexo_test
