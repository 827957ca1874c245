// Figures for the rule store: building and parsing a rule file body and building the driver
// image for 10,000 rules with address and port lists, each against memcpy of the same number of
// bytes into a buffer already in use and into a new one. A body or an image is built either
// into a new block (the system hands a large one out as fresh pages, each zeroed on first
// touch) or into a block kept from the build before, as the console does from its second save
// or load on. Also the container checksum over 16 MiB against zlib's crc32 (the same CRC) when
// the build found zlib. Prints figures; checks nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "platform/heap.h"
#include "rules/iprules.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#ifdef VARDEEN_BENCH_ZLIB
#include <zlib.h>
#endif

namespace {
using Clock = std::chrono::steady_clock;

// Best of several runs, in nanoseconds.
template <class F>
double Best(int runs, F work) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    work();
    double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    if (ns < best) best = ns;
  }
  return best;
}

volatile uint8_t g_sink;

double MemcpyNs(uint32_t bytes, int runs) {
  std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
  return Best(runs, [&] {
    memcpy(to.data(), from.data(), bytes);
    g_sink = to[bytes / 2];
  });
}

// The same copy into a new block of the heap the codecs use, released after.
double FreshCopyNs(uint32_t bytes, int runs) {
  std::vector<uint8_t> from(bytes, 0x5A);
  return Best(runs, [&] {
    _bytePtr to(bytes);
    memcpy(to.Data(), from.data(), bytes);
    g_sink = to[bytes / 2];
  });
}

char* Text(const char* text) {
  size_t n = strlen(text) + 1;
  auto* copy = static_cast<char*>(PlatformAlloc(static_cast<uint32_t>(n)));
  memcpy(copy, text, n);
  return copy;
}

_MATCH_VALUE List(uint32_t count, uint32_t seed) {
  std::vector<uint32_t> elements(count);
  for (uint32_t i = 0; i < count; ++i) elements[i] = seed * 31 + i;
  _MATCH_VALUE source = {MATCH_LIST, count, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements.data()))};
  _MATCH_VALUE value = {};
  CopyMatchValue(&value, &source);
  return value;
}
}  // namespace

