#include "platform/component.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Probe : public TComponent {
  public:
    Probe(TComponent* owner, std::vector<int>& log, int id)
        : TComponent(owner), log_(log), id_(id) {}
    ~Probe() override { log_.push_back(id_); }

  private:
    std::vector<int>& log_;
    int id_;
};

TEST(ComponentTest, OwnerFreesChildrenLastFirstAndChildLeavesOwner) {
    std::vector<int> log;
    auto* owner = new Probe(nullptr, log, 0);
    new Probe(owner, log, 1);
    auto* second = new Probe(owner, log, 2);
    new Probe(owner, log, 3);
    delete second;  // leaves its owner's list, so it is not freed twice
    EXPECT_EQ(owner->Components().size(), 2u);
    delete owner;
    EXPECT_EQ(log, (std::vector<int>{2, 0, 3, 1}));
}

}  // namespace
