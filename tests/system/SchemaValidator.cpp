#include "SchemaValidator.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace ZelServerTest {

namespace {

void Collect(void* context, xmlErrorPtr error) {
  auto* errors = static_cast<std::string*>(context);
  if (!error || !error->message) return;
  if (error->line > 0) *errors += "line " + std::to_string(error->line) + ": ";
  *errors += error->message;
}

// Parsing without network access, entity expansion or a DTD.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

}  // namespace

SchemaValidator::SchemaValidator(const std::string& path) {
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(path.c_str());
  xmlSchemaSetParserStructuredErrors(parser, Collect, &_errors);
  _schema = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  if (!_schema && _errors.empty()) _errors = "the schema did not compile";
}

SchemaValidator::~SchemaValidator() {
  if (_schema) xmlSchemaFree(static_cast<xmlSchemaPtr>(_schema));
}

std::string SchemaValidator::Validate(const std::string& xml) const {
  if (!_schema) return "no schema: " + _errors;
  DocPtr doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "message.xml", nullptr,
                           kParseOptions));
  if (!doc) return "not well-formed XML";
  std::string errors;
  xmlSchemaValidCtxtPtr context = xmlSchemaNewValidCtxt(static_cast<xmlSchemaPtr>(_schema));
  xmlSchemaSetValidStructuredErrors(context, Collect, &errors);
  int result = xmlSchemaValidateDoc(context, doc.get());
  xmlSchemaFreeValidCtxt(context);
  if (result != 0 && errors.empty()) errors = "invalid (code " + std::to_string(result) + ")";
  return errors;
}

std::vector<std::string> XPathValues(const std::string& xml, const std::string& expression,
                                     const std::vector<std::pair<std::string, std::string>>& ns) {
  std::vector<std::string> values;
  DocPtr doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "document.xml", nullptr,
                           kParseOptions));
  if (!doc) {
    ADD_FAILURE() << "not well-formed XML";
    return values;
  }
  xmlXPathContextPtr context = xmlXPathNewContext(doc.get());
  for (const auto& [prefix, uri] : ns) {
    xmlXPathRegisterNs(context, BAD_CAST prefix.c_str(), BAD_CAST uri.c_str());
  }
  xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST expression.c_str(), context);
  if (!result) {
    ADD_FAILURE() << "bad XPath " << expression;
  } else if (result->nodesetval) {
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
      xmlChar* text = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
      values.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      xmlFree(text);
    }
  }
  xmlXPathFreeObject(result);
  xmlXPathFreeContext(context);
  return values;
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  ASSERT_TRUE(file.good()) << "cannot write " << path;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace ZelServerTest
