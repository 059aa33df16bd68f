// Private-implementation holder for the drawers. A drawer keeps its whole state in one object of
// its own Impl type behind an ImplHolderBase, so its header names no working fields. The drawers
// hold it in a unique_ptr and are not copied; Clone and CopyTo, which copy the held object, stay
// as the pattern has them.
#pragma once

#include <memory>
#include <utility>

namespace Ondrel {

class ImplHolderBase {
public:
    virtual ~ImplHolderBase() = default;

    // A new holder owning a copy of the held object.
    virtual std::unique_ptr<ImplHolderBase> Clone() const = 0;
    // Assigns the held object to the one held by other, which must hold the same type.
    virtual void CopyTo(ImplHolderBase* other) const = 0;
    virtual void* GetPtr() = 0;
    virtual const void* GetPtr() const = 0;

protected:
    ImplHolderBase() = default;
    ImplHolderBase(const ImplHolderBase&) = default;
    ImplHolderBase& operator=(const ImplHolderBase&) = default;
};

template <typename T>
class ImplHolder final : public ImplHolderBase {
public:
    explicit ImplHolder(std::unique_ptr<T> held) : m_held(std::move(held)) {}

    std::unique_ptr<ImplHolderBase> Clone() const override {
        return std::make_unique<ImplHolder>(std::make_unique<T>(*m_held));
    }
    void CopyTo(ImplHolderBase* other) const override {
        *static_cast<T*>(other->GetPtr()) = *m_held;
    }
    void* GetPtr() override { return m_held.get(); }
    const void* GetPtr() const override { return m_held.get(); }

private:
    std::unique_ptr<T> m_held;
};

// A holder owning a new T built from args.
template <typename T, typename... Args>
std::unique_ptr<ImplHolderBase> makeImplHolder(Args&&... args) {
    return std::make_unique<ImplHolder<T>>(std::make_unique<T>(std::forward<Args>(args)...));
}

// The held object of a holder known to hold a T.
template <typename T>
T& heldObject(ImplHolderBase& holder) {
    return *static_cast<T*>(holder.GetPtr());
}

template <typename T>
const T& heldObject(const ImplHolderBase& holder) {
    return *static_cast<const T*>(holder.GetPtr());
}

} // namespace Ondrel
