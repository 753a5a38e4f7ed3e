#include "base/xml_utils.h"

#include <gtest/gtest.h>

#include <string>

#include "base/utils.h"
#include "platform/error.h"

namespace qv::base {
namespace {

std::string MessageOf(auto aCall) {
  try {
    aCall();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

// A parsed request whose root element is the parent of every accessor call.
class XmlAccessors : public ::testing::Test {
 protected:
  void SetUp() override {
    ParseXml(fDocument,
             "<Root>"
             "<N>12</N><Empty/><Blank></Blank><X>x</X><Neg>-7</Neg>"
             "<Amount>12.3456</Amount><Grouped>1,234.50</Grouped><Round>0.00015</Round>"
             "<When>2023-08-09T09:39:19</When><WhenZone>2023-08-09T09:39:19.042+02:00</WhenZone>"
             "<BadWhen>2023-13-09T09:39:19</BadWhen>"
             "<Flag>FALSE</Flag><One>1</One><Word>maybe</Word>"
             "<Outer><Inner>deep</Inner></Outer><Mixed>a<b/>c</Mixed>"
             "<Cdata><![CDATA[<raw>]]></Cdata><Escaped>a &amp; b</Escaped>"
             "<Item kind=\"sale\" Code=\"7\">first</Item><Item>second</Item>"
             "<Split>a<![CDATA[<b>]]>c</Split><SplitLate><![CDATA[b]]>c</SplitLate>"
             "</Root>");
    fRoot = fDocument.document_element();
  }

  pugi::xml_document fDocument;
  pugi::xml_node fRoot;
};

// Blanks are text: a description of one blank reads as one blank, and blanks are no amount.
// The blanks that lay out a document between its elements are not text of the parent.
TEST(XmlBlankTexts, TextOfBlanksOnlyIsTheElementsText) {
  pugi::xml_document document;
  ParseXml(document,
           "<Root>\n  <Description> </Description>\n  <Currency>  </Currency>\n"
           "  <Count>\t</Count>\n  <Tab>\t</Tab><Lines>\n    <Line>x</Line>\n  </Lines>\n</Root>");
  const pugi::xml_node root = document.document_element();
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(root, "Description"), " ");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(root, "Currency"), "  ");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(root, "Tab"), "\t");
  EXPECT_EQ(MessageOf([&] { tQV_XMLUtils::GetNodeValueAsCurrency(root, "Currency"); }),
            "Error in processing node Currency as currency.\r\n'  ' is not a valid floating point "
            "value");
  EXPECT_EQ(MessageOf([&] { tQV_XMLUtils::GetNodeValueAsInteger(root, "Count"); }),
            "Error in processing node Count as integer.\r\n'\t' is not a valid integer value");
  // Layout between elements: the root and Lines have element content, no text.
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(root, "Lines"), "");
  EXPECT_EQ(ElementText(root), "");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(root.child("Lines"), "Line"), "x");
  EXPECT_EQ(RenderXml(root.child("Lines")), "<Lines><Line>x</Line></Lines>");
}

TEST_F(XmlAccessors, StringsComeFromDirectChildrenWithExactNames) {
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "N"), "12");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "n"), "");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "Inner"), "");  // a grandchild
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "Outer"), "");  // element content
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "Mixed"), "");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "Empty"), "");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "Cdata"), "<raw>");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "Escaped"), "a & b");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "Item"), "first");
  // Text around a CDATA section is one text, whichever part comes first.
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "Split"), "a<b>c");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(fRoot, "SplitLate"), "bc");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(pugi::xml_node(), "N"), "");
}

TEST_F(XmlAccessors, Integers) {
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsInteger(fRoot, "N"), 12);
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsInteger(fRoot, "Neg"), -7);
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsInteger(fRoot, "n"), 0);
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsInteger(fRoot, "Empty"), 0);
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsInteger(fRoot, "Outer"), 0);
  EXPECT_EQ(MessageOf([&] { tQV_XMLUtils::GetNodeValueAsInteger(fRoot, "X"); }),
            "Error in processing node X as integer.\r\n'x' is not a valid integer value");
}

TEST_F(XmlAccessors, Currencies) {
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsCurrency(fRoot, "Amount").Raw(), 123456);
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsCurrency(fRoot, "Round").Raw(), 2);
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsCurrency(fRoot, "Missing").Raw(), 0);
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsCurrency(fRoot, "Blank").Raw(), 0);
  EXPECT_EQ(MessageOf([&] { tQV_XMLUtils::GetNodeValueAsCurrency(fRoot, "Grouped"); }),
            "Error in processing node Grouped as currency.\r\n"
            "'1,234.50' is not a valid floating point value");
}

