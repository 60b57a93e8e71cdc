// olyx.MethodFault: the root of every fault, and its exception class.
//
// A fault is a data object; it travels through a throw inside an exception of
// the fault's own nested Exception class. Throw() ends in the most-derived
// ThrowInternal(), so the thrown exception follows the fault's class.
#pragma once

#include <Kestrum/Exception.h>
#include <Kestrum/Optional.h>
#include <Kestrum/Ref.h>
#include <Lumo/DataArray.h>
#include <Lumo/DynamicData.h>
#include <Lumo/KeyAnyValue.h>

#include <string>

namespace Lumo {

class MethodFault : public DynamicData {
 public:
  class Exception;

  MethodFault();
  ~MethodFault() override;

  // Virtual order after DynamicData: ThrowInternal, Throw, CreateException.
  Type* _GetType() const override;
  MethodFault* _Clone() const override;
  bool _IsEqual(const Any* other, bool looseMatch = false) const override;
  DataObjectType* _GetDataType() const override;

 protected:
  // Throws, by value, an exception of this fault's class holding this fault.
  [[noreturn]] virtual void ThrowInternal();

 public:
  // Throws this fault as its own class's exception.
  [[noreturn]] virtual void Throw();
  // A new heap exception of this fault's class holding this fault; the caller
  // owns it.
  virtual Exception* CreateException();

  // msg: optional string, own index 0. GetMsg() gives "" while unset.
  const std::string& GetMsg() const;
  bool GetMsg(std::string& msg) const;
  const Kestrum::Optional<std::string>& GetMsgOptional() const { return _msg; }
  const std::string* PeekMsg() const { return _msg.GetPtr(); }
  void SetMsg(const std::string& msg);
  void SetMsg(const char* msg) { SetMsg(std::string(msg)); }
  void SetMsg(const Kestrum::Optional<std::string>& msg);
  void SwapMsg(Kestrum::Optional<std::string>* const msg);
  void UnsetMsg() { _msg.Reset(); }

  // faultMessage: optional array of olyx.KeyAnyValue, own index 1.
  // GetFaultMessage() creates an empty array on first use; GetPtrFaultMessage()
  // never creates.
  DataArray<KeyAnyValue>* GetFaultMessage();
  const DataArray<KeyAnyValue>* GetFaultMessage() const;
  DataArray<KeyAnyValue>* GetPtrFaultMessage() { return _faultMessage.Get(); }
  const DataArray<KeyAnyValue>* GetPtrFaultMessage() const { return _faultMessage.Get(); }
  bool IsSetFaultMessage() const { return _faultMessage && !_faultMessage->IsEmpty(); }
  const DataArray<KeyAnyValue>* PeekFaultMessage() const {
    return IsSetFaultMessage() ? _faultMessage.Get() : nullptr;
  }
  void SetFaultMessage(DataArray<KeyAnyValue>* faultMessage) { _faultMessage = faultMessage; }
  void SwapFaultMessage(Kestrum::Ref<DataArray<KeyAnyValue>>* const faultMessage);

 protected:
  MethodFault(const MethodFault& other);

 private:
  Kestrum::Optional<std::string> _msg;
  // Installed lazily by the const getter too, hence mutable.
  mutable Kestrum::Ref<DataArray<KeyAnyValue>> _faultMessage;
};

class MethodFault::Exception : public Kestrum::Exception {
 public:
  // Composes the message from the fault (see FormatMessage) and keeps one
  // reference to it.
  explicit Exception(MethodFault* fault);
  // Shares the fault; the message is copied, not rebuilt.
  Exception(const Exception& other);
  ~Exception() override;

  MethodFault* GetFault() const { return _fault.Get(); }
  Kestrum::Exception* Clone() const override;
  [[noreturn]] void Throw() const override;

  // "Message is: <msg>,\nFault cause: <type name>\nFault Messages are:\n<list>\n"
  static std::string FormatMessage(const MethodFault* fault);

 protected:
  // For the exception classes of derived faults, which compose the message
  // themselves with the same template.
  Exception(std::string&& message, MethodFault* fault);

  Kestrum::Ref<MethodFault> _fault;
};

extern template class DataArray<MethodFault>;

}  // namespace Lumo
