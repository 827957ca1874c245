// rkfwctl.exe: see docs/standin.md, "The stand-in driver and rkfwctl".
#include <cstdio>

#include "standin/rkfwctl/rkfwctl.h"

int main(int argc, char** argv) {
  CRkfwctl ctl;
  int status = ctl.RunArguments(argc, argv);
  fputs(ctl.Out.c_str(), stdout);
  fputs(ctl.Err.c_str(), stderr);
  return status;
}
