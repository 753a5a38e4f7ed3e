#include "serve/receipt_json.h"

#include <array>
#include <set>
#include <sstream>
#include <vector>

#include "base/xml_utils.h"

namespace qv::host {

namespace {

constexpr int kMaximumDigits = 400;

constexpr std::array<std::string_view, 7> kListElements = {
    "Headers", "Lines", "Taxes", "Payments", "TrailerMessages", "LeaderLines", "References"};

bool IsListElement(std::string_view aName) {
  for (std::string_view list : kListElements) {
    if (list == aName) return true;
  }
  return false;
}

HttpFailure NotMapped(const std::string& aWhy) {
  return HttpFailure(400, "The receipt does not map to XML: " + aWhy);
}

// Element names as the receipt XML uses them: ASCII letters, digits, "_", "-" and ".",
// beginning with a letter or "_".
bool IsElementName(std::string_view aName) {
  if (aName.empty()) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(aName.front())) return false;
  for (char c : aName) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
  }
  return true;
}

// Builds the Receipt element straight from the parser's events, so that a number reaches
// the element as the digits the client wrote.
class ReceiptBuilder {
 public:
  using Number = nlohmann::json;

  explicit ReceiptBuilder(pugi::xml_document& aDocument) : fDocument(aDocument) {}

  bool null() { return Scalar(""); }
  bool boolean(bool aValue) { return Scalar(aValue ? "True" : "False"); }
  bool number_integer(Number::number_integer_t aValue) {
    return Scalar(aValue == 0 ? "0" : std::to_string(aValue));
  }
  bool number_unsigned(Number::number_unsigned_t aValue) { return Scalar(std::to_string(aValue)); }
  bool number_float(Number::number_float_t, const Number::string_t& aLiteral) {
    return Scalar(ShortestDecimal(aLiteral));
  }
  bool string(Number::string_t& aValue) { return Scalar(aValue); }
  bool binary(Number::binary_t&) { throw NotMapped("binary values have no text"); }

  bool start_object(std::size_t) {
    if (fFrames.empty()) {
      fFrames.push_back({fDocument.append_child("Receipt"), Frame::kObject, "Receipt"});
      return true;
    }
    Frame& top = fFrames.back();
    if (top.kind == Frame::kArray) {
      fFrames.push_back(
          {top.element, Frame::kItem, top.path + "[" + std::to_string(top.items++) + "]"});
      return true;
    }
    pugi::xml_node child = AppendPending();
    fFrames.push_back({child, Frame::kObject, fFrames.back().path + "." + child.name()});
    return true;
  }
  bool key(Number::string_t& aName) {
    Frame& top = fFrames.back();
    if (!IsElementName(aName)) {
      throw NotMapped("\"" + aName + "\" in " + top.path + " is not an element name");
    }
    if (top.kind == Frame::kItem && top.keys++ > 0) {
      throw NotMapped("the item " + top.path + " has more than one key");
    }
    fPendingName = aName;
    return true;
  }
  bool end_object() {
    if (fFrames.back().kind == Frame::kItem && fFrames.back().keys == 0) {
      throw NotMapped("the item " + fFrames.back().path + " is empty");
    }
    fFrames.pop_back();
    return true;
  }
  bool start_array(std::size_t) {
    if (fFrames.empty()) throw NotMapped("the body is an array, not the Receipt object");
    if (fFrames.back().kind == Frame::kArray) {
      throw NotMapped("an item of " + fFrames.back().path + " is an array");
    }
    pugi::xml_node list = AppendPending();
    fFrames.push_back({list, Frame::kArray, fFrames.back().path + "." + list.name()});
    return true;
  }
  bool end_array() {
    fFrames.pop_back();
    return true;
  }
  bool parse_error(std::size_t aPosition, const std::string&,
                   const nlohmann::detail::exception& aError) {
    throw HttpFailure(400, "The body is not JSON: " + std::string(aError.what()));
  }

 private:
  struct Frame {
    enum Kind { kObject, kArray, kItem };
    pugi::xml_node element;
    Kind kind;
    std::string path;
    int items = 0;  // arrays: items seen
    int keys = 0;   // items: keys seen
  };

  pugi::xml_node AppendPending() {
    return fFrames.back().element.append_child(fPendingName.c_str());
  }

