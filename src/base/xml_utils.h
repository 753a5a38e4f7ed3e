// Typed values out of XML elements, with uniform defaults and messages. The accessors look
// at the parent's direct children only and match names exactly. They are offered with the
// same behaviour by krptUtil in the document model (which derives from this class).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "base/currency.h"
#include "base/date_time.h"

namespace qv::base {

class tQV_XMLUtils {
 public:
  static std::string GetNodeValueAsString(const pugi::xml_node& aParentNode,
                                          std::string_view aNodeName);
  // Fails with "Error in processing node %s as integer.\r\n" + conversion message.
  static int32_t GetNodeValueAsInteger(const pugi::xml_node& aParentNode,
                                       std::string_view aNodeName);
  static Currency GetNodeValueAsCurrency(const pugi::xml_node& aParentNode,
                                         std::string_view aNodeName);
  static DateTime GetNodeValueAsDateTime(const pugi::xml_node& aParentNode,
                                         std::string_view aNodeName);
  static DateTime TryGetNodeValueAsDateTime(const pugi::xml_node& aParentNode,
                                            std::string_view aNodeName);
  static bool GetNodeValueAsBoolean(const pugi::xml_node& aParentNode, std::string_view aNodeName,
                                    bool aDefaultValue);
  static bool HasNode(const pugi::xml_node& aParentNode, std::string_view aNodeName);
  static std::string GetAttributeValueAsString(const pugi::xml_node& aNode,
                                               std::string_view aAttrName);
  // Appends a child element with the given text (none for an empty value) and returns it.
  static pugi::xml_node AddNode(pugi::xml_node aParentNode, std::string_view aNodeName,
                                std::string_view aNodeValue);
};

// Whether a node name (NUL-terminated, as the parser keeps it) equals aWanted; no length is
// measured, and most names differ in their first letter.
inline bool NameIs(const char* aName, std::string_view aWanted) {
  for (const char letter : aWanted) {
    if (*aName++ != letter) return false;
  }
  return *aName == '\0';
}
// The first direct child element named exactly aName, or an empty node.
pugi::xml_node FindChild(const pugi::xml_node& aParent, std::string_view aName);
// Element text: the text of an element whose only content is text; else empty.
std::string ElementText(const pugi::xml_node& aElement);
// Replaces the content of aElement by aText (no content for an empty text).
void SetElementText(pugi::xml_node aElement, std::string_view aText);

// Parses a whole document. Never resolves external entities nor expands DTD entities. The
// first text of an element is the element's own value (pugixml's embedded texts): read texts
// with ElementText, change them with SetElementText. A text made only of blanks is kept when
// it is the element's only content ("<A> </A>" holds one blank).
// Documents nested deeper than 256 elements or larger than 64 MiB are refused, and so are
// documents with a document type declaration ("XML document type declarations are not
// accepted"): entities are never expanded, nothing outside the text is read. Fails with
// qv::Error carrying the parser's description (and the offset).
void ParseXml(pugi::xml_document& aDocument, std::string_view aText);
// The largest XML text ParseXml reads, and its message for a larger one.
inline constexpr size_t kMaxXmlDocumentBytes = 64u * 1024u * 1024u;
inline constexpr const char* kXmlTooLargeMessage = "XML document too large: more than 64 MiB";
// Renders a node (or a whole document) without declaration and without indentation.
std::string RenderXml(const pugi::xml_node& aNode);
// The same for a document that is read again as XML (its declaration node included): every
// carriage return of a text is written as the character reference "&#13;", which a reader
// gives back as it is, where it turns a written CR (or CR LF) into LF. With the other
// characters escaped as the XML library does, every text reads back exactly as it was.
std::string RenderXmlExactly(const pugi::xml_node& aNode);

}  // namespace qv::base
