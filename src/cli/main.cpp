#include "cli/VerifyCommandLine.h"
#include "platform/OpenFileLimit.h"

#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  ovik::RaiseOpenFileLimit();
  return ovik::RunVerifyCommandLine(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