TEST_F(XmlAccessors, DateTimes) {
  EXPECT_DOUBLE_EQ(tQV_XMLUtils::GetNodeValueAsDateTime(fRoot, "When"),
                   EncodeDateTime(DateTimeParts{2023, 8, 9, 9, 39, 19, 0}));
  EXPECT_DOUBLE_EQ(tQV_XMLUtils::GetNodeValueAsDateTime(fRoot, "WhenZone"),
                   EncodeDateTime(DateTimeParts{2023, 8, 9, 9, 39, 19, 42}));
  EXPECT_DOUBLE_EQ(tQV_XMLUtils::GetNodeValueAsDateTime(fRoot, "Missing"), 0.0);
  EXPECT_EQ(MessageOf([&] { tQV_XMLUtils::GetNodeValueAsDateTime(fRoot, "BadWhen"); }),
            "Error in processing node BadWhen as datetime.\r\n"
            "DateTime Format invalid: [2023-13-09T09:39:19]");
  EXPECT_EQ(MessageOf([&] { tQV_XMLUtils::GetNodeValueAsDateTime(fRoot, "Empty"); }),
            "Error in processing node Empty as datetime.\r\nDateTime Format invalid: []");
  EXPECT_DOUBLE_EQ(tQV_XMLUtils::TryGetNodeValueAsDateTime(fRoot, "BadWhen"), 0.0);
  EXPECT_DOUBLE_EQ(tQV_XMLUtils::TryGetNodeValueAsDateTime(fRoot, "Empty"), 0.0);
  EXPECT_DOUBLE_EQ(tQV_XMLUtils::TryGetNodeValueAsDateTime(fRoot, "Missing"), 0.0);
  EXPECT_DOUBLE_EQ(tQV_XMLUtils::TryGetNodeValueAsDateTime(fRoot, "When"),
                   EncodeDateTime(DateTimeParts{2023, 8, 9, 9, 39, 19, 0}));
}

TEST_F(XmlAccessors, Booleans) {
  EXPECT_TRUE(tQV_XMLUtils::GetNodeValueAsBoolean(fRoot, "Missing", true));
  EXPECT_FALSE(tQV_XMLUtils::GetNodeValueAsBoolean(fRoot, "Missing", false));
  EXPECT_FALSE(tQV_XMLUtils::GetNodeValueAsBoolean(fRoot, "Flag", true));
  EXPECT_TRUE(tQV_XMLUtils::GetNodeValueAsBoolean(fRoot, "One", false));
  EXPECT_EQ(MessageOf([&] { tQV_XMLUtils::GetNodeValueAsBoolean(fRoot, "Empty", true); }),
            "Error in processing node Empty as boolean.\r\n'' is not a valid boolean value");
  EXPECT_EQ(MessageOf([&] { tQV_XMLUtils::GetNodeValueAsBoolean(fRoot, "Word", true); }),
            "Error in processing node Word as boolean.\r\n'maybe' is not a valid boolean value");
}

TEST_F(XmlAccessors, PresenceAndAttributes) {
  EXPECT_TRUE(tQV_XMLUtils::HasNode(fRoot, "Empty"));
  EXPECT_TRUE(tQV_XMLUtils::HasNode(fRoot, "X"));
  EXPECT_FALSE(tQV_XMLUtils::HasNode(fRoot, "Inner"));
  EXPECT_FALSE(tQV_XMLUtils::HasNode(fRoot, "x"));
  const pugi::xml_node item = FindChild(fRoot, "Item");
  EXPECT_EQ(tQV_XMLUtils::GetAttributeValueAsString(item, "kind"), "sale");
  EXPECT_EQ(tQV_XMLUtils::GetAttributeValueAsString(item, "code"), "");
  EXPECT_EQ(tQV_XMLUtils::GetAttributeValueAsString(item, "Code"), "7");
  EXPECT_EQ(tQV_XMLUtils::GetAttributeValueAsString(item, "absent"), "");
}

TEST(XmlDocument, AddNodeAppendsAndRenderShowsTheTree) {
  pugi::xml_document document;
  ParseXml(document, "<?xml version=\"1.0\"?>\n<Request>\n  <A>1</A>\n</Request>");
  pugi::xml_node root = document.document_element();
  const pugi::xml_node added = tQV_XMLUtils::AddNode(root, "Type", "TCP & more");
  tQV_XMLUtils::AddNode(root, "Nothing", "");
  EXPECT_EQ(ElementText(added), "TCP & more");
  EXPECT_EQ(RenderXml(document),
            "<Request><A>1</A><Type>TCP &amp; more</Type><Nothing/></Request>");
  EXPECT_EQ(RenderXml(added), "<Type>TCP &amp; more</Type>");
  // What was rendered reads back the same.
  pugi::xml_document again;
  ParseXml(again, RenderXml(document));
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(again.document_element(), "Type"), "TCP & more");
  EXPECT_TRUE(tQV_XMLUtils::HasNode(again.document_element(), "Nothing"));
}

