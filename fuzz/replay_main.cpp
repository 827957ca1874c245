// Replays a seed corpus through a libFuzzer harness: every file of the given folders (or the
// given files) goes to LLVMFuzzerTestOneInput once. A crash or sanitizer report fails the run.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
void Collect(const std::string& path, std::vector<std::string>* files) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    files->push_back(path);
    return;
  }
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") Collect(path + "/" + name, files);
  }
  closedir(dir);
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) Collect(argv[i], &files);
  if (files.empty()) {
    fprintf(stderr, "replay: no corpus files\n");
    return 1;
  }
  for (const std::string& file : files) {
    FILE* f = fopen(file.c_str(), "rb");
    if (f == nullptr) return 1;
    std::vector<uint8_t> data;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
    fclose(f);
    LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
  }
  printf("replayed %zu inputs\n", files.size());
  if (const char* count = getenv("VARDEEN_COUNT_FILE")) {
    if (FILE* c = fopen(count, "w")) {
      fprintf(c, "%zu 0\n", files.size());
      fclose(c);
    }
  }
  return 0;
}
