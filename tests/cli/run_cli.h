#pragma once
// Runs prosvitek-cli as a separate process and collects what it says.

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// What the child gets beside its arguments: environment entries ("NAME=value")
// and signals it finds ignored, as under nohup.
struct ChildSetup {
  std::vector<std::string> environment;
  std::vector<int> ignoredSignals;
  bool appendOutput = false;  // standard output appended to its file (">>"), not truncated
};

// Starts prosvitek-cli with its output and errors going to the given files.
inline pid_t StartCli(const std::vector<std::string>& args, const std::filesystem::path& out,
                      const std::filesystem::path& err, const std::string& cli = PROSVITEK_CLI,
                      const ChildSetup& setup = {}) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(cli.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : setup.environment) ::putenv(const_cast<char*>(e.c_str()));
    for (int s : setup.ignoredSignals) std::signal(s, SIG_IGN);
    if (!std::freopen(out.c_str(), setup.appendOutput ? "ab" : "wb", stdout) ||
        !std::freopen(err.c_str(), "wb", stderr))
      ::_exit(127);
    ::execv(cli.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

inline CliResult RunCli(const std::vector<std::string>& args, const std::string& cli = PROSVITEK_CLI,
                        const std::vector<std::string>& environment = {}) {
  namespace fs = std::filesystem;
  const fs::path base = fs::temp_directory_path() / ("prosvitek-cli-run-" + std::to_string(::getpid()));
  const fs::path out = base.string() + ".out", err = base.string() + ".err";
  const pid_t pid = StartCli(args, out, err, cli, ChildSetup{environment, {}});
  int status = 0;
  ::waitpid(pid, &status, 0);
  CliResult r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(out);
  r.err = Slurp(err);
  fs::remove(out);
  fs::remove(err);
  return r;
}

}  // namespace testsupport
