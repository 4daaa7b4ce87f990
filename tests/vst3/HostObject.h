#pragma once

#include "VST3Base.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <tuple>
#include <vector>

// Reference counting and queryInterface for a host object of the test host, which
// implements the given interfaces. Most host objects belong to the test: they start
// with the test's one reference, and every reference the plug-in adds it must give
// back. The destructor checks that; a reference kept is a leak in a real host, and one
// released too many frees the host's object under it, so neither is let through.
// Objects the host makes for the plug-in (HandedOver) belong to it instead, and go
// when it releases the last reference: they are made with new and delete themselves
// in Discard.
template <class... Interfaces> class HostObject : public Interfaces... {
public:
    enum class Owner { Test, HandedOver };

    explicit HostObject(const char* what, Owner owner = Owner::Test)
        : label(what), handedOver(owner == Owner::HandedOver) {}
    virtual ~HostObject() { CheckReferences(); }
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;

    vst3::tresult PLUGIN_API queryInterface(const vst3::TUID iid, void** obj) final {
        if (!obj)
            return vst3::kInvalidArgument;
        *obj = nullptr;
        if (!iid)
            return vst3::kInvalidArgument;
        Remember(iid);
        return Query(iid, obj);
    }
    uint32_t PLUGIN_API addRef() final { return ++references; }
    uint32_t PLUGIN_API release() final {
        // The test's own reference is not the plug-in's to drop.
        const uint32_t floor = handedOver ? 0 : 1;
        uint32_t count = references.load();
        do {
            if (count <= floor) {
                overReleased = true;
                return count;
            }
        } while (!references.compare_exchange_weak(count, count - 1));
        if (count == 1)
            Discard();
        return count - 1;
    }

    // References beyond the test's own: what the plug-in holds now.
    uint32_t PluginReferences() const { return references.load() - (handedOver ? 0 : 1); }
    bool OverReleased() const { return overReleased; }
    // Every identifier the plug-in asked this object for, in order.
    std::vector<vst3::Uid> Queries() const {
        std::lock_guard guard(queryMutex);
        return queries;
    }
    bool WasQueriedFor(const vst3::Uid& iid) const {
        std::lock_guard guard(queryMutex);
        for (const vst3::Uid& asked : queries)
            if (asked == iid)
                return true;
        return false;
    }

protected:
    // The answer to a query, after the arguments are checked: one of the object's own
    // interfaces with a reference added, else null and kNoInterface. Overriders may
    // refuse an interface or hand over another object's.
    virtual vst3::tresult Query(const char* iid, void** obj) {
        void* own = Own(iid);
        if (!own)
            return vst3::kNoInterface;
        addRef();
        *obj = own;
        return vst3::kResultOk;
    }

    // A handed-over object's end, when the plug-in releases its last reference.
    virtual void Discard() {}

    void CheckReferences() const;

private:
    using Primary = std::tuple_element_t<0, std::tuple<Interfaces...>>;

    void* Own(const char* iid) {
        if (vst3::SameUid(iid, vst3::FUnknown::kIid))
            return static_cast<vst3::FUnknown*>(static_cast<Primary*>(this));
        void* found = nullptr;
        ((found = found                                  ? found
                  : vst3::SameUid(iid, Interfaces::kIid) ? static_cast<Interfaces*>(this)
                                                         : nullptr),
         ...);
        return found;
    }
    void Remember(const char* iid) {
        vst3::Uid asked;
        std::copy(iid, iid + asked.size(), asked.begin());
        std::lock_guard guard(queryMutex);
        queries.push_back(asked);
    }

    const char* label;
    bool handedOver;
    std::atomic<uint32_t> references{1};
    std::atomic<bool> overReleased{false};
    mutable std::mutex queryMutex;
    std::vector<vst3::Uid> queries;
};

// Reports a host object whose references the plug-in did not return, or returned too
// often, as a failure of the running test.
void ReportUnbalancedReferences(const char* label, uint32_t pluginReferences, bool overReleased);

template <class... Interfaces> void HostObject<Interfaces...>::CheckReferences() const {
    if (!handedOver && (PluginReferences() != 0 || overReleased))
        ReportUnbalancedReferences(label, PluginReferences(), overReleased);
}

// One reference to an object the plug-in made (a component, a view, an interface it
// answered a query with), released when this goes.
template <class T> class Ref {
public:
    Ref() = default;
    // Takes over the one reference the caller already holds.
    explicit Ref(T* adopted) : raw(adopted) {}
    ~Ref() { Reset(); }
    Ref(Ref&& other) noexcept : raw(other.raw) { other.raw = nullptr; }
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) {
            Reset();
            raw = other.raw;
            other.raw = nullptr;
        }
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;

    T* Get() const { return static_cast<T*>(raw); }
    T* operator->() const { return Get(); }
    explicit operator bool() const { return raw != nullptr; }

    // The out argument of createInstance and queryInterface, which store a T*.
    void** Put() {
        Reset();
        return &raw;
    }
    void Reset() {
        if (raw)
            Get()->release();
        raw = nullptr;
    }
    // Another interface of the same object; empty when it has none.
    template <class U> Ref<U> Query() const {
        Ref<U> other;
        if (raw)
            Get()->queryInterface(U::kIid.data(), other.Put());
        return other;
    }

private:
    void* raw = nullptr;
};
