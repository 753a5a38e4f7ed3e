#include "documents/other_documents.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/date_time.h"
#include "base/xml_utils.h"
#include "platform/error.h"

namespace qv::documents {
namespace {

using base::Currency;

std::unique_ptr<pugi::xml_document> Parse(const std::string& aText) {
  auto document = std::make_unique<pugi::xml_document>();
  base::ParseXml(*document, aText);
  return document;
}

// A request whose document element holds aBody.
std::unique_ptr<pugi::xml_document> Request(const std::string& aBody) {
  return Parse("<Request><Handle>1</Handle>" + aBody + "</Request>");
}

// The message a document's reader fails with on aBody, or "" when it reads.
template <class TDocument>
std::string ReadFailure(const std::string& aBody) {
  TDocument document;
  try {
    document.Deserialize(*Request(aBody));
  } catch (const qv::Error& error) {
    return error.what();
  }
  return "";
}

Currency Amount(const char* aText) {
  return Currency::FromRaw(static_cast<int64_t>(std::stod(aText) * 10000 + 0.5));
}

base::DateTime At(int aYear, int aMonth, int aDay, int aHour = 0, int aMinute = 0,
                  int aSecond = 0) {
  base::DateTimeParts parts;
  parts.year = aYear;
  parts.month = aMonth;
  parts.day = aDay;
  parts.hour = aHour;
  parts.minute = aMinute;
  parts.second = aSecond;
  return base::EncodeDateTime(parts);
}

TEST(DocumentElement, EveryReaderNamesItsMissingElement) {
  const std::string body = "<Receipt/>";
  EXPECT_EQ(ReadFailure<kNFReceipt>(body), "NFReceipt node not found");
  EXPECT_EQ(ReadFailure<kCustomerDisplay>(body), "Display node not found");
  EXPECT_EQ(ReadFailure<kDrawer>(body), "Drawer node not found");
  EXPECT_EQ(ReadFailure<kEJReport>(body), "EJReport node not found");
  EXPECT_EQ(ReadFailure<kVatTable>(body), "VATTable node not found");
  EXPECT_EQ(ReadFailure<kDeptTable>(body), "DeptTable node not found");
  EXPECT_EQ(ReadFailure<kEconomicActivityTable>(body), "DeptTable node not found");
  EXPECT_EQ(ReadFailure<kPaymentReceipt>(body), "Payment node not found");
  EXPECT_EQ(ReadFailure<kReceiptReference>(body), "ReceiptReference node not found");
  EXPECT_EQ(ReadFailure<kEJFilesRequest>(body), "EJRequest node not found");
  EXPECT_EQ(ReadFailure<kZReport>(body), "");
}

TEST(DocumentElement, IsNeverTheDocumentElementNorAGrandchild) {
  kDrawer drawer;
  EXPECT_THROW(drawer.Deserialize(*Parse("<Drawer><Number>2</Number></Drawer>")), qv::Error);
  EXPECT_EQ(ReadFailure<kDrawer>("<Inner><Drawer><Number>2</Number></Drawer></Inner>"),
            "Drawer node not found");
  EXPECT_EQ(ReadFailure<kDrawer>("<drawer><Number>2</Number></drawer>"), "Drawer node not found");
  drawer.Deserialize(*Request("<Drawer><Number>2</Number></Drawer>"));
  EXPECT_EQ(drawer.Number(), 2);
}

TEST(Drawer, NumberMustBeAnInteger) {
  const std::string message = ReadFailure<kDrawer>("<Drawer><Number>two</Number></Drawer>");
  EXPECT_EQ(message.rfind("Error in processing node Number as integer.\r\n", 0), 0u) << message;
  kDrawer drawer;
  drawer.Deserialize(*Request("<Drawer/>"));
  EXPECT_EQ(drawer.Number(), 0);
}

TEST(NFReceipt, ReadsHeaderFieldsAndDefaultLayout) {
  kNFReceipt receipt;
  EXPECT_TRUE(receipt.HeaderLines().Empty());
  receipt.Deserialize(
      *Request("<NFReceipt><StoreCode>S1</StoreCode><TillCode>T1</TillCode><Number>77</Number>"
               "<DateTime>2023-08-09T09:39:19</DateTime><CountryCode>CY</CountryCode>"
               "<CompanyCode>C</CompanyCode><CompanyTaxCode>CTX</CompanyTaxCode>"
               "<OperatorCode>OP</OperatorCode></NFReceipt>"));
  EXPECT_EQ(receipt.Layout(), "DocumentLayout");
  EXPECT_TRUE(receipt.DefaultLayout());
  EXPECT_EQ(receipt.StoreCode(), "S1");
  EXPECT_EQ(receipt.TillCode(), "T1");
  EXPECT_EQ(receipt.ReceiptNumber(), "77");
  EXPECT_DOUBLE_EQ(receipt.ReceiptDateTime(), At(2023, 8, 9, 9, 39, 19));
  EXPECT_EQ(receipt.CountryCode(), "CY");
  EXPECT_EQ(receipt.CompanyCode(), "C");
  EXPECT_EQ(receipt.CompanyTaxCode(), "CTX");
  EXPECT_EQ(receipt.OperatorCode(), "OP");
  EXPECT_FALSE(receipt.SupportSpecialChars());
  EXPECT_TRUE(receipt.HeaderLines().Empty());
  EXPECT_TRUE(receipt.Lines().Empty());
  EXPECT_TRUE(receipt.FooterLines().Empty());

  kNFReceipt empty;
  empty.Deserialize(*Request("<NFReceipt><Layout></Layout></NFReceipt>"));
  EXPECT_EQ(empty.Layout(), "DocumentLayout");
  EXPECT_TRUE(empty.DefaultLayout());

  kNFReceipt named;
  named.Deserialize(*Request("<NFReceipt><Layout>Slip</Layout></NFReceipt>"));
  EXPECT_EQ(named.Layout(), "Slip");
  EXPECT_FALSE(named.DefaultLayout());
}

TEST(NFReceipt, PutsEachListInItsSection) {
  kNFReceipt receipt;
  receipt.Deserialize(*Request(
      "<NFReceipt>"
      "<Header><Lines><Text><Value>Welcome</Value><Alignment>center</Alignment></Text></Lines>"
      "</Header>"
      "<Lines><Text><Value>Body</Value><Alignment>left</Alignment><Size>2</Size></Text>"
      "<Note>skipped</Note><text><Alignment>left</Alignment></text></Lines>"
      "<Footer><Lines>"
      "<Text><Value>Bye</Value><Alignment>Right</Alignment><Effects>bold,italic</Effects></Text>"
      "<Image><Alignment>center</Alignment><Value>C:\\logo.bmp</Value></Image>"
      "<Barcode><Value>123</Value><Type>EAN13</Type></Barcode>"
      "</Lines></Footer></NFReceipt>"));
  ASSERT_EQ(receipt.HeaderLines().Count(), 1u);
  ASSERT_EQ(receipt.Lines().Count(), 1u);
  ASSERT_EQ(receipt.FooterLines().Count(), 3u);

  auto& header = dynamic_cast<kReceiptMessageTextLine&>(receipt.HeaderLines()[0]);
  EXPECT_EQ(header.Value(), "Welcome");
  EXPECT_EQ(header.Section(), rs_lead);
  EXPECT_EQ(header.Alignment(), la_center);
  EXPECT_EQ(header.NFOwner(), &receipt);
  EXPECT_EQ(header.Owner(), nullptr);

  auto& body = dynamic_cast<kReceiptMessageTextLine&>(receipt.Lines()[0]);
  EXPECT_EQ(body.Section(), rs_body);
  EXPECT_EQ(body.Size(), 2);
  EXPECT_EQ(body.Alignment(), la_left);
  EXPECT_TRUE(body.Effects().IsEmpty());

  auto& text = dynamic_cast<kReceiptMessageTextLine&>(receipt.FooterLines()[0]);
  EXPECT_EQ(text.Section(), rs_trail);
  EXPECT_EQ(text.Value(), "Bye");
  EXPECT_EQ(text.Alignment(), la_right);
  EXPECT_EQ(text.Effects(), (qvReceiptMessageLineEffectSet{le_bold, le_italic}));

  auto& image = dynamic_cast<kReceiptMessageImageLine&>(receipt.FooterLines()[1]);
  EXPECT_EQ(image.Section(), rs_trail);
  EXPECT_EQ(image.Alignment(), la_center);
  EXPECT_EQ(image.Source(), is_FileSystem);
  EXPECT_EQ(image.Value(), "C:\\logo.bmp");

  auto& barcode = dynamic_cast<kReceiptMessageBarcodeLine&>(receipt.FooterLines()[2]);
  EXPECT_EQ(barcode.Section(), rs_trail);
  EXPECT_EQ(barcode.Value(), "123");
  EXPECT_EQ(barcode.BarcodeType(), bt_EAN13);
  EXPECT_TRUE(barcode.HRI());
  EXPECT_EQ(barcode.QRCodeMinVersion(), 1);
}

TEST(NFReceipt, BarcodeAndImageOptions) {
  kNFReceipt receipt;
  receipt.Deserialize(*Request(
      "<NFReceipt><Lines>"
      "<Barcode><Value>q</Value><Type>qrcode</Type><HRI>false</HRI>"
      "<QRCodeMinVersion>5</QRCodeMinVersion></Barcode>"
      "<Barcode><Value>q</Value><Type>qrcode</Type><QRCodeMinVersion>0</QRCodeMinVersion>"
      "</Barcode>"
      "<Image><Alignment>left</Alignment><Source>Resource</Source><Value>LOGO</Value></Image>"
      "</Lines></NFReceipt>"));
  ASSERT_EQ(receipt.Lines().Count(), 3u);
  auto& first = dynamic_cast<kReceiptMessageBarcodeLine&>(receipt.Lines()[0]);
  EXPECT_EQ(first.BarcodeType(), bt_QRCODE);
  EXPECT_FALSE(first.HRI());
  EXPECT_EQ(first.QRCodeMinVersion(), 5);
  auto& second = dynamic_cast<kReceiptMessageBarcodeLine&>(receipt.Lines()[1]);
  EXPECT_EQ(second.QRCodeMinVersion(), 1);
  auto& image = dynamic_cast<kReceiptMessageImageLine&>(receipt.Lines()[2]);
  EXPECT_EQ(image.Source(), is_Resource);
  EXPECT_EQ(image.Value(), "LOGO");
}

TEST(NFReceipt, TextFollowsTheReceiptsSpecialCharacterSetting) {
  kNFReceipt receipt;
  receipt.Deserialize(*Request(
      "<NFReceipt><Lines><Text><Value>TOTALE 5\u20AC</Value><Alignment>left</Alignment></Text>"
      "</Lines></NFReceipt>"));
  auto& line = dynamic_cast<kReceiptMessageTextLine&>(receipt.Lines()[0]);
  EXPECT_EQ(line.Value(), "TOT. 5E");
  receipt.SetSupportSpecialChars(true);
  EXPECT_EQ(line.Value(), "TOTALE 5\u20AC");
}

TEST(NFReceipt, LineMessages) {
  const auto wrap = [](const std::string& aLine) {
    return "<NFReceipt><Footer><Lines>" + aLine + "</Lines></Footer></NFReceipt>";
  };
  EXPECT_EQ(ReadFailure<kNFReceipt>(wrap("<Text><Value>x</Value></Text>")),
            "Alignment  is invalid");
  EXPECT_EQ(ReadFailure<kNFReceipt>(wrap("<Text><Alignment>middle</Alignment></Text>")),
            "Alignment middle is invalid");
  EXPECT_EQ(ReadFailure<kNFReceipt>(
                wrap("<Text><Alignment>left</Alignment><Effects>bold,Blink</Effects></Text>")),
            "Effect blink is invalid");
  EXPECT_EQ(ReadFailure<kNFReceipt>(wrap("<Barcode><Value>1</Value></Barcode>")),
            "BarcodeType  is invalid");
  EXPECT_EQ(ReadFailure<kNFReceipt>(wrap("<Barcode><Type>PDF417</Type></Barcode>")),
            "BarcodeType pdf417 is invalid");
  EXPECT_EQ(ReadFailure<kNFReceipt>(wrap("<Image><Value>x</Value></Image>")),
            "Alignment  is invalid");
  EXPECT_EQ(ReadFailure<kNFReceipt>(
                wrap("<Image><Alignment>left</Alignment><Source>Web</Source></Image>")),
            "Image Source web is invalid");
  const std::string size =
      ReadFailure<kNFReceipt>(wrap("<Text><Alignment>left</Alignment><Size>big</Size></Text>"));
  EXPECT_EQ(size.rfind("Error in processing node Size as integer.\r\n", 0), 0u) << size;
  const std::string hri =
      ReadFailure<kNFReceipt>(wrap("<Barcode><Type>upca</Type><HRI/></Barcode>"));
  EXPECT_EQ(hri.rfind("Error in processing node HRI as boolean.\r\n", 0), 0u) << hri;
  const std::string date = ReadFailure<kNFReceipt>("<NFReceipt><DateTime/></NFReceipt>");
  EXPECT_EQ(date, "Error in processing node DateTime as datetime.\r\nDateTime Format invalid: []");
}

TEST(CustomerDisplay, ReadsTextLinesWithoutOwner) {
  kCustomerDisplay display;
  EXPECT_FALSE(display.Clear());
  display.Deserialize(
      *Request("<Display><Clear>true</Clear><Lines>"
               "<Text><Value>citt\u00E0</Value><Alignment>left</Alignment><Size>3</Size>"
               "<Effects>bold</Effects></Text>"
               "<Barcode><Type>ean8</Type></Barcode>"
               "<Text><Value>Total</Value><Alignment>RIGHT</Alignment></Text>"
               "</Lines></Display>"));
  EXPECT_TRUE(display.Clear());
  ASSERT_EQ(display.Lines().Count(), 2u);
  auto& first = dynamic_cast<kReceiptMessageTextLine&>(display.Lines()[0]);
  EXPECT_EQ(first.Value(), "citt ");
  EXPECT_EQ(first.StoredValue(), "citt\u00E0");
  EXPECT_EQ(first.Owner(), nullptr);
  EXPECT_EQ(first.NFOwner(), nullptr);
  EXPECT_EQ(first.Size(), 0);
  EXPECT_TRUE(first.Effects().IsEmpty());
  EXPECT_EQ(first.Section(), rs_lead);
  EXPECT_EQ(first.Alignment(), la_left);
  auto& second = dynamic_cast<kReceiptMessageTextLine&>(display.Lines()[1]);
  EXPECT_EQ(second.Value(), "Total");
  EXPECT_EQ(second.Alignment(), la_right);
}

TEST(CustomerDisplay, WithoutLinesOrWithBadAlignment) {
  kCustomerDisplay display;
  display.Deserialize(*Request("<Display/>"));
  EXPECT_FALSE(display.Clear());
  EXPECT_TRUE(display.Lines().Empty());
  EXPECT_EQ(ReadFailure<kCustomerDisplay>(
                "<Display><Lines><Text><Value>x</Value></Text></Lines></Display>"),
            "Alignment  is invalid");
  const std::string clear = ReadFailure<kCustomerDisplay>("<Display><Clear>yes</Clear></Display>");
  EXPECT_EQ(clear.rfind("Error in processing node Clear as boolean.\r\n", 0), 0u) << clear;
}

TEST(EJReport, ReadsCodesDatesAndNumbers) {
  kEJReport report;
  report.Deserialize(
      *Request("<EJReport><ReportType>FiscalReceipt</ReportType><ReportDestination>Memory"
               "</ReportDestination><StartDate>2023-08-01T00:00:00</StartDate>"
               "<EndDate>2023-08-09 23:59:59</EndDate><StartNumber>12</StartNumber>"
               "<EndNumber>abc</EndNumber></EJReport>"));
  EXPECT_EQ(report.ReportType(), ejrt_FiscalReceipt);
  EXPECT_EQ(report.Destination(), rd_Memory);
  EXPECT_DOUBLE_EQ(report.StartDate(), At(2023, 8, 1));
  EXPECT_DOUBLE_EQ(report.EndDate(), At(2023, 8, 9, 23, 59, 59));
  EXPECT_EQ(report.StartNumber(), 12);
  EXPECT_EQ(report.EndNumber(), 0);
}

TEST(EJReport, Messages) {
  const std::string dates =
      "<StartDate>2023-08-01T00:00:00</StartDate>"
      "<EndDate>2023-08-02T00:00:00</EndDate>";
  EXPECT_EQ(ReadFailure<kEJReport>("<EJReport><ReportDestination>printer</ReportDestination>" +
                                   dates + "</EJReport>"),
            "ReportType  is invalid");
  EXPECT_EQ(ReadFailure<kEJReport>("<EJReport><ReportType>XReport</ReportType>"
                                   "<ReportDestination>printer</ReportDestination>" +
                                   dates + "</EJReport>"),
            "ReportType xreport is invalid");
  EXPECT_EQ(ReadFailure<kEJReport>("<EJReport><ReportType>zreport</ReportType>"
                                   "<ReportDestination>Screen</ReportDestination>" +
                                   dates + "</EJReport>"),
            "ReportDestination screen is invalid");
  // The dates are parsed from their text without the accessor's prefix.
  EXPECT_EQ(ReadFailure<kEJReport>("<EJReport><ReportType>zreport</ReportType>"
                                   "<ReportDestination>printer</ReportDestination>"
                                   "<EndDate>2023-08-02T00:00:00</EndDate></EJReport>"),
            "DateTime Format invalid: []");
  EXPECT_EQ(ReadFailure<kEJReport>("<EJReport><ReportType>zreport</ReportType>"
                                   "<ReportDestination>printer</ReportDestination>"
                                   "<StartDate>2023-08-01T00:00:00</StartDate><EndDate/>"
                                   "</EJReport>"),
            "DateTime Format invalid: []");
  EXPECT_EQ(ReadFailure<kEJReport>("<EJReport><ReportType>zreport</ReportType>"
                                   "<ReportDestination>printer</ReportDestination>"
                                   "<StartDate>yesterday</StartDate>"
                                   "<EndDate>2023-08-02T00:00:00</EndDate></EJReport>"),
            "DateTime Format invalid: [yesterday]");
}

TEST(VatTable, ReadsEveryChildAsAnEntry) {
  kVatTable table;
  table.Deserialize(*Request(
      "<VATTable><VAT><Code>A</Code><Description>Standard</Description><Rate>19</Rate></VAT>"
      "<Rate><Code>B</Code><Rate>5.5</Rate></Rate><!-- none --><Anything/></VATTable>"));
  ASSERT_EQ(table.Count(), 3u);
  EXPECT_EQ(table[0].Code(), "A");
  EXPECT_EQ(table[0].Description(), "Standard");
  EXPECT_EQ(table[0].Rate(), Currency::FromInteger(19));
  EXPECT_EQ(table[0].Index(), 0);
  EXPECT_EQ(table[1].Code(), "B");
  EXPECT_EQ(table[1].Rate(), Amount("5.5"));
  EXPECT_EQ(table[2].Code(), "");
  EXPECT_TRUE(table[2].Rate().IsZero());
  const std::string rate =
      ReadFailure<kVatTable>("<VATTable><VAT><Code>A</Code><Rate>19%</Rate></VAT></VATTable>");
  EXPECT_EQ(rate.rfind("Error in processing node Rate as currency.\r\n", 0), 0u) << rate;
}

TEST(VatTable, LooksUpByExactCodeAndIndex) {
  kVatTable table;
  const struct {
    int index;
    const char* code;
    int rate;
  } entries[] = {{1, "A", 19}, {2, "B", 9}, {5, "E", 0}, {2, "b2", 3}};
  for (const auto& entry : entries) {
    auto vat = std::make_unique<kVat>();
    vat->SetIndex(entry.index);
    vat->SetCode(entry.code);
    vat->SetRate(Currency::FromInteger(entry.rate));
    table.Add(std::move(vat));
  }
  ASSERT_NE(table.Get("B"), nullptr);
  EXPECT_EQ(table.Get("B")->Rate(), Currency::FromInteger(9));
  EXPECT_EQ(table.Get("b"), nullptr);
  EXPECT_EQ(table.Get("Z"), nullptr);
  ASSERT_NE(table.GetByIndex(2), nullptr);
  EXPECT_EQ(table.GetByIndex(2)->Code(), "B");
  EXPECT_EQ(table.GetByIndex(7), nullptr);
  const kVatTable& constTable = table;
  EXPECT_EQ(constTable.Get("E"), table.GetByIndex(5));
  // The entry 5 has no rate, so it does not hold its index.
  EXPECT_EQ(table.GetFirstAvailableIndex(), 3);
  EXPECT_EQ(kVatTable().GetFirstAvailableIndex(), 1);
}

TEST(DeptTable, NumbersEconomicActivitiesByFirstAppearance) {
  const auto document = Request(
      "<DeptTable>"
      "<Dept><Code>D1</Code><EACode>A</EACode><EADescription>Food</EADescription>"
      "<EAVATMode>1</EAVATMode></Dept>"
      "<Dept><Code>D2</Code><EACode>A</EACode><EADescription>Other</EADescription>"
      "<EAVATMode>0</EAVATMode></Dept>"
      "<Dept><Code>D3</Code><EACode></EACode></Dept>"
      "<Dept><Code>D4</Code><EACode>B</EACode><EADescription>Drinks</EADescription>"
      "<EAVATMode>true</EAVATMode></Dept>"
      "</DeptTable>");
  kEconomicActivityTable activities;
  activities.Deserialize(*document);
  ASSERT_EQ(activities.Count(), 2u);
  EXPECT_EQ(activities[0].Index(), 1);
  EXPECT_EQ(activities[0].Code(), "A");
  EXPECT_EQ(activities[0].Description(), "Food");
  EXPECT_TRUE(activities[0].Ventilazione());
  EXPECT_EQ(activities[1].Index(), 2);
  EXPECT_EQ(activities[1].Code(), "B");
  EXPECT_FALSE(activities[1].Ventilazione());
  ASSERT_NE(activities.GetByIndex(2), nullptr);
  EXPECT_EQ(activities.GetByIndex(2)->Description(), "Drinks");
  EXPECT_EQ(activities.Get("a"), nullptr);

  kDeptTable departments;
  departments.Deserialize(*document);
  ASSERT_EQ(departments.Count(), 4u);
  EXPECT_EQ(departments[1].Code(), "D2");
  EXPECT_EQ(departments[1].EACode(), "A");
  EXPECT_EQ(departments[2].EACode(), "");
  EXPECT_EQ(departments.Get("D4"), &departments[3]);
  EXPECT_EQ(departments.GetByIndex(0), &departments[0]);  // indexes are not read
}

TEST(DeptTable, VentilazioneOnlyForTheTextOne) {
  for (const char* mode : {"true", "01", "", " 1"}) {
    kEconomicActivityTable activities;
    activities.Deserialize(*Request(std::string("<DeptTable><D><EACode>X</EACode><EAVATMode>") +
                                    mode + "</EAVATMode></D></DeptTable>"));
    ASSERT_EQ(activities.Count(), 1u);
    EXPECT_FALSE(activities[0].Ventilazione()) << mode;
  }
}

TEST(DeptTable, ReadsDepartmentFieldsAndSalesType) {
  kDeptTable departments;
  departments.Deserialize(
      *Request("<DeptTable>"
               "<Dept><Code>1</Code><Description>Bakery</Description><VATCode>A</VATCode>"
               "<SalesType>SERVICE</SalesType></Dept>"
               "<Dept><Code>2</Code><SalesType>goods</SalesType></Dept>"
               "<Dept><Code>3</Code><SalesType>Product</SalesType></Dept>"
               "<Dept><Code>4</Code></Dept>"
               "</DeptTable>"));
  ASSERT_EQ(departments.Count(), 4u);
  EXPECT_EQ(departments[0].Description(), "Bakery");
  EXPECT_EQ(departments[0].VATCode(), "A");
  EXPECT_EQ(departments[0].SalesType(), st_Service);
  EXPECT_EQ(departments[1].SalesType(), st_Product);
  EXPECT_EQ(departments[2].SalesType(), st_Product);
  EXPECT_EQ(departments[3].SalesType(), st_Product);
  EXPECT_EQ(DecodeDepartmentSalesType("Service"), st_Service);
  EXPECT_EQ(DecodeDepartmentSalesType(" service"), st_Product);
}

TEST(PaymentReceipt, ReadsFieldsAndDefaults) {
  kPaymentReceipt payment;
  EXPECT_EQ(payment.PrintLocation(), pl_ECR);
  payment.Deserialize(
      *Request("<Payment><Copies>2</Copies><StoreCode>S</StoreCode><TillCode>T</TillCode>"
               "<Reference>R-1</Reference><Amount>12.34</Amount><Currency>EUR</Currency>"
               "<ReceiptId>ID9</ReceiptId><PrintLocation>EFT</PrintLocation>"
               "<RawResponse>ignored</RawResponse></Payment>"));
  EXPECT_EQ(payment.Copies(), 2);
  EXPECT_EQ(payment.StoreCode(), "S");
  EXPECT_EQ(payment.TillCode(), "T");
  EXPECT_EQ(payment.Reference(), "R-1");
  EXPECT_EQ(payment.Amount(), Amount("12.34"));
  EXPECT_EQ(payment.Currency(), "EUR");
  EXPECT_EQ(payment.ReceiptId(), "ID9");
  EXPECT_EQ(payment.PrintLocation(), pl_EFT);
  EXPECT_EQ(payment.RawResponse(), "");
  EXPECT_TRUE(payment.ReceiptLines().empty());

  kPaymentReceipt negative;
  negative.Deserialize(*Request("<Payment><Copies>-2</Copies><PrintLocation/></Payment>"));
  EXPECT_EQ(negative.Copies(), 0);
  EXPECT_EQ(negative.PrintLocation(), pl_ECR);
}

TEST(PaymentReceipt, PrintLocationIsCaseSensitive) {
  EXPECT_EQ(ReadFailure<kPaymentReceipt>("<Payment><PrintLocation>eft</PrintLocation></Payment>"),
            "Payment Location eft invalid. Allowed values are: ECR,EFT.");
  EXPECT_EQ(ReadFailure<kPaymentReceipt>("<Payment><PrintLocation>ecr</PrintLocation></Payment>"),
            "Payment Location ecr invalid. Allowed values are: ECR,EFT.");
  EXPECT_EQ(ReadFailure<kPaymentReceipt>("<Payment><PrintLocation> ECR</PrintLocation></Payment>"),
            "Payment Location  ECR invalid. Allowed values are: ECR,EFT.");
  EXPECT_EQ(ReadFailure<kPaymentReceipt>("<Payment><PrintLocation>ECR</PrintLocation></Payment>"),
            "");
  const std::string amount =
      ReadFailure<kPaymentReceipt>("<Payment><Amount>1,5</Amount></Payment>");
  EXPECT_EQ(amount.rfind("Error in processing node Amount as currency.\r\n", 0), 0u) << amount;
}

TEST(ReceiptReference, ReadsAndToleratesAnEmptyDate) {
  kReceiptReference reference;
  reference.Deserialize(
      *Request("<ReceiptReference><ReceiptType>Refund</ReceiptType><EJNumber>3</EJNumber>"
               "<EJClosingNumber>4</EJClosingNumber><ReceiptDateTime>2023-08-09T10:00:00"
               "</ReceiptDateTime><ReceiptNumber>0000012</ReceiptNumber>"
               "<DeviceSerialNumber>DEV1</DeviceSerialNumber></ReceiptReference>"));
  EXPECT_EQ(reference.ReceiptType(), rt_Refund);
  EXPECT_EQ(reference.EJNumber(), "3");
  EXPECT_EQ(reference.EJClosingNumber(), "4");
  EXPECT_DOUBLE_EQ(reference.ReceiptDateTime(), At(2023, 8, 9, 10));
  EXPECT_EQ(reference.ReceiptNumber(), "0000012");
  EXPECT_EQ(reference.DeviceSerialNumber(), "DEV1");

  kReceiptReference empty;
  empty.Deserialize(*Request(
      "<ReceiptReference><ReceiptType>sale</ReceiptType><ReceiptDateTime/></ReceiptReference>"));
  EXPECT_EQ(empty.ReceiptDateTime(), 0.0);

  EXPECT_EQ(ReadFailure<kReceiptReference>("<ReceiptReference/>"), "ReceiptType  is invalid");
  EXPECT_EQ(ReadFailure<kReceiptReference>(
                "<ReceiptReference><ReceiptType>Sales</ReceiptType></ReceiptReference>"),
            "ReceiptType sales is invalid");
  EXPECT_EQ(ReadFailure<kReceiptReference>("<ReceiptReference><ReceiptType>void</ReceiptType>"
                                           "<ReceiptDateTime>09/08/2023</ReceiptDateTime>"
                                           "</ReceiptReference>"),
            "Error in processing node ReceiptDateTime as datetime.\r\n"
            "DateTime Format invalid: [09/08/2023]");
}

TEST(EJFilesRequest, ReadsTypeDatesAndFolder) {
  kEJFilesRequest request;
  request.Deserialize(
      *Request("<EJRequest><RequestType>XML</RequestType><StartDate>2023-08-01T00:00:00</StartDate>"
               "<EndDate></EndDate><OutputDir>C:\\Export\\</OutputDir></EJRequest>"));
  EXPECT_EQ(request.ReqType(), ej_xml);
  EXPECT_DOUBLE_EQ(request.StartDate(), At(2023, 8, 1));
  EXPECT_EQ(request.EndDate(), 0.0);
  EXPECT_EQ(request.OutputDir(), "C:\\Export\\");
  EXPECT_EQ(ReadFailure<kEJFilesRequest>("<EJRequest/>"), "ReferenceType  is invalid");
  EXPECT_EQ(ReadFailure<kEJFilesRequest>("<EJRequest><RequestType>csv</RequestType></EJRequest>"),
            "ReferenceType csv is invalid");
}

TEST(ZReport, ReadsTextLines) {
  kZReport report;
  report.Deserialize(
      *Request("<ZReport><StoreCode>S</StoreCode><TillCode>T</TillCode><PrintText>TRUE</PrintText>"
               "<Text>Line one&#13;&#10;Line two&#10;&#10;Line four&#13;Line five&#13;&#10;</Text>"
               "</ZReport>"));
  EXPECT_EQ(report.StoreCode(), "S");
  EXPECT_EQ(report.TillCode(), "T");
  EXPECT_TRUE(report.PrintText());
  EXPECT_EQ(report.Text(),
            (std::vector<std::string>{"Line one", "Line two", "", "Line four", "Line five"}));
}

TEST(ZReport, WithoutElementKeepsDefaults) {
  kZReport report;
  report.Deserialize(*Request("<Receipt/>"));
  EXPECT_FALSE(report.PrintText());
  EXPECT_TRUE(report.Text().empty());
  EXPECT_EQ(report.StoreCode(), "");
  kZReport empty;
  empty.Deserialize(*Request("<ZReport/>"));
  EXPECT_FALSE(empty.PrintText());
  EXPECT_TRUE(empty.Text().empty());
  const std::string bad = ReadFailure<kZReport>("<ZReport><PrintText>maybe</PrintText></ZReport>");
  EXPECT_EQ(bad.rfind("Error in processing node PrintText as boolean.\r\n", 0), 0u) << bad;
}

TEST(SplitTextLines, AcceptsEveryLineBreak) {
  EXPECT_TRUE(SplitTextLines("").empty());
  EXPECT_EQ(SplitTextLines("a"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(SplitTextLines("\n\r\n"), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(SplitTextLines("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));
}

}  // namespace
}  // namespace qv::documents
