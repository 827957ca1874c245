// Components: objects with an owner and a name. An owner destroys what it owns, newest first,
// and a component destroyed on its own leaves its owner's list. The class name text is
// queryable because pages are told apart by it.
#pragma once
#include <cstdint>
#include <vector>

class CComponent {
 public:
  // `owner` may be nullptr: the creator then destroys the component with FreeComponent.
  CComponent(CComponent* owner, const char* name);
  virtual ~CComponent();
  CComponent(const CComponent&) = delete;
  CComponent& operator=(const CComponent&) = delete;

  // The class name of the most derived class, e.g. "TFWLogViewFrame".
  virtual const char* ClassName() const { return "TComponent"; }
  bool IsClass(const char* className) const;

  const char* Name() const { return name_; }
  CComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  CComponent* Component(int index) const;
  // The owned component with this name (exact, case-sensitive), or nullptr.
  CComponent* FindComponent(const char* name) const;

  // Runs while the whole object is still intact, just before deletion: forms fire their
  // destroy handler here and windows are destroyed here, so no message reaches a half
  // destroyed object.
  virtual void BeforeDestruction() {}
  bool Destroying() const { return destroying_; }

 private:
  friend void FreeComponent(CComponent* component);
  void InsertComponent(CComponent* component);
  void RemoveComponent(CComponent* component);

  CComponent* owner_;
  char name_[64];
  bool destroying_ = false;
  std::vector<CComponent*> components_;  // owned, in creation order
};

// The one way to destroy a component: BeforeDestruction, then delete. Null is ignored.
void FreeComponent(CComponent* component);
