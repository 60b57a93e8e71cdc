// Answers as readable text: the XML the codec writes for a value, shown as an
// indented outline ("name: value"), with wire type names.
#pragma once

#include <ostream>
#include <string>

namespace ZelCli {

// xml: a document whose root holds one value (Codec::EncodeValue). Refuses
// (std::invalid_argument) what does not parse.
void RenderValueText(const std::string& xml, std::ostream& out);
// The same document indented.
void RenderValueXml(const std::string& xml, std::ostream& out);

}  // namespace ZelCli
