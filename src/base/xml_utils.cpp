// Typed values out of XML elements, and the one place where request texts are parsed and
// documents rendered.
#include "base/xml_utils.h"

#include <algorithm>
#include <sstream>

#include "base/utils.h"
#include "platform/error.h"

namespace qv::base {

namespace {

constexpr size_t kMaxDocumentBytes = 64u * 1024u * 1024u;
constexpr int kMaxDepth = 256;

std::string NodeError(std::string_view aNodeName, std::string_view aKind,
                      const std::exception& aCause) {
  return "Error in processing node " + std::string(aNodeName) + " as " + std::string(aKind) +
         ".\r\n" + aCause.what();
}

// Skips a document type declaration from aAt (its "<!"), internal subset and quoted texts
// included; gives the position after its ">".
size_t SkipDoctype(std::string_view aText, size_t aAt) {
  int brackets = 0;
  char quote = 0;
  for (size_t i = aAt + 2; i < aText.size(); ++i) {
    const char c = aText[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[') {
      ++brackets;
    } else if (c == ']') {
      --brackets;
    } else if (c == '>' && brackets <= 0) {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

// The position after the first ">" from aFrom that stands outside a quoted attribute value;
// npos when there is none.
size_t EndOfStartTag(std::string_view aText, size_t aFrom) {
  char quote = 0;
  for (size_t i = aFrom; i < aText.size(); ++i) {
    const char c = aText[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

// The position after the first aTerminator from aFrom; npos when there is none.
size_t After(std::string_view aText, std::string_view aTerminator, size_t aFrom) {
  const size_t at = aText.find(aTerminator, aFrom);
  return at == std::string_view::npos ? at : at + aTerminator.size();
}

bool StartsWithAt(std::string_view aText, size_t aAt, std::string_view aPrefix) {
  return aText.substr(aAt, aPrefix.size()) == aPrefix;
}

// The depth of the deepest element of a text that parsed as XML, found in one pass over the
// text (no recursion, no walk over the parsed tree), so that a hostile document cannot exhaust
// a stack and a large one costs little.
int DeepestElement(std::string_view aText) {
  constexpr size_t npos = std::string_view::npos;
  int depth = 0;
  int deepest = 0;
  size_t at = aText.find('<');
  while (at != npos && at + 1 < aText.size()) {
    size_t end;
    switch (aText[at + 1]) {
      case '/':
        --depth;
        end = After(aText, ">", at + 2);
        break;
      case '?':
        end = After(aText, "?>", at + 2);
        break;
      case '!':
        if (StartsWithAt(aText, at, "<!--")) {
          end = After(aText, "-->", at + 4);
        } else if (StartsWithAt(aText, at, "<![CDATA[")) {
          end = After(aText, "]]>", at + 9);
        } else {
          end = SkipDoctype(aText, at);
        }
        break;
      default:
        end = EndOfStartTag(aText, at + 1);
        if (end == npos) break;
        deepest = std::max(deepest, depth + 1);
        if (aText[end - 2] != '/') ++depth;
        break;
    }
    if (end == npos) break;
    at = aText.find('<', end);
  }
  return deepest;
}

}  // namespace

pugi::xml_node FindChild(const pugi::xml_node& aParent, std::string_view aName) {
  for (pugi::xml_node child = aParent.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && aName == child.name()) return child;
  }
  return {};
}

std::string ElementText(const pugi::xml_node& aElement) {
  std::string text;
  for (pugi::xml_node child = aElement.first_child(); child; child = child.next_sibling()) {
    switch (child.type()) {
      case pugi::node_pcdata:
      case pugi::node_cdata:
        text += child.value();
        break;
      case pugi::node_element:
        return {};  // mixed or element content has no text of its own
      default:
        break;
    }
  }
  return text;
}

std::string tQV_XMLUtils::GetNodeValueAsString(const pugi::xml_node& aParentNode,
                                               std::string_view aNodeName) {
  return ElementText(FindChild(aParentNode, aNodeName));
}

int32_t tQV_XMLUtils::GetNodeValueAsInteger(const pugi::xml_node& aParentNode,
                                            std::string_view aNodeName) {
  const std::string text = GetNodeValueAsString(aParentNode, aNodeName);
  if (text.empty()) return 0;
  try {
    return StrToInt(text);
  } catch (const std::exception& e) {
    throw Error(NodeError(aNodeName, "integer", e));
  }
}

Currency tQV_XMLUtils::GetNodeValueAsCurrency(const pugi::xml_node& aParentNode,
                                              std::string_view aNodeName) {
  const std::string text = GetNodeValueAsString(aParentNode, aNodeName);
  if (text.empty()) return Currency();
  try {
    return StrToCurrency(text);
  } catch (const std::exception& e) {
    throw Error(NodeError(aNodeName, "currency", e));
  }
}

DateTime tQV_XMLUtils::GetNodeValueAsDateTime(const pugi::xml_node& aParentNode,
                                              std::string_view aNodeName) {
  const pugi::xml_node node = FindChild(aParentNode, aNodeName);
  if (!node) return 0;
  try {
    return XmlTextToDateTime(ElementText(node));
  } catch (const std::exception& e) {
    throw Error(NodeError(aNodeName, "datetime", e));
  }
}

DateTime tQV_XMLUtils::TryGetNodeValueAsDateTime(const pugi::xml_node& aParentNode,
                                                 std::string_view aNodeName) {
  try {
    return GetNodeValueAsDateTime(aParentNode, aNodeName);
  } catch (const Error&) {
    return 0;
  }
}

bool tQV_XMLUtils::GetNodeValueAsBoolean(const pugi::xml_node& aParentNode,
                                         std::string_view aNodeName, bool aDefaultValue) {
  const pugi::xml_node node = FindChild(aParentNode, aNodeName);
  if (!node) return aDefaultValue;
  try {
    return StrToBool(ElementText(node));
  } catch (const std::exception& e) {
    throw Error(NodeError(aNodeName, "boolean", e));
  }
}

bool tQV_XMLUtils::HasNode(const pugi::xml_node& aParentNode, std::string_view aNodeName) {
  return static_cast<bool>(FindChild(aParentNode, aNodeName));
}

std::string tQV_XMLUtils::GetAttributeValueAsString(const pugi::xml_node& aNode,
                                                    std::string_view aAttrName) {
  for (pugi::xml_attribute attribute = aNode.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    if (aAttrName == attribute.name()) return attribute.value();
  }
  return {};
}

pugi::xml_node tQV_XMLUtils::AddNode(pugi::xml_node aParentNode, std::string_view aNodeName,
                                     std::string_view aNodeValue) {
  pugi::xml_node node = aParentNode.append_child(std::string(aNodeName).c_str());
  if (!node) throw Error("Cannot add node " + std::string(aNodeName));
  if (!aNodeValue.empty()) {
    node.append_child(pugi::node_pcdata).set_value(std::string(aNodeValue).c_str());
  }
  return node;
}

void ParseXml(pugi::xml_document& aDocument, std::string_view aText) {
  if (aText.size() > kMaxDocumentBytes) {
    throw Error("XML document too large: more than 64 MiB");
  }
  // The default options leave the document type declaration unread: no entity declared
  // there is ever expanded and nothing outside the text is fetched.
  const pugi::xml_parse_result result =
      aDocument.load_buffer(aText.data(), aText.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!result) {
    throw Error(std::string(result.description()) + " at offset " + std::to_string(result.offset));
  }
  if (DeepestElement(aText) > kMaxDepth) {
    aDocument.reset();
    throw Error("XML document nested deeper than 256 elements");
  }
}

std::string RenderXml(const pugi::xml_node& aNode) {
  std::ostringstream out;
  aNode.print(out, "", pugi::format_raw, pugi::encoding_utf8);
  return out.str();
}

}  // namespace qv::base
