#include "tools/rkfwtool/toolio.h"

#include <cstdio>
#include <cstring>

#include "base/result.h"
#include "base/text.h"
#include "platform/file.h"
#include "rules/rulefile.h"

uint32_t ReadWholeFile(const char* path, _bytePtr& data) {
  data.Release();
  FileHandle file = FileOpenRead(path);
  if (file == kInvalidFile) return RESULT_FILE_OPEN_FAILED;
  uint32_t size = 0, done = 0;
  bool ok = FileGetSize(file, &size);
  if (ok && size != 0) {
    data.Reset(size);
    ok = FileRead(file, data.Data(), size, &done) && done == size;
  }
  FileClose(file);
  if (!ok) data.Release();
  return ok ? RESULT_OK : RESULT_FAILED;
}

uint32_t WriteWholeFile(const char* path, const void* data, uint32_t size) {
  return WriteFileReplacing(path, data, size, nullptr, 0);
}

bool IsAuditFile(const char* path, const _bytePtr& data, bool forced) {
  if (forced) return true;
  size_t n = strlen(path);
  return data.Length() >= 4 && memcmp(data.Data(), kRuleFileMagic, 4) == 0 && n >= 4 &&
         CompareTextIgnoringCase(path + n - 4, ".aud") == 0;
}

bool TakeFlag(int& argc, char** argv, const char* flag) {
  bool found = false;
  for (int i = 0; i < argc;) {
    if (strcmp(argv[i], flag) == 0) {
      found = true;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
    } else {
      ++i;
    }
  }
  return found;
}

bool TakeAuditFlag(int& argc, char** argv) { return TakeFlag(argc, argv, "--audit"); }

uint32_t Report(uint32_t code, const char* what, const char* path) {
  fprintf(stderr, "rkfwtool: %s: %s (result %u)\n", what, path, code);
  return code;
}
