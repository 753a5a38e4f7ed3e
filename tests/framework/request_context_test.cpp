#include "framework/request_context.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "documents/other_documents.h"
#include "platform/error.h"

namespace qv::framework {
namespace {

// A request as the host sends it: root of any name, the processor in Parameters, a Driver
// element whose content does not matter, and whatever else the test adds.
std::string Request(const std::string& aParameters, const std::string& aRest = "",
                    const std::string& aRoot = "Request") {
  return "<" + aRoot + "><Type>FISCALPRINTER</Type><Driver>ignored</Driver>" +
         "<Method>OPEN</Method><LogId>L7</LogId><Parameters>" + aParameters + "</Parameters>" +
         aRest + "</" + aRoot + ">";
}

std::string FailureOf(const std::string& aXml, qvReceiptHandlerDocumentTypes aTypes = {}) {
  kFiscalProcessorHandler handler;
  try {
    handler.Deserialize(aXml, aTypes);
  } catch (const Error& error) {
    return error.what();
  }
  return "<no failure>";
}

TEST(RequestContext, ProcessorNameBecomesTheDriver) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request("<Processor>QVFP_CYKAVREN_10</Processor>"), {});
  EXPECT_EQ(handler.Driver(), "QVFP_CYKAVREN_10");
  EXPECT_EQ(handler.Type(), "FISCALPRINTER");
  EXPECT_EQ(handler.Method(), "OPEN");
  EXPECT_EQ(handler.LogId(), "L7");
  EXPECT_EQ(handler.DeviceHandle(), 0);
}

TEST(RequestContext, UpperCaseProcessorElementSelectsTheProcessorToo) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request("<PROCESSOR>QVFP_CYKAVREN_10</PROCESSOR>"), {});
  EXPECT_EQ(handler.Driver(), "QVFP_CYKAVREN_10");
}

TEST(RequestContext, ProcessorElementWinsOverUpperCaseOne) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request("<PROCESSOR>SECOND</PROCESSOR><Processor>FIRST</Processor>"), {});
  EXPECT_EQ(handler.Driver(), "FIRST");
}

TEST(RequestContext, OwnConnectionIsReplacedByTheLocalTcpConnection) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(
      Request("<Processor>P</Processor>",
              "<Connection><Type>SERIAL</Type><SerialPort>COM3</SerialPort><Speed>9600</Speed>"
              "<Parity>EVEN</Parity><ConnectTimeout>77</ConnectTimeout>"
              "<ReadTimeout>88</ReadTimeout></Connection>"),
      {});
  const kConnection& connection = handler.Connection();
  EXPECT_EQ(connection.ConnectionType(), qvConnectionType::TCP);
  EXPECT_EQ(connection.Address(), "localhost");
  EXPECT_EQ(connection.Port(), 5001);
  EXPECT_EQ(connection.ConnectTimeOut(), 3000);
  EXPECT_EQ(connection.ReadTimeOut(), 5000);
  EXPECT_EQ(connection.SerialPort(), "");
  EXPECT_EQ(connection.Speed(), 0);
}

TEST(RequestContext, EverySecondConnectionIsRemovedAsWell) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request("<Processor>P</Processor>",
                              "<Connection><Type>OPOS</Type></Connection>"
                              "<Connection><Type>SERIAL</Type><Parity>NONE</Parity></Connection>"),
                      {});
  EXPECT_EQ(handler.Connection().ConnectionType(), qvConnectionType::TCP);
  EXPECT_EQ(handler.Connection().Port(), 5001);
}

TEST(RequestContext, RewrittenRequestCarriesDriverAndFixedConnection) {
  const std::string rewritten = RewriteRequest(Request("<Processor>PX</Processor>",
                                                       "<Connection><Type>COM</Type>"
                                                       "</Connection><Handle>3</Handle>"));
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(rewritten.c_str()));
  pugi::xml_node root = document.child("Request");
  EXPECT_STREQ(root.child_value("Driver"), "PX");
  EXPECT_STREQ(root.child_value("Handle"), "3");
  // The fixed connection is the last child, with its elements in this order.
  pugi::xml_node connection = root.last_child();
  ASSERT_STREQ(connection.name(), "Connection");
  std::string children;
  for (pugi::xml_node child : connection.children()) {
    children += std::string(child.name()) + "=" + child.child_value() + ";";
  }
  EXPECT_EQ(children, "Type=TCP;ConnectTimeout=3000;ReadTimeout=5000;Address=localhost;Port=5001;");
  int connections = 0;
  for (pugi::xml_node child : root.children("Connection")) connections += child ? 1 : 0;
  EXPECT_EQ(connections, 1);
}

