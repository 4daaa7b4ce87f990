#pragma once

#include "HostObject.h"
#include "HostRunLoop.h"
#include "VST3Host.h"

#include <map>
#include <string>
#include <variant>
#include <vector>

// The context a host passes to initialize and setHostContext: its name, and the
// messages and attribute lists it makes on request (anything else is refused with
// null and kResultFalse). Queried for the run loop, it hands over the one it was
// given, if any, as Linux hosts may.
class HostApplication final : public HostObject<vst3::IHostApplication> {
public:
    explicit HostApplication(HostRunLoop* runLoop = nullptr);

    vst3::tresult PLUGIN_API getName(vst3::String128 name) override;
    vst3::tresult PLUGIN_API createInstance(vst3::TUID cid, vst3::TUID iid, void** obj) override;

    std::u16string name = u"Quelor Test Host";

protected:
    vst3::tresult Query(const char* iid, void** obj) override;

private:
    HostRunLoop* runLoop;
};

// Made by the host for the plug-in, which owns them: deleted with the last reference.
class HostAttributeList final : public HostObject<vst3::IAttributeList> {
public:
    HostAttributeList();

    vst3::tresult PLUGIN_API setInt(vst3::AttrID id, int64_t value) override;
    vst3::tresult PLUGIN_API getInt(vst3::AttrID id, int64_t* value) override;
    vst3::tresult PLUGIN_API setFloat(vst3::AttrID id, double value) override;
    vst3::tresult PLUGIN_API getFloat(vst3::AttrID id, double* value) override;
    vst3::tresult PLUGIN_API setString(vst3::AttrID id, const vst3::TChar* string) override;
    vst3::tresult PLUGIN_API getString(vst3::AttrID id, vst3::TChar* string,
                                       uint32_t sizeInBytes) override;
    vst3::tresult PLUGIN_API setBinary(vst3::AttrID id, const void* data,
                                       uint32_t sizeInBytes) override;
    vst3::tresult PLUGIN_API getBinary(vst3::AttrID id, const void** data,
                                       uint32_t* sizeInBytes) override;

protected:
    void Discard() override { delete this; }

private:
    using Value = std::variant<int64_t, double, std::u16string, std::vector<char>>;
    template <class T> const T* Find(vst3::AttrID id) const;
    vst3::tresult Set(vst3::AttrID id, Value value);

    std::map<std::string, Value> values;
};

class HostMessage final : public HostObject<vst3::IMessage> {
public:
    HostMessage();
    ~HostMessage() override;

    vst3::FIDString PLUGIN_API getMessageID() override { return id.c_str(); }
    void PLUGIN_API setMessageID(vst3::FIDString newId) override { id = newId ? newId : ""; }
    vst3::IAttributeList* PLUGIN_API getAttributes() override { return attributes; }

protected:
    void Discard() override { delete this; }

private:
    std::string id;
    HostAttributeList* attributes;
};
