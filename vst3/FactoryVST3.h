#pragma once

#include "ProductVST3.h"
#include "VST3Factory.h"

#include <atomic>

// The module's factory: one class, the product's. GetPluginFactory makes it on the first
// call and adds a reference on each later one; it goes with the last reference. Every
// method runs on the host's UI thread.
class FactoryVST3 final : public vst3::IPluginFactory3 {
public:
    // Any thread: the factory with one more reference for the caller.
    static vst3::IPluginFactory* Acquire(const ProductVST3& product);

    vst3::tresult PLUGIN_API queryInterface(const vst3::TUID iid, void** obj) override;
    uint32_t PLUGIN_API addRef() override;
    uint32_t PLUGIN_API release() override;

    vst3::tresult PLUGIN_API getFactoryInfo(vst3::PFactoryInfo* info) override;
    int32_t PLUGIN_API countClasses() override { return 1; }
    vst3::tresult PLUGIN_API getClassInfo(int32_t index, vst3::PClassInfo* info) override;
    // A new instance with one reference, queried for iid; null and kNoInterface otherwise.
    vst3::tresult PLUGIN_API createInstance(vst3::FIDString cid, vst3::FIDString iid,
                                            void** obj) override;
    vst3::tresult PLUGIN_API getClassInfo2(int32_t index, vst3::PClassInfo2* info) override;
    vst3::tresult PLUGIN_API getClassInfoUnicode(int32_t index, vst3::PClassInfoW* info) override;
    // Kept (referenced) for the instances made afterwards: on Linux it may offer a run loop.
    vst3::tresult PLUGIN_API setHostContext(vst3::FUnknown* context) override;

private:
    explicit FactoryVST3(const ProductVST3& product);
    ~FactoryVST3();
    FactoryVST3(const FactoryVST3&) = delete;
    FactoryVST3& operator=(const FactoryVST3&) = delete;

    const ProductVST3& product;
    ClassNamesVST3 names;
    std::atomic<uint32_t> references{1};
    vst3::FUnknown* hostContext = nullptr;
};
