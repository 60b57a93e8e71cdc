#include <Lumo/Wire/XmlText.h>

#include "XmlOut.h"

namespace Lumo {
namespace Wire {

bool AppendXmlEscaped(std::string& out, std::string_view text, XmlEscape where) {
  size_t before = out.size();
  bool carried;
  {
    Detail::XmlOut writer(out);
    carried = where == XmlEscape::kAttribute ? writer.AttrText(text.data(), text.size())
                                             : writer.Text(text.data(), text.size());
    writer.Finish();
  }
  if (!carried) out.resize(before);
  return carried;
}

}  // namespace Wire
}  // namespace Lumo
