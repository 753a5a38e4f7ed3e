// Typed values out of XML elements, and the one place where request texts are parsed and
// documents rendered.
#include "base/xml_utils.h"

#include <algorithm>
#include <sstream>

#include "base/utils.h"
#include "platform/error.h"

namespace qv::base {

namespace {

constexpr int kMaxDepth = 256;

std::string NodeError(std::string_view aNodeName, std::string_view aKind,
                      const std::exception& aCause) {
  return "Error in processing node " + std::string(aNodeName) + " as " + std::string(aKind) +
         ".\r\n" + aCause.what();
}

// Stops at the first element nested deeper than the limit. pugixml walks the tree in a loop,
// not by recursion, so a hostile document cannot exhaust a stack here, and the walk stops
// as soon as the limit is passed.
class NestingLimit : public pugi::xml_tree_walker {
 public:
  bool for_each(pugi::xml_node& aNode) override {
    // Elements directly under the document stand at depth 0: depth d is nesting level d + 1.
    // Texts at the limit belong to an element within it.
    return depth() < kMaxDepth || aNode.type() != pugi::node_element;
  }
};

// Writes the rendering with each CR as "&#13;". In the raw rendering a CR can only stand in
// a text: the library writes no line breaks of its own and escapes CR in attributes.
class tCarriageReturnEscaper : public pugi::xml_writer {
 public:
  explicit tCarriageReturnEscaper(std::string& aOut) : fOut(aOut) {}
  void write(const void* aData, size_t aSize) override {
    const char* data = static_cast<const char*>(aData);
    for (size_t i = 0; i < aSize; ++i) {
      if (data[i] == '\r') {
        fOut += "&#13;";
      } else {
        fOut += data[i];
      }
    }
  }

 private:
  std::string& fOut;
};

}  // namespace

pugi::xml_node FindChild(const pugi::xml_node& aParent, std::string_view aName) {
  for (pugi::xml_node child = aParent.first_child(); child; child = child.next_sibling()) {
    // The name first: it rules out nearly every other child without a further call.
    if (NameIs(child.name(), aName) && child.type() == pugi::node_element) return child;
  }
  return {};
}

std::string ElementText(const pugi::xml_node& aElement) {
  // A parsed element holds its first text itself; texts after a CDATA section follow as nodes.
  std::string text = aElement.value();
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

void SetElementText(pugi::xml_node aElement, std::string_view aText) {
  while (pugi::xml_node child = aElement.first_child()) aElement.remove_child(child);
  if (*aElement.value() != '\0') aElement.text().set("");
  if (!aText.empty()) {
    aElement.append_child(pugi::node_pcdata).set_value(aText.data(), aText.size());
  }
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
  if (aText.size() > kMaxXmlDocumentBytes) throw Error(kXmlTooLargeMessage);
  // No entity declared in a document type declaration is ever expanded and nothing outside
  // the text is fetched (pugixml does neither); the declaration is read only to be refused
  // below. An element's text is kept
  // in the element itself rather than in a child node of its own: requests are mostly short
  // texts, and this halves the nodes to build, walk and free. An element's text made only of
  // blanks is its text (a description of one blank), while the blanks that lay out a document
  // between elements are not kept.
  const pugi::xml_parse_result result =
      aDocument.load_buffer(aText.data(), aText.size(),
                            pugi::parse_default | pugi::parse_embed_pcdata |
                                pugi::parse_ws_pcdata_single | pugi::parse_doctype,
                            pugi::encoding_utf8);
  if (!result) {
    throw Error(std::string(result.description()) + " at offset " + std::to_string(result.offset));
  }
  // A document type declaration is what entity attacks (a billion laughs, a file or address
  // fetched as an external entity) need; no document of a till has one.
  for (pugi::xml_node node = aDocument.first_child(); node; node = node.next_sibling()) {
    if (node.type() == pugi::node_doctype) {
      aDocument.reset();
      throw Error("XML document type declarations are not accepted");
    }
  }
  NestingLimit limit;
  if (!aDocument.traverse(limit)) {
    aDocument.reset();
    throw Error("XML document nested deeper than 256 elements");
  }
}

std::string RenderXml(const pugi::xml_node& aNode) {
  std::ostringstream out;
  aNode.print(out, "", pugi::format_raw, pugi::encoding_utf8);
  return out.str();
}

std::string RenderXmlExactly(const pugi::xml_node& aNode) {
  std::string text;
  tCarriageReturnEscaper writer(text);
  aNode.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
  return text;
}

}  // namespace qv::base
