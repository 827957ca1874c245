// Records blocks through the real library, then ends the process at once, without any
// clean-up, the way a console that is killed right after logging ends.
// Usage: qeltlog_writer <folder> <count>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/qeltutil.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  CQELTUtil util;
  if (!util.Load()) return 3;
  int count = atoi(argv[2]);
  for (int i = 0; i < count; ++i) {
    char text[256];
    snprintf(text, sizeof text, "[时间]:     block %04d\r\n[来源]:     系统\r\n[数据大小]: %d\r\n", i,
             i * 7);
    util.QeltRecordLog(argv[1], text);
  }
  TerminateProcess(GetCurrentProcess(), 0);
  return 1;
}
