// libxml2's XML Schema validator, for the tests: a schema compiled from a
// file (with whatever it imports or includes), documents validated against
// it, and XPath questions about a document.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ZelServerTest {

class SchemaValidator {
 public:
  // Compiles the schema at path; IsValid() tells whether it compiled and
  // GetErrors() why not.
  explicit SchemaValidator(const std::string& path);
  ~SchemaValidator();
  SchemaValidator(const SchemaValidator&) = delete;
  SchemaValidator& operator=(const SchemaValidator&) = delete;

  bool IsValid() const { return _schema != nullptr; }
  const std::string& GetErrors() const { return _errors; }

  // The validator's complaints about a document; empty when it is valid.
  std::string Validate(const std::string& xml) const;

 private:
  void* _schema = nullptr;
  std::string _errors;
};

// The string values of the nodes an XPath expression selects in a document,
// with the prefixes given bound to namespaces. Fails the calling test
// (returns nothing) for a document that does not parse.
std::vector<std::string> XPathValues(const std::string& xml, const std::string& expression,
                                     const std::vector<std::pair<std::string, std::string>>& ns);

// Writes text to a file, replacing it.
void WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);

}  // namespace ZelServerTest
