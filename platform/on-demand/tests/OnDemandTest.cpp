// libpq, SQLite and OpenSSL through their on-demand shims: not loaded by the
// program's start, loaded by the first call, which then answers as the
// library's own. (ctest runs each case alone, so "not loaded yet" holds at
// the start of each.)
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <link.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <openssl/ssl.h>
#include <sqlite3.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "../src/OnDemand.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

bool IsMapped(const char* library) {
  return dl_iterate_phdr(
             [](dl_phdr_info* info, size_t, void* wanted) {
               return std::strstr(info->dlpi_name, static_cast<const char*>(wanted)) != nullptr ? 1
                                                                                                : 0;
             },
             const_cast<char*>(library)) != 0;
}

std::string Hex(const unsigned char* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

TEST(PqOnDemandTest, LoadsLibpqOnTheFirstCallAndAnswersAsLibpq) {
  // Before any call into libpq in this process (ctest runs each case alone).
  EXPECT_FALSE(IsMapped("libpq.so")) << "libpq was loaded before any of its functions was called";

  // A socket folder where no server listens: libpq's own refusal.
  PGconn* connection = PQconnectdb("host=/nonexistent-zel-folder dbname=none connect_timeout=1");
  ASSERT_NE(connection, nullptr);
  EXPECT_TRUE(IsMapped("libpq.so"));
  EXPECT_EQ(PQstatus(connection), CONNECTION_BAD);
  EXPECT_NE(std::string(PQerrorMessage(connection)).find("/nonexistent-zel-folder"),
            std::string::npos)
      << PQerrorMessage(connection);
  EXPECT_EQ(PQsocket(connection), -1);
  PQfinish(connection);

  EXPECT_EQ(PQping("host=/nonexistent-zel-folder dbname=none connect_timeout=1"),
            PQPING_NO_RESPONSE);
}

TEST(PqOnDemandTest, ResultFunctionsAnswerAsLibpqDoes) {
  // A statement on a connection that failed has no result, which libpq's
  // result functions take as a fatal error with no rows. (zel-server's tests
  // on a real PostgreSQL run every function the service calls.)
  PGconn* connection = PQconnectdb("host=/nonexistent-zel-folder dbname=none connect_timeout=1");
  PGresult* result = PQexec(connection, "SELECT 1");
  EXPECT_EQ(PQresultStatus(result), PGRES_FATAL_ERROR);
  EXPECT_EQ(PQntuples(result), 0);
  PQclear(result);
  PQfinish(connection);
}

TEST(OnDemandTest, SqliteLoadsOnItsFirstCallAndAnswersAsSqlite) {
  EXPECT_FALSE(IsMapped("libsqlite3.so")) << "SQLite was loaded before any call";

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
            SQLITE_OK);
  EXPECT_TRUE(IsMapped("libsqlite3.so"));
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t (n INTEGER, s TEXT)", nullptr, nullptr, nullptr),
            SQLITE_OK);

  sqlite3_stmt* insert = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?)", -1, &insert, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_bind_int64(insert, 1, 5'000'000'000), SQLITE_OK);
  ASSERT_EQ(sqlite3_bind_text(insert, 2, "gold", -1, SQLITE_TRANSIENT), SQLITE_OK);
  EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
  EXPECT_EQ(sqlite3_finalize(insert), SQLITE_OK);

  sqlite3_stmt* select = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT n, s FROM t", -1, &select, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(select), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int64(select, 0), 5'000'000'000);
  EXPECT_EQ(sqlite3_column_bytes(select, 1), 4);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(select, 1)), "gold");
  EXPECT_EQ(sqlite3_step(select), SQLITE_DONE);
  sqlite3_finalize(select);

  // SQLite's own refusal, with its message.
  char* message = nullptr;
  EXPECT_EQ(sqlite3_exec(db, "SELECT * FROM missing", nullptr, nullptr, &message), SQLITE_ERROR);
  ASSERT_NE(message, nullptr);
  EXPECT_NE(std::string(message).find("missing"), std::string::npos) << message;
  sqlite3_free(message);
  EXPECT_EQ(sqlite3_errcode(db), SQLITE_ERROR);
  EXPECT_STREQ(sqlite3_errstr(SQLITE_BUSY), "database is locked");
  EXPECT_EQ(sqlite3_close(db), SQLITE_OK);
}

TEST(OnDemandTest, LibcryptoLoadsOnItsFirstCallAndAnswersAsLibcrypto) {
  EXPECT_FALSE(IsMapped("libcrypto.so")) << "libcrypto was loaded before any call";

  SHA256_CTX context;
  ASSERT_EQ(SHA256_Init(&context), 1);
  EXPECT_TRUE(IsMapped("libcrypto.so"));
  ASSERT_EQ(SHA256_Update(&context, "abc", 3), 1);
  unsigned char digest[SHA256_DIGEST_LENGTH];
  ASSERT_EQ(SHA256_Final(digest, &context), 1);
  EXPECT_EQ(Hex(digest, sizeof digest),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

  unsigned char encoded[8] = {};
  EXPECT_EQ(EVP_EncodeBlock(encoded, reinterpret_cast<const unsigned char*>("abc"), 3), 4);
  EXPECT_STREQ(reinterpret_cast<const char*>(encoded), "YWJj");

  unsigned char first[32] = {}, second[32] = {};
  ASSERT_EQ(RAND_bytes(first, sizeof first), 1);
  ASSERT_EQ(RAND_bytes(second, sizeof second), 1);
  EXPECT_NE(Hex(first, sizeof first), Hex(second, sizeof second));
}

TEST(OnDemandTest, LibsslLoadsOnItsFirstCallAndReportsErrorsThroughLibcrypto) {
  EXPECT_FALSE(IsMapped("libssl.so")) << "libssl was loaded before any call";

  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  ASSERT_NE(context, nullptr);
  EXPECT_TRUE(IsMapped("libssl.so"));
  // A certificate file that is not there: libssl's refusal, read through the
  // error queue of libcrypto's shim.
  ERR_clear_error();
  EXPECT_NE(SSL_CTX_use_certificate_chain_file(context, "/nonexistent-zel-folder/cert.pem"), 1);
  const unsigned long error = ERR_get_error();
  EXPECT_NE(error, 0u);
  EXPECT_NE(ERR_lib_error_string(error), nullptr);
  SSL* connection = SSL_new(context);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(SSL_get_shutdown(connection), 0);
  SSL_free(connection);
  SSL_CTX_free(context);
}

TEST(OnDemandTest, ALibraryThatCannotBeLoadedOrLacksAFunctionIsNamed) {
  try {
    zel::on_demand::Find({"libzel-not-installed.so.9", "The missing library"}, "f");
    FAIL() << "a library that is not installed was loaded";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("The missing library cannot be loaded"),
              std::string::npos)
        << error.what();
    EXPECT_NE(std::string(error.what()).find("libzel-not-installed.so.9"), std::string::npos)
        << error.what();
  }
  const zel::on_demand::Library libc{"libc.so.6", "The C library"};
  EXPECT_NE(zel::on_demand::Find(libc, "strlen"), nullptr);
  try {
    zel::on_demand::Find(libc, "zel_no_such_function");
    FAIL() << "a function that is not there was found";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "libc.so.6 has no function zel_no_such_function");
  }
}

}  // namespace
