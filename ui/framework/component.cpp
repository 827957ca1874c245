#include "ui/framework/component.h"

#include <algorithm>
#include <cstring>

CComponent::CComponent(CComponent* owner, const char* name) : owner_(owner) {
  name_[0] = 0;
  if (name != nullptr) {
    strncpy(name_, name, sizeof name_ - 1);
    name_[sizeof name_ - 1] = 0;
  }
  if (owner_ != nullptr) owner_->InsertComponent(this);
}

CComponent::~CComponent() {
  destroying_ = true;
  // Newest first: later components may refer to earlier ones, never the other way round.
  while (!components_.empty()) FreeComponent(components_.back());
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

bool CComponent::IsClass(const char* className) const {
  return className != nullptr && strcmp(ClassName(), className) == 0;
}

CComponent* CComponent::Component(int index) const {
  if (index < 0 || index >= ComponentCount()) return nullptr;
  return components_[static_cast<size_t>(index)];
}

CComponent* CComponent::FindComponent(const char* name) const {
  if (name == nullptr || name[0] == 0) return nullptr;
  for (CComponent* c : components_)
    if (strcmp(c->name_, name) == 0) return c;
  return nullptr;
}

void CComponent::InsertComponent(CComponent* component) { components_.push_back(component); }

void CComponent::RemoveComponent(CComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it != components_.end()) components_.erase(it);
}

void FreeComponent(CComponent* component) {
  if (component == nullptr || component->destroying_) return;
  component->destroying_ = true;
  component->BeforeDestruction();
  delete component;
}
