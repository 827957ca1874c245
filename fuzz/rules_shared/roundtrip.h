// What every rule store harness checks of an input a parser accepted: building it again and
// parsing that gives the same rules, and the built form is stable.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/array.h"
#include "rules/auditrules.h"
#include "rules/iprules.h"

namespace fuzzcheck {

inline void Require(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "round trip broken: %s\n", what);
    abort();
  }
}

inline bool SameText(const char* a, const char* b) { return strcmp(a ? a : "", b ? b : "") == 0; }

inline bool SameValue(const _MATCH_VALUE& a, const _MATCH_VALUE& b) {
  if (a.Kind != b.Kind || a.Value1 != b.Value1) return false;
  if (a.Kind != MATCH_LIST) return a.Value2 == b.Value2;
  if (a.Value1 == 0) return true;
  return memcmp(MatchElements(a), MatchElements(b), 4 * a.Value1) == 0;
}

// Equal as the console sees them: every stored byte but the references, lists and texts by content.
inline bool SameRule(const _RKFW_RULE& a, const _RKFW_RULE& b) {
  _RKFW_RULE x, y;
  memcpy(&x, &a, sizeof x);
  memcpy(&y, &b, sizeof y);
  _MATCH_VALUE* vx[4];
  _MATCH_VALUE* vy[4];
  uint32_t n = UsedMatchValues(x, vx);
  if (UsedMatchValues(y, vy) != n) return false;
  for (uint32_t i = 0; i < n; ++i) {
    if (!SameValue(*vx[i], *vy[i])) return false;
    if (vx[i]->Kind == MATCH_LIST) vx[i]->Value2 = vy[i]->Value2 = 0;
  }
  if (!SameText(x.Name, y.Name) || !SameText(x.Description, y.Description)) return false;
  x.Name = y.Name = x.Description = y.Description = nullptr;
  return memcmp(&x, &y, sizeof x) == 0;
}

inline bool SameAuditRule(const _RKFW_AUDIT_RULE& a, const _RKFW_AUDIT_RULE& b) {
  _RKFW_AUDIT_RULE x, y;
  memcpy(&x, &a, sizeof x);
  memcpy(&y, &b, sizeof y);
  _MATCH_VALUE* vx[10];
  _MATCH_VALUE* vy[10];
  AuditMatchValues(x, vx);
  AuditMatchValues(y, vy);
  for (int i = 0; i < 10; ++i) {
    if (!SameValue(*vx[i], *vy[i])) return false;
    if (vx[i]->Kind == MATCH_LIST) vx[i]->Value2 = vy[i]->Value2 = 0;
  }
  if (!SameText(x.AppPath, y.AppPath)) return false;
  x.AppPath = y.AppPath = nullptr;
  return memcmp(&x, &y, sizeof x) == 0;
}

// Parsed rules against those parsed from their rebuilt body: the writer leaves out rules
// with a protocol outside 0 to 4 and orders the rest by protocol.
inline void CheckIpRoundTrip(const _Array<_RKFW_RULE>& parsed) {
  _bytePtr body;
  BuildRuleFileBody(parsed, body);
  _Array<_RKFW_RULE> again(kIpRuleGrowStep);
  Require(ParseRuleFileBody(body, again) == 0, "a built rule body does not parse");
  int32_t at = 0;
  for (int32_t protocol = 0; protocol < 5; ++protocol)
    for (const _RKFW_RULE& rule : parsed)
      if (rule.Protocol == protocol) {
        Require(at < again.Count, "rules lost");
        Require(SameRule(rule, again[at++]), "a rule changed");
      }
  Require(at == again.Count, "rules gained");
  _bytePtr second;
  BuildRuleFileBody(again, second);
  Require(second.Length() <= body.Length(), "the rebuilt body grew");
  ReleaseRules(again);
}

inline void CheckAuditRoundTrip(const _Array<_RKFW_AUDIT_RULE>& parsed) {
  _bytePtr body;
  BuildAuditBody(parsed, body);
  _Array<_RKFW_AUDIT_RULE> again(kAuditRuleGrowStep);
  Require(ParseAuditBody(body, again) == 0, "a built audit body does not parse");
  Require(again.Count == parsed.Count, "audit rules lost or gained");
  for (int32_t i = 0; i < parsed.Count; ++i) Require(SameAuditRule(parsed[i], again[i]), "an audit rule changed");
  _bytePtr second;
  BuildAuditBody(again, second);
  Require(second.Length() == body.Length() && memcmp(second.Data(), body.Data(), body.Length()) == 0,
          "the audit body is not stable");
  ReleaseAuditRules(again);
}

}  // namespace fuzzcheck
