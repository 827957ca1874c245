// rkfwctl: feeds the stand-in driver through its private codes and prints what the console
// loaded into it. The commands run in-process here so that host tests can drive them; the
// program's main only passes its arguments and prints.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Exit codes of a command.
constexpr int kRkfwctlOk = 0;
constexpr int kRkfwctlFailed = 1;  // the driver is absent or refused the request
constexpr int kRkfwctlUsage = 2;   // the command line is wrong

class CRkfwctl {
 public:
  explicit CRkfwctl(const char* deviceName = nullptr);
  ~CRkfwctl();
  CRkfwctl(const CRkfwctl&) = delete;
  CRkfwctl& operator=(const CRkfwctl&) = delete;

  // Runs one command given as words ("event", "ask", "pid=4", ...). Output lines are appended
  // to Out (each ending in '\n'), messages to Err.
  int Run(const std::vector<std::string>& words);
  // Runs the arguments of the program: options first (--device NAME), then one command.
  int RunArguments(int argc, const char* const* argv);

  std::string Out;
  std::string Err;

 private:
  struct CImpl;
  CImpl* impl_;
};

// Splits a scenario line into words: blanks separate, a double-quoted part is taken as it is
// (backslashes included), '#' outside quotes starts a comment.
std::vector<std::string> SplitRkfwctlLine(const std::string& line);
// The readable form of an IP rule image or an audit image, one line per rule; images that
// fail the driver's checks give a single "malformed" line.
std::string DescribeIpImage(const uint8_t* image, uint32_t size);
std::string DescribeAuditImage(const uint8_t* image, uint32_t size);