// A parsed element keeps its text in itself; replacing the text must leave no trace of the
// old one, in the element's reading or in what is rendered.
TEST(XmlDocument, SetElementTextReplacesParsedAndAddedTexts) {
  pugi::xml_document document;
  ParseXml(document, "<R><A>old</A><B>x<![CDATA[y]]>z</B><C><D>1</D></C><E/></R>");
  pugi::xml_node root = document.document_element();
  SetElementText(root.child("A"), "new & more");
  SetElementText(root.child("B"), "");
  SetElementText(root.child("C"), "flat");
  SetElementText(root.child("E"), "set");
  EXPECT_EQ(ElementText(root.child("A")), "new & more");
  EXPECT_EQ(ElementText(root.child("B")), "");
  EXPECT_EQ(RenderXml(document), "<R><A>new &amp; more</A><B/><C>flat</C><E>set</E></R>");
  SetElementText(root.child("A"), "again");
  EXPECT_EQ(RenderXml(root.child("A")), "<A>again</A>");
}

TEST(XmlDocument, MalformedTextFailsWithTheParserDescription) {
  pugi::xml_document document;
  EXPECT_EQ(MessageOf([&] { ParseXml(document, "<A><B></A>"); }),
            "Start-end tags mismatch at offset 8");
  EXPECT_EQ(MessageOf([&] { ParseXml(document, ""); }), "No document element found at offset 0");
}

TEST(XmlDocument, DocumentTypeDeclarationsAreRefusedAndEntitiesNeverExpanded) {
  pugi::xml_document document;
  EXPECT_EQ(MessageOf([&] {
              ParseXml(document,
                       "<!DOCTYPE r [<!ENTITY big \"AAAAAAAAAA\"><!ENTITY ext SYSTEM "
                       "\"/etc/passwd\">]><r><a>&big;</a><b>&ext;</b></r>");
            }),
            "XML document type declarations are not accepted");
  EXPECT_FALSE(document.document_element());
  EXPECT_EQ(MessageOf([&] { ParseXml(document, "<?xml version=\"1.0\"?><!DOCTYPE r><r/>"); }),
            "XML document type declarations are not accepted");
  // Without a declaration an entity reference is text as it stands.
  ParseXml(document, "<r><a>&big;</a></r>");
  EXPECT_EQ(tQV_XMLUtils::GetNodeValueAsString(document.document_element(), "a"), "&big;");
}

TEST(XmlDocument, RefusesDeepNestingAndHugeTexts) {
  std::string deep;
  for (int i = 0; i < 256; ++i) deep += "<a>";
  for (int i = 0; i < 256; ++i) deep += "</a>";
  pugi::xml_document document;
  EXPECT_NO_THROW(ParseXml(document, deep));
  std::string deeper;
  for (int i = 0; i < 100000; ++i) deeper += "<a>";
  for (int i = 0; i < 100000; ++i) deeper += "</a>";
  EXPECT_EQ(MessageOf([&] { ParseXml(document, deeper); }),
            "XML document nested deeper than 256 elements");
  EXPECT_FALSE(document.document_element());
  std::string huge = "<a>" + std::string(64u * 1024u * 1024u, 'x') + "</a>";
  EXPECT_EQ(MessageOf([&] { ParseXml(document, huge); }),
            "XML document too large: more than 64 MiB");
}

// The nesting limit counts elements only: markup inside comments, character data and quoted
// attribute values does not deepen a document, and self-closed elements close themselves.
TEST(XmlDocument, NestingCountsElementsOnly) {
  std::string deep;
  for (int i = 0; i < 255; ++i) deep += "<a x='>'>";
  std::string inner = "<!-- <b><b><b> --><![CDATA[<c><c>]]><?pi <d> ?><e/><e a=\"/>\"/><f></f>";
  std::string text = deep + inner;
  for (int i = 0; i < 255; ++i) text += "</a>";
  pugi::xml_document document;
  EXPECT_NO_THROW(ParseXml(document, text));
  EXPECT_TRUE(document.document_element());

  std::string tooDeep = deep + "<a><a></a></a>";
  for (int i = 0; i < 255; ++i) tooDeep += "</a>";
  EXPECT_EQ(MessageOf([&] { ParseXml(document, tooDeep); }),
            "XML document nested deeper than 256 elements");
}

}  // namespace
}  // namespace qv::base
