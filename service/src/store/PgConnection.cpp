#include "store/PgConnection.h"

#include <poll.h>

#include <cstdlib>
#include <string>

#include "store/Store.h"

namespace ZelSample {

namespace {

// libpq's messages end with a newline and may run over several lines.
std::string OneLine(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text.empty() ? "no reason given" : text;
}

}  // namespace

std::string PgResult::Text(int row, int column) const {
  const char* value = PQgetvalue(_result.get(), row, column);
  return std::string(value, static_cast<size_t>(PQgetlength(_result.get(), row, column)));
}

long long PgResult::Integer(int row, int column) const {
  return std::strtoll(PQgetvalue(_result.get(), row, column), nullptr, 10);
}

PgConnection::PgConnection(std::string uri, std::string describe, bool connectNow)
    : _uri(std::move(uri)), _describe(std::move(describe)) {
  if (connectNow) Connect();
}

PgConnection::~PgConnection() {
  if (_conn != nullptr) PQfinish(_conn);
}

void PgConnection::Connect() {
  if (_conn != nullptr) {
    PQfinish(_conn);
    _conn = nullptr;
  }
  const std::string timeout = std::to_string(kConnectTimeoutSeconds);
  // The defaults come first, the URI last: what the URI names wins.
  const char* keys[] = {"connect_timeout",     "keepalives",       "keepalives_idle",
                        "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                        "application_name",    "dbname",           nullptr};
  const char* values[] = {timeout.c_str(), "1",          "5",          "2",    "3",
                          "10000",         "zel-server", _uri.c_str(), nullptr};
  _conn = PQconnectdbParams(keys, values, 1);
  if (_conn == nullptr || PQstatus(_conn) != CONNECTION_OK) {
    std::string reason = _conn != nullptr ? OneLine(PQerrorMessage(_conn)) : "out of memory";
    if (_conn != nullptr) PQfinish(_conn);
    _conn = nullptr;
    throw StoreError(_describe + ": cannot connect: " + reason);
  }
  // A statement that waits longer (for a lock, a stuck server) fails; a
  // transaction left idle (its process stopped while it held a lock) is
  // ended by the server, so that it holds no other process up for long.
  const std::string set =
      "SET statement_timeout = " + std::to_string(kStatementTimeoutMs) +
      "; SET idle_in_transaction_session_timeout = " + std::to_string(kIdleTransactionMs);
  PGresult* result = PQexec(_conn, set.c_str());
  const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
  PQclear(result);
  if (!ok) {
    std::string reason = OneLine(PQerrorMessage(_conn));
    PQfinish(_conn);
    _conn = nullptr;
    throw StoreError(_describe + ": cannot set up the connection: " + reason);
  }
}

void PgConnection::EnsureConnected() {
  if (_conn != nullptr && PQstatus(_conn) == CONNECTION_OK &&
      PQtransactionStatus(_conn) == PQTRANS_IDLE) {
    // An idle connection is sent nothing unasked (this service listens for
    // no notifications): bytes waiting on it are the server's goodbye (it
    // stopped or restarted, or ended the connection) or its end of file.
    // Connect afresh now, before sending anything, instead of failing the
    // statement. Inside a transaction a lost connection must fail it.
    pollfd waiting{PQsocket(_conn), POLLIN, 0};
    if (poll(&waiting, 1, 0) != 0) Connect();
  }
  if (_conn == nullptr || PQstatus(_conn) != CONNECTION_OK) Connect();
}

PgResult PgConnection::Exec(const char* sql, const std::vector<std::string>& params) {
  _lastState.clear();
  EnsureConnected();
  std::vector<const char*> values;
  std::vector<int> lengths;
  values.reserve(params.size());
  lengths.reserve(params.size());
  for (const std::string& param : params) {
    values.push_back(param.c_str());
    lengths.push_back(static_cast<int>(param.size()));
  }
  return Checked(PQexecParams(_conn, sql, static_cast<int>(params.size()), nullptr, values.data(),
                              lengths.data(), nullptr, 0));
}

void PgConnection::ExecScript(const char* sql) {
  _lastState.clear();
  EnsureConnected();
  Checked(PQexec(_conn, sql));
}

PgResult PgConnection::Checked(PGresult* raw) {
  PgResult result(raw);
  const ExecStatusType status = raw != nullptr ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return result;
  const char* state = raw != nullptr ? PQresultErrorField(raw, PG_DIAG_SQLSTATE) : nullptr;
  _lastState = state != nullptr ? state : "";
  const char* reason = raw != nullptr ? PQresultErrorMessage(raw) : nullptr;
  if (reason == nullptr || *reason == '\0') reason = PQerrorMessage(_conn);
  std::string message = _describe + ": " + OneLine(reason);
  if (PQstatus(_conn) != CONNECTION_OK)
    message += " (the connection is lost; the next call connects again)";
  throw StoreError(message);
}

bool PgConnection::Reusable() const {
  return _conn == nullptr ||
         (PQstatus(_conn) == CONNECTION_OK && PQtransactionStatus(_conn) == PQTRANS_IDLE);
}

void PgConnection::ExecQuietly(const char* sql) noexcept {
  if (_conn == nullptr || PQstatus(_conn) != CONNECTION_OK) return;
  PQclear(PQexec(_conn, sql));
}

}  // namespace ZelSample
