// Telling a database URI from a file path in `--data`, and writing a URI
// where people read it without the secrets it may carry.
#pragma once

#include <string>

namespace ZelSample {

// True for "postgresql://..." and "postgres://...": the data lives in a
// PostgreSQL database. Anything else names an SQLite file.
bool IsPostgresUri(const std::string& data);

// The URI with its password (user:PASSWORD@ and any password=... query
// parameter) replaced by "***", for logs and messages.
std::string RedactUri(const std::string& uri);

}  // namespace ZelSample
