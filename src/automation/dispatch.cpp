#include "automation/dispatch.h"

#include "automation/text.h"

namespace tw {

bool Enumerator::skip(uint32_t count) {
  Variant dummy;
  for (uint32_t i = 0; i < count; ++i)
    if (!next(dummy)) return false;
  return true;
}

bool VectorEnumerator::next(Variant& out) {
  if (pos_ >= items_.size()) return false;
  out = items_[pos_++];
  return true;
}

Ref<Enumerator> VectorEnumerator::clone() {
  auto copy = makeRef<VectorEnumerator>(items_);
  copy->pos_ = pos_;
  return copy;
}

DispId ClassInfo::find(std::string_view name) const {
  auto it = index_.find(toLower(name));
  return it == index_.end() ? kDispIdUnknown : it->second;
}

const ClassInfo::Member* ClassInfo::member(DispId id) const {
  if (id == kDispIdValue) id = defaultId_;
  if (id < 1 || static_cast<size_t>(id) > members_.size()) return nullptr;
  return &members_[id - 1];
}

DispId ClassInfo::add(Member m) {
  std::string key = toLower(m.name);
  auto it = index_.find(key);
  if (it != index_.end()) {
    Member& existing = members_[it->second - 1];
    if (m.get) existing.get = std::move(m.get);
    if (m.call) existing.call = std::move(m.call);
    if (m.put) existing.put = std::move(m.put);
    if (m.putRef) existing.putRef = std::move(m.putRef);
    return it->second;
  }
  members_.push_back(std::move(m));
  DispId id = static_cast<DispId>(members_.size());
  index_.emplace(std::move(key), id);
  return id;
}

void ClassInfo::setDefault(std::string_view name) { defaultId_ = find(name); }

std::string Dispatch::typeName() const {
  const ClassInfo* info = classInfo();
  return info ? info->typeName() : "Object";
}

DispId Dispatch::memberId(std::string_view name) {
  const ClassInfo* info = classInfo();
  return info ? info->find(name) : kDispIdUnknown;
}

Variant Dispatch::invoke(DispId id, uint16_t kind, Args args) {
  const ClassInfo* info = classInfo();
  if (!info) raise(kErrNoSuchMember);
  return invokeTable(*info, id, kind, args);
}

Variant Dispatch::invokeTable(const ClassInfo& info, DispId id, uint16_t kind, Args args) {
  const ClassInfo::Member* m = info.member(id);
  if (!m) {
    // An object without a default member used as a value.
    raise(kErrNoSuchMember);
  }
  if (kind & (kInvokePut | kInvokePutRef)) {
    if (args.empty()) raise(kErrWrongArgCount);
    const Variant& value = args.back();
    Args index = args.first(args.size() - 1);
    if ((kind & kInvokePutRef) && m->putRef) {
      m->putRef(*this, index, value);
    } else if (m->put) {
      m->put(*this, index, value);
    } else if ((kind & kInvokePut) && m->putRef && value.isObject()) {
      m->putRef(*this, index, value);
    } else if (id == kDispIdValue || m->get || m->call) {
      // Read-only property or method.
      raise(kErrWrongArgCount);
    } else {
      raise(kErrNoSuchMember);
    }
    return Variant();
  }
  if ((kind & kInvokeMethod) && m->call) return m->call(*this, args);
  if (m->get) return m->get(*this, args);
  // A method is not run when only a property value was asked for.
  if (m->call) raise(kErrWrongArgCount);
  raise(kErrNoSuchMember);  // write-only property read
}

Ref<Enumerator> Dispatch::newEnum() { raise(kErrNotCollection); }

Variant Dispatch::get(std::string_view name, std::vector<Variant> args) {
  return invoke(requireMemberId(*this, name), kInvokeGet | kInvokeMethod, args);
}

void Dispatch::put(std::string_view name, const Variant& value, std::vector<Variant> args) {
  args.push_back(value);
  invoke(requireMemberId(*this, name), kInvokePut, args);
}

void Dispatch::putRef(std::string_view name, const Variant& value, std::vector<Variant> args) {
  args.push_back(value);
  invoke(requireMemberId(*this, name), kInvokePutRef, args);
}

Variant Dispatch::call(std::string_view name, std::vector<Variant> args) {
  return invoke(requireMemberId(*this, name), kInvokeMethod | kInvokeGet, args);
}

DispId requireMemberId(Dispatch& obj, std::string_view name) {
  DispId id = obj.memberId(name);
  if (id == kDispIdUnknown) {
    Error e(kErrNoSuchMember);
    e.setSubject(std::string(name));
    throw e;
  }
  return id;
}

}  // namespace tw
