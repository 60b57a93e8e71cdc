#include <Kestrum/Exception.h>
#include <Kestrum/Object.h>
#include <Kestrum/Panic.h>

#include <cstdio>
#include <typeinfo>

namespace Kestrum {

Object::~Object() = default;

std::string Object::ToString() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return DemangleClassName(typeid(*this)) + "@" + address;
}

ObjectImpl::ObjectImpl() : _refCount(0) {}
ObjectImpl::ObjectImpl(const ObjectImpl& other) : Object(other), _refCount(0) {}
ObjectImpl& ObjectImpl::operator=(const ObjectImpl&) { return *this; }  // the count stays
ObjectImpl::~ObjectImpl() = default;

void ObjectImpl::IncRef() {
  if (_refCount.fetch_add(1, std::memory_order_relaxed) == 0) FirstIncRef();
}

void ObjectImpl::DecRef() {
  int previous = _refCount.fetch_sub(1, std::memory_order_acq_rel);
  KESTRUM_ASSERT_AT(previous > 0, "Kestrum/Object", 71);
  if (previous == 1) FinalDecRef();
}

int ObjectImpl::GetRefCount() const { return _refCount.load(std::memory_order_acquire); }

std::string ObjectImpl::ToString() const { return Object::ToString(); }

void ObjectImpl::FirstIncRef() {}

void ObjectImpl::FinalDecRef() { delete this; }

}  // namespace Kestrum
