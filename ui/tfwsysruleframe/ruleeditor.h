// The one road to the rule edit dialog from the rule set page and its cards, so that the page
// works, and is tested, whatever dialog stands behind it.
#pragma once
#include "rules/records.h"

class CComponent;

// Opens the rule edit dialog: rule == nullptr asks for a new rule. Returns true on OK; a new
// rule is then returned in *created (caller owns it); an edited rule is changed in place.
// A created record is a zero-filled block from PlatformAlloc (109 bytes) with heap texts and
// lists, released with ReleaseRule then PlatformFree, as the cards release theirs.
using CRuleEditor = bool (*)(CComponent* owner, _RKFW_RULE* rule, _RKFW_RULE** created);

namespace rule_editor_detail {
inline CRuleEditor& Slot() {
  static CRuleEditor editor = nullptr;
  return editor;
}
}  // namespace rule_editor_detail

// With no editor set, adding and editing rules do nothing.
inline void SetRuleEditor(CRuleEditor editor) { rule_editor_detail::Slot() = editor; }
inline CRuleEditor RuleEditor() { return rule_editor_detail::Slot(); }
