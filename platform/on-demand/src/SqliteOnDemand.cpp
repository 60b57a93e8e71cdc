// The SQLite functions the service calls, each forwarding to SQLite loaded on
// its first call. A program linked with this instead of SQLite maps it only
// when it keeps its data in a file (`--data FILE`), not at every start
// (loading and binding SQLite costs about a million instructions).
//
// A function the service starts to use is added to the list below; until
// then the program fails to link, naming it.
#include <sqlite3.h>

#include "OnDemand.h"

namespace {

// SQLite 3's soname, the same since its first release.
constexpr zel::on_demand::Library kSqlite{"libsqlite3.so.0", "SQLite"};

}  // namespace

#define ZEL_SQLITE_FORWARD(result, name, parameters, arguments) \
  ZEL_FORWARD_ON_DEMAND(kSqlite, result, name, parameters, arguments)

// Connections.
ZEL_SQLITE_FORWARD(int, sqlite3_open_v2,
                   (const char* filename, sqlite3** ppDb, int flags, const char* zVfs),
                   (filename, ppDb, flags, zVfs))
ZEL_SQLITE_FORWARD(int, sqlite3_close, (sqlite3 * db), (db))
ZEL_SQLITE_FORWARD(int, sqlite3_busy_timeout, (sqlite3 * db, int ms), (db, ms))
ZEL_SQLITE_FORWARD(int, sqlite3_exec,
                   (sqlite3 * db, const char* sql, int (*callback)(void*, int, char**, char**),
                    void* argument, char** errmsg),
                   (db, sql, callback, argument, errmsg))
ZEL_SQLITE_FORWARD(void, sqlite3_free, (void* memory), (memory))

// Errors.
ZEL_SQLITE_FORWARD(int, sqlite3_errcode, (sqlite3 * db), (db))
ZEL_SQLITE_FORWARD(const char*, sqlite3_errmsg, (sqlite3 * db), (db))
ZEL_SQLITE_FORWARD(const char*, sqlite3_errstr, (int code), (code))

// Statements.
ZEL_SQLITE_FORWARD(int, sqlite3_prepare_v2,
                   (sqlite3 * db, const char* zSql, int nByte, sqlite3_stmt** ppStmt,
                    const char** pzTail),
                   (db, zSql, nByte, ppStmt, pzTail))
ZEL_SQLITE_FORWARD(int, sqlite3_bind_int64,
                   (sqlite3_stmt * statement, int index, sqlite3_int64 value),
                   (statement, index, value))
ZEL_SQLITE_FORWARD(int, sqlite3_bind_text,
                   (sqlite3_stmt * statement, int index, const char* text, int bytes,
                    void (*destructor)(void*)),
                   (statement, index, text, bytes, destructor))
ZEL_SQLITE_FORWARD(int, sqlite3_clear_bindings, (sqlite3_stmt * statement), (statement))
ZEL_SQLITE_FORWARD(int, sqlite3_step, (sqlite3_stmt * statement), (statement))
ZEL_SQLITE_FORWARD(int, sqlite3_reset, (sqlite3_stmt * statement), (statement))
ZEL_SQLITE_FORWARD(int, sqlite3_finalize, (sqlite3_stmt * statement), (statement))

// Columns.
ZEL_SQLITE_FORWARD(int, sqlite3_column_bytes, (sqlite3_stmt * statement, int column),
                   (statement, column))
ZEL_SQLITE_FORWARD(int, sqlite3_column_int, (sqlite3_stmt * statement, int column),
                   (statement, column))
ZEL_SQLITE_FORWARD(sqlite3_int64, sqlite3_column_int64, (sqlite3_stmt * statement, int column),
                   (statement, column))
ZEL_SQLITE_FORWARD(const unsigned char*, sqlite3_column_text,
                   (sqlite3_stmt * statement, int column), (statement, column))