  bool Scalar(const std::string& aText) {
    if (fFrames.empty()) throw NotMapped("the body is not an object");
    if (fFrames.back().kind == Frame::kArray) {
      throw NotMapped("an item of " + fFrames.back().path + " is not an object");
    }
    pugi::xml_node element = AppendPending();
    if (!aText.empty()) element.text().set(aText.c_str());
    return true;
  }

  pugi::xml_document& fDocument;
  std::vector<Frame> fFrames;
  std::string fPendingName;
};

}  // namespace

std::string ShortestDecimal(std::string_view aLiteral) {
  std::string_view rest = aLiteral;
  bool negative = !rest.empty() && rest.front() == '-';
  if (negative) rest.remove_prefix(1);
  std::string digits;
  long long point = 0;  // digits before the decimal point
  bool afterPoint = false;
  size_t at = 0;
  for (; at < rest.size(); ++at) {
    char c = rest[at];
    if (c >= '0' && c <= '9') {
      digits += c;
      if (!afterPoint) ++point;
    } else if (c == '.' && !afterPoint) {
      afterPoint = true;
    } else {
      break;
    }
  }
  long long exponent = 0;
  if (at < rest.size() && (rest[at] == 'e' || rest[at] == 'E')) {
    ++at;
    bool negativeExponent = at < rest.size() && rest[at] == '-';
    if (at < rest.size() && (rest[at] == '-' || rest[at] == '+')) ++at;
    for (; at < rest.size(); ++at) {
      exponent = exponent * 10 + (rest[at] - '0');
      if (exponent > kMaximumDigits)
        throw NotMapped("the number " + std::string(aLiteral) + " is too large");
    }
    if (negativeExponent) exponent = -exponent;
  }
  point += exponent;
  // Leading zeros of the integer part and trailing zeros of the fraction carry nothing.
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return "0";
  point -= static_cast<long long>(first);
  digits.erase(0, first);
  digits.erase(digits.find_last_not_of('0') + 1);
  if (point > kMaximumDigits || point < -kMaximumDigits) {
    throw NotMapped("the number " + std::string(aLiteral) + " is too large");
  }
  std::string text = negative ? "-" : "";
  const long long count = static_cast<long long>(digits.size());
  if (point <= 0) {
    text += "0." + std::string(static_cast<size_t>(-point), '0') + digits;
  } else if (point >= count) {
    text += digits + std::string(static_cast<size_t>(point - count), '0');
  } else {
    text += digits.substr(0, static_cast<size_t>(point)) + "." +
            digits.substr(static_cast<size_t>(point));
  }
  return text;
}

std::string CompactXml(const pugi::xml_node& aElement) {
  std::ostringstream text;
  aElement.print(text, "", pugi::format_raw);
  return text.str();
}

std::string ReceiptXmlFromJson(std::string_view aBody) {
  pugi::xml_document document;
  ReceiptBuilder builder(document);
  nlohmann::json::sax_parse(aBody.begin(), aBody.end(), &builder);
  return CompactXml(document.document_element());
}

std::string ReceiptXmlFromXml(std::string_view aBody) {
  pugi::xml_document document;
  try {
    base::ParseXml(document, aBody);
  } catch (const Error& e) {
    throw HttpFailure(400, std::string("The body is not XML: ") + e.what());
  }
  pugi::xml_node root = document.document_element();
  if (std::string_view(root.name()) != "Receipt") {
    throw HttpFailure(
        400, "The XML body must be the Receipt element, not <" + std::string(root.name()) + ">");
  }
  return CompactXml(root);
}

Json ElementToJson(const pugi::xml_node& aElement) {
  std::vector<pugi::xml_node> children;
  std::set<std::string_view> names;
  bool repeated = false;
  for (pugi::xml_node child : aElement.children()) {
    if (child.type() != pugi::node_element) continue;
    children.push_back(child);
    repeated = !names.insert(child.name()).second || repeated;
  }
  if (IsListElement(aElement.name()) || repeated) {
    Json list = Json::array();
    for (const pugi::xml_node& child : children)
      list.push_back(Json{{child.name(), ElementToJson(child)}});
    return list;
  }
  if (children.empty()) return aElement.text().get();
  Json object = Json::object();
  for (const pugi::xml_node& child : children) object[child.name()] = ElementToJson(child);
  return object;
}

}  // namespace qv::host
