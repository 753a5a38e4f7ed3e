// The receipt as JSON: the Receipt element of the receipt XML with its element names as
// keys. A string or a number is an element's text; numbers keep their decimal digits
// exactly (written back in their shortest decimal form, never through a binary floating
// point value); the list elements are arrays whose items are objects with one key, the
// child's element name; an object is an element with those children.
//
// Threading: plain functions.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "serve/http_failure.h"

namespace qv::host {

using Json = nlohmann::ordered_json;

// The Receipt element for a JSON body, as compact XML text. Throws HttpFailure 400 when
// the body is not JSON or does not map to elements (naming the first place that does not).
std::string ReceiptXmlFromJson(std::string_view aBody);
// The Receipt element of an XML body (the element itself is the document's root), as
// compact XML text. Throws HttpFailure 400 for malformed XML or another root.
std::string ReceiptXmlFromXml(std::string_view aBody);

// An element as JSON: an element without child elements is its text; a list element (and
// an element whose children repeat a name) is an array of one-key objects; any other
// element is an object of its children.
Json ElementToJson(const pugi::xml_node& aElement);

// The shortest decimal form of a JSON number literal ("16.740" -> "16.74", "1e2" -> "100",
// "-0.50" -> "-0.5", "-0" -> "0"). Throws HttpFailure 400 for a literal whose exponent puts
// it beyond 400 digits.
std::string ShortestDecimal(std::string_view aLiteral);

// The element's children rendered without indentation or declaration.
std::string CompactXml(const pugi::xml_node& aElement);

}  // namespace qv::host
