// One connection to a PostgreSQL server through libpq, with the bounds a
// service needs so that a server that is down or stuck fails calls instead
// of hanging them: a connect timeout, a statement timeout and TCP
// keepalives. A connection that broke is made again at its next use.
//
// Not thread-safe: its owner serialises its use.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>
#include <vector>

namespace ZelSample {

class PgResult {
 public:
  explicit PgResult(PGresult* result) : _result(result, &PQclear) {}
  int Rows() const { return PQntuples(_result.get()); }
  bool IsNull(int row, int column) const { return PQgetisnull(_result.get(), row, column) != 0; }
  std::string Text(int row, int column) const;
  long long Integer(int row, int column) const;

 private:
  std::unique_ptr<PGresult, void (*)(PGresult*)> _result;
};

class PgConnection {
 public:
  // How long a connection attempt, a statement and a transaction left idle
  // may take.
  static constexpr int kConnectTimeoutSeconds = 5;
  static constexpr int kStatementTimeoutMs = 10000;
  static constexpr int kIdleTransactionMs = 30000;

  // describe names the database in messages (without secrets). Connects
  // now when connectNow, else at the first use. Throws StoreError.
  PgConnection(std::string uri, std::string describe, bool connectNow = true);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Runs one statement with text parameters and answers its rows. Throws
  // StoreError, naming the database and the server's reason; the SQLSTATE
  // of a refusal by the server is in LastState().
  PgResult Exec(const char* sql, const std::vector<std::string>& params = {});
  // Runs statements without parameters, several separated by semicolons.
  void ExecScript(const char* sql);
  // Runs a statement whose failure is of no interest (a rollback).
  void ExecQuietly(const char* sql) noexcept;
  const std::string& LastState() const { return _lastState; }
  // Whether the next borrower may use it as it is: not connected yet, or
  // connected and outside any transaction.
  bool Reusable() const;

 private:
  void Connect();
  // Connects again when the connection broke, also when it broke while
  // idle and the server's goodbye is still unread.
  void EnsureConnected();
  // The result when the server did what was asked; else throws StoreError.
  PgResult Checked(PGresult* raw);

  const std::string _uri;
  const std::string _describe;
  PGconn* _conn = nullptr;
  std::string _lastState;
};

}  // namespace ZelSample