TEST(RequestContext, ConnectTimeoutParameterOverridesTheFixedOne) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request("<Processor>P</Processor><ConnectTimeout>250</ConnectTimeout>"), {});
  EXPECT_EQ(handler.Connection().ConnectTimeOut(), 250);
  EXPECT_EQ(handler.Connection().ReadTimeOut(), 5000);
}

TEST(RequestContext, KeepsRequestTextAndTillSerial) {
  const std::string xml = Request(
      "<Processor>P</Processor><FPTillSerial>T-42</FPTillSerial>"
      "<HexLog>true</HexLog>",
      "<Handle>9</Handle>");
  kFiscalProcessorHandler handler;
  handler.Deserialize(xml, {});
  EXPECT_EQ(handler.XmlString(), xml);
  EXPECT_EQ(handler.TillSerial(), "T-42");
  EXPECT_EQ(handler.DeviceHandle(), 9);
  EXPECT_EQ(handler.GetParameter("hexlog"), "true");
}

TEST(RequestContext, TillSerialIsEmptyWithoutThatParameter) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request("<Processor>P</Processor>"), {});
  EXPECT_EQ(handler.TillSerial(), "");
}

TEST(RequestContext, MissingPartsFailTheRequest) {
  EXPECT_EQ(FailureOf("<Request><Driver/></Request>"), "Parameters node not found");
  EXPECT_EQ(FailureOf("<Request><Driver/><Parameters><FPTillSerial>1</FPTillSerial>"
                      "</Parameters></Request>"),
            "Processor node not found");
  EXPECT_EQ(FailureOf("<Request><Parameters><Processor>P</Processor></Parameters></Request>"),
            "Driver node not found");
  // Names are matched exactly: "processor" is neither of the two accepted spellings.
  EXPECT_EQ(FailureOf(Request("<processor>P</processor>")), "Processor node not found");
}

TEST(RequestContext, MalformedXmlFailsWithTheParserMessage) {
  const std::string failure = FailureOf("<Request><Driver></Request>");
  EXPECT_NE(failure, "<no failure>");
  EXPECT_FALSE(failure.empty());
  EXPECT_NE(FailureOf(""), "<no failure>");
}

TEST(RequestContext, NoDocumentTypesRunsNoReader) {
  // The receipt element is missing and the Z-report element is broken: neither matters.
  const std::string xml =
      Request("<Processor>P</Processor>", "<ZReport><PrintText>maybe</PrintText></ZReport>");
  kFiscalProcessorHandler handler;
  EXPECT_NO_THROW(handler.Deserialize(xml, {}));
  EXPECT_FALSE(handler.ZReport().PrintText());
  EXPECT_EQ(FailureOf(xml, {dt_Receipt}), "Receipt node not found");
  EXPECT_EQ(FailureOf(xml, {dt_XReport}), "<no failure>");
}

TEST(RequestContext, ZReportRequestIsRead) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request("<Processor>P</Processor>",
                              "<ZReport><StoreCode>S1</StoreCode><PrintText>True</PrintText>"
                              "<Text>a\r\nb</Text></ZReport>"),
                      {dt_ZReport});
  EXPECT_EQ(handler.ZReport().StoreCode(), "S1");
  EXPECT_TRUE(handler.ZReport().PrintText());
  EXPECT_EQ(handler.ZReport().Text(), (std::vector<std::string>{"a", "b"}));
}

TEST(RequestContext, ZReportIsReadBeforeTheTables) {
  // No DeptTable at all: when the tables were read first the message would be theirs.
  const std::string xml =
      Request("<Processor>P</Processor>", "<ZReport><PrintText>maybe</PrintText></ZReport>");
  const std::string failure = FailureOf(xml, {dt_DeptTable, dt_ZReport});
  EXPECT_NE(failure.find("PrintText"), std::string::npos) << failure;
  EXPECT_EQ(FailureOf(Request("<Processor>P</Processor>"), {dt_DeptTable, dt_ZReport}),
            "DeptTable node not found");
}

