#include "cli/VerifyCommandLine.h"
#include "platform/OpenFileLimit.h"
#include "platform/WorkThread.h"

#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  ovik::RaiseOpenFileLimit();
  // A verify from a shell is throughput work from end to end; the window's
  // thread stays interactive and only its workers are.
  ovik::ScheduleAsThroughputWork();
  return ovik::RunVerifyCommandLine(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
