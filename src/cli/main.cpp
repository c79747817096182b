#include "cli/VerifyCommandLine.h"

#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  return ovik::RunVerifyCommandLine(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
