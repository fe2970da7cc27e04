#pragma once
// A file that lines are appended to, each in one write, so that other writers
// appending to it (another run, a monitor's own notes) never split a line.

#include <optional>
#include <string>

namespace files {

class LineLog {
 public:
  // Opens `path` for appending, creating it; "-" is standard output. `what`
  // names the file in messages ("zprávu"). Throws FileError.
  LineLog(const std::string& path, std::string what);
  ~LineLog();
  LineLog(const LineLog&) = delete;
  LineLog& operator=(const LineLog&) = delete;
  // Appends one line; gives the reason when it could not be written.
  std::optional<std::string> Append(const std::string& line);

 private:
  std::string path_;
  std::string what_;
  int fd_ = -1;
  bool owned_ = false;
};

}  // namespace files
