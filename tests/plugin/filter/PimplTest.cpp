#include "Ondrel/Pimpl.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Held {
    std::vector<int> values;
    std::string name;
};

TEST(ImplHolder, CloneCopiesDeeplyAndCopyToAssigns) {
    const std::unique_ptr<Ondrel::ImplHolderBase> holder =
        Ondrel::makeImplHolder<Held>(Held{{1, 2, 3}, "first"});
    const std::unique_ptr<Ondrel::ImplHolderBase> clone = holder->Clone();

    ASSERT_NE(clone->GetPtr(), holder->GetPtr());
    Ondrel::heldObject<Held>(*holder).values.push_back(4);
    EXPECT_EQ(Ondrel::heldObject<Held>(*clone).values, (std::vector<int>{1, 2, 3}));

    const std::unique_ptr<Ondrel::ImplHolderBase> other =
        Ondrel::makeImplHolder<Held>(Held{{9}, "other"});
    void* const before = other->GetPtr();
    holder->CopyTo(other.get());
    EXPECT_EQ(other->GetPtr(), before) << "CopyTo assigns into the object already held";
    const Ondrel::ImplHolderBase& readOnly = *other;
    EXPECT_EQ(Ondrel::heldObject<Held>(readOnly).values, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(Ondrel::heldObject<Held>(readOnly).name, "first");
}

} // namespace
