// zel.auth.SessionManager (SessionManager.h).
#include "objects/SessionManager.h"

#include <Lumo/Fault/NotSupported.h>
#include <Lumo/ServedCall.h>
#include <ZelSample/Token.h>

namespace ZelSample {

using Kestrum::MakeRef;
using Kestrum::Ref;

SessionManagerImpl::SessionManagerImpl(const char* id, SessionTable& sessions, QuotaTable& quotas,
                                       std::shared_ptr<const TrustedIssuers> trusted)
    : Served(id), _sessions(sessions), _quotas(quotas), _trusted(std::move(trusted)) {}

void SessionManagerImpl::LoginByToken(const std::string& delegatedTokenXml) {
  DelegatedToken token;
  std::string reason;
  if (!VerifyDelegatedToken(delegatedTokenXml, *_trusted, TokenClockNow(), token, reason,
                            _sessions.GetSettings().maxTokenLifetime.count())) {
    Faults::InvalidLogin("the delegated token was refused: " + reason);
  }
  Lumo::ServedCall* call = Lumo::CurrentCall();
  if (call == nullptr || !call->keepsSessions) {
    auto fault = Kestrum::MakeRef<Lumo::Fault::NotSupported>();
    fault->SetMsg("a login needs a transport that keeps sessions");
    fault->Throw();
  }
  if (!call->sessionId.empty()) {
    _sessions.Close(call->sessionId);
    _quotas.Forget(call->sessionId);
    call->ReplaceSession(std::string());
  }
  std::string refusal;
  std::string id = _sessions.Open(token, &refusal);
  if (id.empty()) Faults::InvalidLogin("the login was refused: " + refusal);
  call->ReplaceSession(id);
}

void SessionManagerImpl::Logout() {
  Lumo::ServedCall* call = Lumo::CurrentCall();
  if (call == nullptr || call->sessionId.empty()) return;
  _sessions.LogOut(call->sessionId);
  _quotas.Forget(call->sessionId);
  call->ReplaceSession(std::string());
}

}  // namespace ZelSample
