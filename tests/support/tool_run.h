#pragma once
// Runs the administrators' tool as a program and collects its output and exit status.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

struct ToolRun {
  int status;
  std::string out;  // stdout and stderr together
};

inline std::string quoteArg(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline ToolRun bankTool(const std::vector<std::string>& args) {
  std::string cmd = quoteArg(ZORBEX_BANK_TOOL);
  for (const auto& a : args) cmd += " " + quoteArg(a);
  cmd += " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace testing_support
