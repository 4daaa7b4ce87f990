#include "HostApplication.h"

#include <algorithm>
#include <type_traits>

using namespace vst3;

HostApplication::HostApplication(HostRunLoop* loop)
    : HostObject("host application"), runLoop(loop) {}

tresult PLUGIN_API HostApplication::getName(String128 text) {
    if (!text)
        return kInvalidArgument;
    const size_t units = std::min(name.size(), std::extent_v<String128> - 1);
    std::copy_n(name.begin(), units, text);
    text[units] = u'\0';
    return kResultOk;
}

namespace {
template <class Made> tresult HandOver(Made* made, TUID iid, void** obj) {
    const tresult result = made->queryInterface(iid, obj);
    made->release();
    return result;
}
} // namespace

tresult PLUGIN_API HostApplication::createInstance(TUID cid, TUID iid, void** obj) {
    if (!obj)
        return kInvalidArgument;
    *obj = nullptr;
    if (!iid)
        return kInvalidArgument;
    if (SameUid(cid, IMessage::kIid))
        return HandOver(new HostMessage, iid, obj);
    if (SameUid(cid, IAttributeList::kIid))
        return HandOver(new HostAttributeList, iid, obj);
    return kResultFalse;
}

tresult HostApplication::Query(const char* iid, void** obj) {
    if (runLoop && SameUid(iid, Linux::IRunLoop::kIid))
        return runLoop->queryInterface(iid, obj);
    return HostObject::Query(iid, obj);
}

HostAttributeList::HostAttributeList() : HostObject("attribute list", Owner::HandedOver) {}

template <class T> const T* HostAttributeList::Find(AttrID id) const {
    const auto found = id ? values.find(id) : values.end();
    return found == values.end() ? nullptr : std::get_if<T>(&found->second);
}

tresult HostAttributeList::Set(AttrID id, Value value) {
    if (!id)
        return kInvalidArgument;
    values[id] = std::move(value);
    return kResultOk;
}

tresult PLUGIN_API HostAttributeList::setInt(AttrID id, int64_t value) {
    return Set(id, value);
}

tresult PLUGIN_API HostAttributeList::getInt(AttrID id, int64_t* value) {
    const int64_t* found = Find<int64_t>(id);
    if (!found || !value)
        return kResultFalse;
    *value = *found;
    return kResultOk;
}

tresult PLUGIN_API HostAttributeList::setFloat(AttrID id, double value) {
    return Set(id, value);
}

tresult PLUGIN_API HostAttributeList::getFloat(AttrID id, double* value) {
    const double* found = Find<double>(id);
    if (!found || !value)
        return kResultFalse;
    *value = *found;
    return kResultOk;
}

tresult PLUGIN_API HostAttributeList::setString(AttrID id, const TChar* string) {
    if (!string)
        return kInvalidArgument;
    return Set(id, std::u16string(string));
}

tresult PLUGIN_API HostAttributeList::getString(AttrID id, TChar* string, uint32_t sizeInBytes) {
    const size_t room = sizeInBytes / sizeof(TChar);
    if (!string || room == 0)
        return kInvalidArgument;
    const std::u16string* found = Find<std::u16string>(id);
    if (!found)
        return kResultFalse;
    const size_t units = std::min(found->size(), room - 1);
    std::copy_n(found->begin(), units, string);
    string[units] = u'\0';
    return kResultOk;
}

tresult PLUGIN_API HostAttributeList::setBinary(AttrID id, const void* data, uint32_t sizeInBytes) {
    if (!data && sizeInBytes > 0)
        return kInvalidArgument;
    const char* bytes = static_cast<const char*>(data);
    return Set(id, std::vector<char>(bytes, bytes + sizeInBytes));
}

tresult PLUGIN_API HostAttributeList::getBinary(AttrID id, const void** data,
                                                uint32_t* sizeInBytes) {
    const std::vector<char>* found = Find<std::vector<char>>(id);
    if (!found || !data || !sizeInBytes)
        return kResultFalse;
    *data = found->data();
    *sizeInBytes = static_cast<uint32_t>(found->size());
    return kResultOk;
}

HostMessage::HostMessage()
    : HostObject("message", Owner::HandedOver), attributes(new HostAttributeList) {}

HostMessage::~HostMessage() {
    attributes->release();
}