TEST(RequestContext, DepartmentTableReadsActivitiesAndDepartments) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(Request("<Processor>P</Processor>",
                              "<DeptTable><D><Code>1</Code><EACode>A</EACode></D>"
                              "<D><Code>2</Code><EACode>B</EACode></D></DeptTable>"),
                      {dt_DeptTable});
  EXPECT_EQ(handler.DeptTable().Count(), 2u);
  EXPECT_EQ(handler.EATable().Count(), 2u);
}

// The configuration read from the request itself is the one the rewritten request gives.
TEST(RequestContext, ReadOnceGivesTheConfigurationOfTheRewrittenRequest) {
  const std::vector<std::string> requests = {
      Request("<Processor>PX</Processor><FPTillSerial>T1</FPTillSerial>",
              "<Handle>12</Handle><Connection><Type>SERIAL</Type><SerialPort>COM3</SerialPort>"
              "<Parity>ODD</Parity><URL>http://till</URL><User>u</User></Connection>"),
      Request("<PROCESSOR>P&amp;Q</PROCESSOR><DeviceName>Printer 2</DeviceName>"
              "<ConnectTimeout>450</ConnectTimeout><HexLog>TRUE</HexLog><hexlog>x</hexlog>",
              "<Connection><Type>OPOS</Type></Connection><Connection><Type>HTTP</Type>"
              "<Port>8080</Port></Connection>",
              "Anything"),
      "<R><Driver>old</Driver><Parameters><Processor/></Parameters><LogId> </LogId></R>"};
  for (const std::string& xml : requests) {
    kFiscalProcessorHandler once;
    once.Deserialize(xml, {});
    kDeviceHandler rewritten;
    rewritten.Deserialize(RewriteRequest(xml));
    EXPECT_EQ(once.Serialize(), rewritten.Serialize()) << xml;
    EXPECT_EQ(once.Parameters(), rewritten.Parameters()) << xml;
    EXPECT_EQ(once.Connection().DeviceName(), rewritten.Connection().DeviceName()) << xml;
  }
}

TEST(RequestContext, ParsedRequestKeepsItsOwnDriverAndConnection) {
  kFiscalProcessorHandler handler;
  handler.Deserialize(
      Request("<Processor>PX</Processor>", "<Connection><Type>COM</Type></Connection>"), {});
  const pugi::xml_node root = handler.RequestDocument().document_element();
  EXPECT_STREQ(root.child_value("Driver"), "ignored");
  EXPECT_STREQ(root.child("Connection").child_value("Type"), "COM");
  EXPECT_FALSE(root.child("Connection").next_sibling("Connection"));
  EXPECT_EQ(handler.Driver(), "PX");
}

// The values read after the request was parsed fail as the device configuration's do.
TEST(RequestContext, MalformedDeviceValuesFailWithTheirMessages) {
  const std::string handle = FailureOf(Request("<Processor>P</Processor>", "<Handle>x1</Handle>"));
  EXPECT_EQ(handle.rfind("Error in processing node Handle as integer.\r\n", 0), 0u) << handle;
  EXPECT_EQ(FailureOf(Request("<Processor>P</Processor><ConnectTimeout>abc</ConnectTimeout>")),
            "'abc' is not a valid integer value");
  // The request's own broken connection is never read.
  EXPECT_EQ(FailureOf(Request("<Processor>P</Processor>",
                              "<Connection><Type>tcp/ip</Type></Connection>")),
            "<no failure>");
  // A bad handle is found before a missing receipt.
  const std::string both =
      FailureOf(Request("<Processor>P</Processor>", "<Handle>x1</Handle>"), {dt_Receipt});
  EXPECT_EQ(both.rfind("Error in processing node Handle", 0), 0u) << both;
}

TEST(RequestContext, DocumentTypesKeepTheirOrdinals) {
  EXPECT_EQ(static_cast<int>(dt_Receipt), 0);
  EXPECT_EQ(static_cast<int>(dt_XReport), 10);
  EXPECT_EQ(static_cast<int>(dt_ZReport), 11);
  EXPECT_EQ((qvReceiptHandlerDocumentTypes{dt_Receipt, dt_ZReport}.ToBits()), 0x801u);
}

}  // namespace
}  // namespace qv::framework
