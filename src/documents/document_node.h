// Finding a request document's element: every request document other than the receipt is a
// direct child of the request's document element, found by its exact name.
#pragma once

#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "base/xml_utils.h"
#include "platform/error.h"

namespace qv::documents {

// The element named aName among the direct children of the request's document element, or
// an empty node (a request without document element has no documents).
inline pugi::xml_node FindDocumentNodeOrNone(const pugi::xml_document& aXmlDoc,
                                             std::string_view aName) {
  const pugi::xml_node root = aXmlDoc.document_element();
  if (!root) return {};
  return base::FindChild(root, aName);
}

// As FindDocumentNodeOrNone, but fails with "<aName> node not found" when it is missing.
inline pugi::xml_node FindDocumentNode(const pugi::xml_document& aXmlDoc, std::string_view aName) {
  const pugi::xml_node node = FindDocumentNodeOrNone(aXmlDoc, aName);
  if (!node) throw qv::Error(std::string(aName) + " node not found");
  return node;
}

}  // namespace qv::documents
