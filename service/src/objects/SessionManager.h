// zel.auth.SessionManager: logins by delegated token, and logouts.
#pragma once

#include <Olyx/Zel/Auth/SessionManager.h>
#include <ZelSample/IssuerKeys.h>
#include <ZelSample/Sessions.h>

#include <memory>

#include "Support.h"
#include "store/Quotas.h"

namespace ZelSample {

class SessionManagerImpl : public Served<Zel::Auth::SessionManager> {
 public:
  SessionManagerImpl(const char* id, SessionTable& sessions, QuotaTable& quotas,
                     std::shared_ptr<const TrustedIssuers> trusted);

  void LoginByToken(const std::string& delegatedTokenXml) override;
  void Logout() override;

 private:
  SessionTable& _sessions;
  QuotaTable& _quotas;
  std::shared_ptr<const TrustedIssuers> _trusted;
};

}  // namespace ZelSample
