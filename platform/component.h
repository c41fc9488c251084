// The component model the system's objects share: a name and an optional owner that frees
// the components it owns when it is destroyed. A component created without an owner is one
// the system made for itself (the session tells them apart by that).
#pragma once

#include <string>
#include <vector>

class TComponent {
  public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    const std::vector<TComponent*>& Components() const { return components_; }

    // Frees every owned component, the last first. The base destructor calls it; an owner
    // whose own members must outlive its children calls it first in its destructor.
    void DestroyComponents();

    // True while the component is being written to a form stream.
    bool Writing() const { return writing_; }
    void SetWriting(bool writing) { writing_ = writing; }

  private:
    void Insert(TComponent* child);
    void Remove(TComponent* child);

    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;
    bool writing_ = false;
};