int main() {
  constexpr uint32_t kRules = 10000;
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  for (uint32_t i = 0; i < kRules; ++i) {
    _RKFW_RULE rule;
    memset(&rule, 0, sizeof rule);
    rule.Protocol = static_cast<int32_t>(i % 5 == 2 ? 3 : i % 5);  // TCP twice as often, no IGMP
    rule.Action = static_cast<int32_t>(i % 4);
    rule.RuleId = i;
    rule.Name = Text("禁止外部连接请求");
    rule.Description = Text("拦截其他计算机对本机TCP端口的连接请求,并记录");
    rule.LocalAddr = List(2, i);
    if (rule.Protocol >= RULE_PROTO_TCP) {
      rule.RemoteAddr = List(4, i + 1);
      rule.LocalPort = List(2, i + 2);
      rule.RemotePort = List(3, i + 3);
    } else {
      rule.IpRemoteAddr = List(4, i + 1);
    }
    rules.Append(rule);
  }

  const int runs = 7;
  _bytePtr body;
  double buildNs = Best(runs, [&] { BuildRuleFileBody(rules, body); });
  uint32_t bodyBytes = body.Length();
  CByteBuffer keptBody;
  double keptBuildNs = Best(runs, [&] { BuildRuleFileBody(rules, keptBody); });
  // The parse alone: releasing the parsed rules is timed apart.
  double parseNs = 1e300, releaseNs = 1e300;
  for (int run = 0; run < runs; ++run) {
    _Array<_RKFW_RULE> parsed(kIpRuleGrowStep);
    parseNs = std::min(parseNs, Best(1, [&] { ParseRuleFileBody(body, parsed); }));
    releaseNs = std::min(releaseNs, Best(1, [&] { ReleaseRules(parsed); }));
  }
  // What the records' shape alone costs a parse: each text and list of a parsed rule is a heap
  // block of its own, released one by one. The same blocks, made without copying a byte.
  std::vector<uint32_t> blockSizes;
  {
    _Array<_RKFW_RULE> parsed(kIpRuleGrowStep);
    ParseRuleFileBody(body, parsed);
    for (const _RKFW_RULE& rule : parsed) {
      blockSizes.push_back(static_cast<uint32_t>(strlen(rule.Name) + 1));
      blockSizes.push_back(static_cast<uint32_t>(strlen(rule.Description) + 1));
      const _MATCH_VALUE* values[4];
      uint32_t used = UsedMatchValues(rule, values);
      for (uint32_t v = 0; v < used; ++v)
        if (values[v]->Kind == MATCH_LIST && values[v]->Value1 != 0) blockSizes.push_back(4 * values[v]->Value1);
    }
    ReleaseRules(parsed);
  }
  std::vector<void*> blocks(blockSizes.size());
  double blocksNs = 1e300;
  for (int run = 0; run < runs; ++run) {
    blocksNs = std::min(blocksNs, Best(1, [&] {
      for (size_t b = 0; b < blocks.size(); ++b) blocks[b] = PlatformAlloc(blockSizes[b]);
    }));
    for (void* block : blocks) PlatformFree(block);
  }
  _bytePtr image;
  double imageNs = Best(runs, [&] { BuildIpRuleImage(rules, image); });
  uint32_t imageBytes = image.Length();
  CByteBuffer keptImage;
  double keptImageNs = Best(runs, [&] { BuildIpRuleImage(rules, keptImage); });
  bool same = keptBody.Size() == bodyBytes && memcmp(keptBody.Data(), body.Data(), bodyBytes) == 0 &&
              keptImage.Size() == imageBytes && memcmp(keptImage.Data(), image.Data(), imageBytes) == 0;
  double copyBody = MemcpyNs(bodyBytes, runs), copyImage = MemcpyNs(imageBytes, runs);
  double freshBody = FreshCopyNs(bodyBytes, runs), freshImage = FreshCopyNs(imageBytes, runs);

  printf("%u rules, body %u bytes, image %u bytes\n", kRules, bodyBytes, imageBytes);
  printf("memcpy of the body %.1f us, into a new block %.1f us; of the image %.1f us, %.1f us\n", copyBody / 1e3,
         freshBody / 1e3, copyImage / 1e3, freshImage / 1e3);
  printf("%-22s %9.1f ns/rule   %6.1f x memcpy of the body, %4.1f x into a new block\n", "BuildRuleFileBody",
         buildNs / kRules, buildNs / copyBody, buildNs / freshBody);
  printf("%-22s %9.1f ns/rule   %6.1f x memcpy of the body (into a kept block)\n", "  kept block", keptBuildNs / kRules,
         keptBuildNs / copyBody);
  printf("%-22s %9.1f ns/rule   %6.1f x memcpy of the body, %4.1f x into a new block\n", "ParseRuleFileBody",
         parseNs / kRules, parseNs / copyBody, parseNs / freshBody);
  printf("%-22s %9.1f ns/rule   %6.1f x memcpy of the body (%u blocks of texts and lists)\n", "  their blocks alone",
         blocksNs / kRules, blocksNs / copyBody, static_cast<uint32_t>(blocks.size()));
  printf("%-22s %9.1f ns/rule\n", "ReleaseRules", releaseNs / kRules);
  printf("%-22s %9.1f ns/rule   %6.1f x memcpy of the image, %4.1f x into a new block\n", "BuildIpRuleImage",
         imageNs / kRules, imageNs / copyImage, imageNs / freshImage);
  printf("%-22s %9.1f ns/rule   %6.1f x memcpy of the image (into a kept block)\n", "  kept block", keptImageNs / kRules,
         keptImageNs / copyImage);
  printf("kept blocks hold %s bytes as new ones\n", same ? "the same" : "DIFFERENT");

  constexpr uint32_t kChecksumBytes = 16u << 20;
  std::vector<uint8_t> data(kChecksumBytes);
  for (uint32_t i = 0; i < kChecksumBytes; ++i) data[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
  uint32_t sum = 0;
  double checksumNs = 1e300;
#ifdef VARDEEN_BENCH_ZLIB
  uLong crc = 0;
  double zlibNs = 1e300;
#endif
  // Taken in turns, so that both see the same machine when it is shared.
  for (int run = 0; run < 15; ++run) {
    checksumNs = std::min(checksumNs, Best(1, [&] { sum = RuleFileChecksum(data.data(), kChecksumBytes); }));
#ifdef VARDEEN_BENCH_ZLIB
    zlibNs = std::min(zlibNs, Best(1, [&] { crc = crc32(0L, data.data(), kChecksumBytes); }));
#endif
  }
  double copyNs = MemcpyNs(kChecksumBytes, 5);
  double mbps = kChecksumBytes / 1e6 / (checksumNs / 1e9);
  printf("%-22s %9.1f MB/s      %6.1f x memcpy of 16 MiB (checksum %08x)\n", "RuleFileChecksum", mbps,
         checksumNs / copyNs, sum);
#ifdef VARDEEN_BENCH_ZLIB
  double zlibMbps = kChecksumBytes / 1e6 / (zlibNs / 1e9);
  // The checksum is zlib's CRC with the result's bits reversed and no final inversion.
  uint32_t reversed = 0, raw = static_cast<uint32_t>(crc) ^ 0xFFFFFFFFu;
  for (int i = 0; i < 32; ++i) reversed |= ((raw >> i) & 1u) << (31 - i);
  printf("%-22s %9.1f MB/s      checksum at %.2f x zlib's speed (%s)\n", "zlib crc32", zlibMbps, mbps / zlibMbps,
         reversed == sum ? "same CRC" : "DIFFERENT CRC");
#else
  printf("zlib crc32: not measured (the build found no zlib)\n");
#endif

  ReleaseRules(rules);
  return 0;
}
