#include "VST3PluginHost.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace vst3;

std::string BundleUnderTest(const char* built) {
    const char* other = std::getenv("QUELOR_VST3_BUNDLE");
    return other && *other ? other : built;
}

const VST3Module& ModuleUnderTest() {
    static const VST3Module module(BundleUnderTest(QUELOR_VST3_BUNDLE));
    return module;
}

std::vector<char> ClassIdBytes(const VST3Module& module) {
    PClassInfo info{};
    if (!module.Factory() || module.Factory()->getClassInfo(0, &info) != kResultOk)
        return {};
    return {info.cid, info.cid + sizeof info.cid};
}

std::string Narrow(const TChar* text) {
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(*text);
    return out;
}

std::string Hex(const char* bytes, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += {"0123456789ABCDEF"[static_cast<uint8_t>(bytes[i]) >> 4],
                "0123456789ABCDEF"[bytes[i] & 0xF]};
    return out;
}

VST3PluginHost::VST3PluginHost(const VST3Module& module, HostApplication& application,
                               HostComponentHandler* edits)
    : handler(edits) {
    const std::vector<char> cid = ClassIdBytes(module);
    if (cid.empty() || module.Factory()->createInstance(cid.data(), IComponent::kIid.data(),
                                                        component.Put()) != kResultOk) {
        ADD_FAILURE() << "no instance";
        return;
    }
    processor = component.Query<IAudioProcessor>();
    controller = component.Query<IEditController>();
    EXPECT_EQ(component->initialize(&application), kResultOk);
    EXPECT_EQ(controller->initialize(&application), kResultOk);
    if (handler) {
        EXPECT_EQ(controller->setComponentHandler(handler), kResultOk);
    }
}

VST3PluginHost::~VST3PluginHost() {
    if (!component)
        return;
    Stop();
    // As hosts do, the handler is not taken back before terminate: the plug-in lets go of it
    // there.
    EXPECT_EQ(controller->terminate(), kResultOk);
    EXPECT_EQ(component->terminate(), kResultOk);
    if (handler) {
        EXPECT_EQ(handler->PluginReferences(), 0u) << "the handler outlived terminate";
    }
}

bool VST3PluginHost::Start(ProcessSetup setup) {
    Stop();
    if (processor->setupProcessing(&setup) != kResultOk)
        return false;
    EXPECT_EQ(component->setActive(1), kResultOk);
    EXPECT_EQ(processor->setProcessing(1), kResultOk);
    started = true;
    return true;
}

void VST3PluginHost::Stop() {
    if (!started)
        return;
    processor->setProcessing(0);
    component->setActive(0);
    started = false;
}

std::vector<char> VST3PluginHost::State() const {
    MemoryStream stream;
    EXPECT_EQ(component->getState(&stream), kResultOk);
    return stream.Bytes();
}

tresult VST3PluginHost::SetState(const std::vector<char>& bytes) const {
    MemoryStream stream(bytes);
    return component->setState(&stream);
}
