#include "support/Unprivileged.h"

#include "engine/VerifyEngine.h"
#include "support/RecordingView.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ovik::testing {

std::vector<std::string> VerifyAsNobody(const std::string& source, const std::string& destination) {
  int out[2];
  if (pipe(out) != 0) return {"pipe failed"};
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    alarm(60);
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
    RecordingView view;
    VerifyEngine engine(view);
    engine.VerifyCommand(source, destination);
    std::string report;
    for (const std::string& line : view.lines) report += line + "\n";
    report += view.status + "\n";
    const bool written = write(out[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
    _exit(written ? 0 : 11);
  }
  close(out[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {"child failed with status " + std::to_string(status)};
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = report.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(report.substr(start, end - start));
  return lines;
}

int AsNobody(const std::function<int()>& work) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(60);
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
    _exit(work());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

}  // namespace ovik::testing
