// The libpq functions the service calls, each forwarding to libpq loaded on
// its first call. A program linked with this instead of libpq maps libpq and
// what libpq needs (Kerberos, LDAP, SASL, GnuTLS: about twenty shared objects
// that take several milliseconds to load and initialise) only when it uses a
// PostgreSQL database, not at every start.
//
// A function the service starts to use is added to the list below; until
// then the program fails to link, naming it.
#include <libpq-fe.h>

#include "OnDemand.h"

namespace {

// libpq's soname: the major version the headers are of.
constexpr zel::on_demand::Library kLibpq{"libpq.so.5", "PostgreSQL's client library"};

}  // namespace

#define ZEL_PQ_FORWARD(result, name, parameters, arguments) \
  ZEL_FORWARD_ON_DEMAND(kLibpq, result, name, parameters, arguments)

// Connections.
ZEL_PQ_FORWARD(PGconn*, PQconnectdb, (const char* conninfo), (conninfo))
ZEL_PQ_FORWARD(PGconn*, PQconnectdbParams,
               (const char* const* keywords, const char* const* values, int expand_dbname),
               (keywords, values, expand_dbname))
ZEL_PQ_FORWARD(void, PQfinish, (PGconn * conn), (conn))
ZEL_PQ_FORWARD(void, PQreset, (PGconn * conn), (conn))
ZEL_PQ_FORWARD(PGPing, PQping, (const char* conninfo), (conninfo))
ZEL_PQ_FORWARD(ConnStatusType, PQstatus, (const PGconn* conn), (conn))
ZEL_PQ_FORWARD(PGTransactionStatusType, PQtransactionStatus, (const PGconn* conn), (conn))
ZEL_PQ_FORWARD(char*, PQerrorMessage, (const PGconn* conn), (conn))
ZEL_PQ_FORWARD(int, PQsocket, (const PGconn* conn), (conn))
ZEL_PQ_FORWARD(int, PQserverVersion, (const PGconn* conn), (conn))
ZEL_PQ_FORWARD(const char*, PQparameterStatus, (const PGconn* conn, const char* paramName),
               (conn, paramName))

// Statements.
ZEL_PQ_FORWARD(PGresult*, PQexec, (PGconn * conn, const char* query), (conn, query))
ZEL_PQ_FORWARD(PGresult*, PQexecParams,
               (PGconn * conn, const char* command, int nParams, const Oid* paramTypes,
                const char* const* paramValues, const int* paramLengths, const int* paramFormats,
                int resultFormat),
               (conn, command, nParams, paramTypes, paramValues, paramLengths, paramFormats,
                resultFormat))
ZEL_PQ_FORWARD(PGresult*, PQprepare,
               (PGconn * conn, const char* stmtName, const char* query, int nParams,
                const Oid* paramTypes),
               (conn, stmtName, query, nParams, paramTypes))
ZEL_PQ_FORWARD(PGresult*, PQexecPrepared,
               (PGconn * conn, const char* stmtName, int nParams, const char* const* paramValues,
                const int* paramLengths, const int* paramFormats, int resultFormat),
               (conn, stmtName, nParams, paramValues, paramLengths, paramFormats, resultFormat))
ZEL_PQ_FORWARD(char*, PQescapeLiteral, (PGconn * conn, const char* str, size_t len),
               (conn, str, len))
ZEL_PQ_FORWARD(char*, PQescapeIdentifier, (PGconn * conn, const char* str, size_t len),
               (conn, str, len))
ZEL_PQ_FORWARD(void, PQfreemem, (void* ptr), (ptr))

// Results.
ZEL_PQ_FORWARD(void, PQclear, (PGresult * res), (res))
ZEL_PQ_FORWARD(ExecStatusType, PQresultStatus, (const PGresult* res), (res))
ZEL_PQ_FORWARD(char*, PQresultErrorMessage, (const PGresult* res), (res))
ZEL_PQ_FORWARD(char*, PQresultErrorField, (const PGresult* res, int fieldcode), (res, fieldcode))
ZEL_PQ_FORWARD(int, PQntuples, (const PGresult* res), (res))
ZEL_PQ_FORWARD(int, PQnfields, (const PGresult* res), (res))
ZEL_PQ_FORWARD(char*, PQfname, (const PGresult* res, int field_num), (res, field_num))
ZEL_PQ_FORWARD(char*, PQcmdTuples, (PGresult * res), (res))
ZEL_PQ_FORWARD(char*, PQgetvalue, (const PGresult* res, int tup_num, int field_num),
               (res, tup_num, field_num))
ZEL_PQ_FORWARD(int, PQgetlength, (const PGresult* res, int tup_num, int field_num),
               (res, tup_num, field_num))
ZEL_PQ_FORWARD(int, PQgetisnull, (const PGresult* res, int tup_num, int field_num),
               (res, tup_num, field_num))
