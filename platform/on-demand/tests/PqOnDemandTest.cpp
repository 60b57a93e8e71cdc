// libpq through pq-on-demand: not loaded by the program's start, loaded by
// the first call, which then behaves as libpq's own.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <link.h>

#include <cstring>
#include <string>

namespace {

bool LibpqIsMapped() {
  return dl_iterate_phdr(
             [](dl_phdr_info* info, size_t, void*) {
               return std::strstr(info->dlpi_name, "libpq.so") != nullptr ? 1 : 0;
             },
             nullptr) != 0;
}

TEST(PqOnDemandTest, LoadsLibpqOnTheFirstCallAndAnswersAsLibpq) {
  // Before any call into libpq in this process (ctest runs each case alone).
  EXPECT_FALSE(LibpqIsMapped()) << "libpq was loaded before any of its functions was called";

  // A socket folder where no server listens: libpq's own refusal.
  PGconn* connection = PQconnectdb("host=/nonexistent-zel-folder dbname=none connect_timeout=1");
  ASSERT_NE(connection, nullptr);
  EXPECT_TRUE(LibpqIsMapped());
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

}  // namespace
