#pragma once

#include "VST3Base.h"

#include <atomic>
#include <tuple>
#include <utility>

// Reports a host object whose references the plug-in did not return, or returned too
// often, as a failure of the running test (the fuzzers report it their own way).
void ReportUnbalancedReferences(const char* label, uint32_t pluginReferences, bool overReleased);

// Reference counting and queryInterface for a host object of the test host, which
// implements the given interfaces. Host objects belong to the test: they start with the
// test's one reference, and every reference the plug-in adds it must give back. The
// destructor checks that; a reference kept is a leak in a real host, and one released
// too many frees the host's object under it, so neither is let through.
template <class... Interfaces> class HostObject : public Interfaces... {
public:
    explicit HostObject(const char* what) : label(what) {}
    virtual ~HostObject() {
        if (PluginReferences() != 0 || overReleased)
            ReportUnbalancedReferences(label, PluginReferences(), overReleased);
    }

    vst3::tresult PLUGIN_API queryInterface(const vst3::TUID iid, void** obj) final {
        if (!obj)
            return vst3::kInvalidArgument;
        *obj = nullptr;
        if (!iid)
            return vst3::kInvalidArgument;
        return Query(iid, obj);
    }
    uint32_t PLUGIN_API addRef() final { return ++references; }
    uint32_t PLUGIN_API release() final {
        // The test's own reference is not the plug-in's to drop.
        uint32_t count = references.load();
        do {
            if (count <= 1) {
                overReleased = true;
                return count;
            }
        } while (!references.compare_exchange_weak(count, count - 1));
        return count - 1;
    }

    // References beyond the test's own: what the plug-in holds now.
    uint32_t PluginReferences() const { return references.load() - 1; }

protected:
    // The answer to a query, after the arguments are checked: one of the object's own
    // interfaces with a reference added, else null and kNoInterface. Overriders may
    // hand over another object's.
    virtual vst3::tresult Query(const char* iid, void** obj) {
        using Primary = std::tuple_element_t<0, std::tuple<Interfaces...>>;
        void* own = vst3::SameUid(iid, vst3::FUnknown::kIid)
                        ? static_cast<vst3::FUnknown*>(static_cast<Primary*>(this))
                        : nullptr;
        ((own = own                                    ? own
                : vst3::SameUid(iid, Interfaces::kIid) ? static_cast<Interfaces*>(this)
                                                       : nullptr),
         ...);
        if (!own)
            return vst3::kNoInterface;
        addRef();
        *obj = own;
        return vst3::kResultOk;
    }

private:
    const char* label;
    std::atomic<uint32_t> references{1};
    std::atomic<bool> overReleased{false};
};

// One reference to an object the plug-in made (a component, a view, an interface it
// answered a query with), released when this goes.
template <class T> class Ref {
public:
    Ref() = default;
    // Takes over the one reference the caller already holds.
    explicit Ref(T* adopted) : raw(adopted) {}
    ~Ref() { Reset(); }
    Ref(Ref&& other) noexcept : raw(other.raw) { other.raw = nullptr; }
    // What this held goes with the other, which releases it.
    Ref& operator=(Ref&& other) noexcept {
        std::swap(raw, other.raw);
        return *this;
    }

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
