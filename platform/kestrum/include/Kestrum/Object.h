// Reference-counted object bases.
#pragma once

#include <atomic>
#include <string>

namespace Kestrum {

// Interface of every intrusively counted object. Holders use Kestrum::Ref.
class Object {
 public:
  virtual void IncRef() = 0;
  virtual void DecRef() = 0;
  virtual int GetRefCount() const = 0;
  virtual std::string ToString() const;

 protected:
  Object() = default;
  Object(const Object&) = default;
  Object& operator=(const Object&) = default;
  virtual ~Object();
};

// Standard implementation: an atomic count that starts at 0 (the first Ref
// takes the first reference) and deletes the object when it drops to 0.
class ObjectImpl : public virtual Object {
 public:
  void IncRef() override;
  void DecRef() override;
  int GetRefCount() const override;
  std::string ToString() const override;

 protected:
  ObjectImpl();
  // A copy is a new object: its count starts at 0 again.
  ObjectImpl(const ObjectImpl&);
  ObjectImpl& operator=(const ObjectImpl&);
  ~ObjectImpl() override;

  // Called when the count goes from 0 to 1.
  virtual void FirstIncRef();
  // Called when the count drops to 0; deletes the object.
  virtual void FinalDecRef();

 private:
  std::atomic<int> _refCount;
};

}  // namespace Kestrum
