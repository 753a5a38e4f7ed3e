#include "requests.h"

#include <pugixml.hpp>

#include "base/xml_utils.h"
#include "platform/error.h"

namespace qv::host {

std::string BuildRequest(std::string_view aMethod, int32_t aHandle, const TillOptions& aTill,
                         std::string_view aBody) {
  std::string xml;
  xml += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<FiscalRequest>\n";
  xml += "  <Type>FISCALPROCESSOR</Type>\n  <Driver>QVFP_CYKAVREN_10</Driver>\n";
  xml += "  <Method>" + std::string(aMethod) + "</Method>\n";
  xml += "  <LogId>" + aTill.logId + "</LogId>\n";
  xml += "  <Handle>" + std::to_string(aHandle) + "</Handle>\n";
  xml += "  <Parameters>\n    <Processor>QVFP_CYKAVREN_10</Processor>\n";
  xml += "    <FPTillSerial>" + aTill.till + "</FPTillSerial>\n";
  xml += "    <ProcessorPort>" + aTill.port + "</ProcessorPort>\n  </Parameters>\n";
  xml += aBody;
  xml += "</FiscalRequest>\n";
  return xml;
}

std::string WithHandle(std::string_view aRequest, int32_t aHandle) {
  pugi::xml_document document;
  base::ParseXml(document, aRequest);
  pugi::xml_node root = document.document_element();
  pugi::xml_node handle = root.child("Handle");
  if (!handle) handle = root.prepend_child("Handle");
  handle.text().set(std::to_string(aHandle).c_str());
  std::string text = base::RenderXml(document);
  return text;
}

namespace {

std::string Line(std::string_view aType, std::string_view aFields) {
  return "      <" + std::string(aType) + ">" + std::string(aFields) + "</" + std::string(aType) +
         ">\n";
}

std::string Item(std::string_view aCode, std::string_view aDescription, std::string_view aQuantity,
                 std::string_view aPrice, std::string_view aAmount) {
  return "<Code>" + std::string(aCode) + "</Code><Description>" + std::string(aDescription) +
         "</Description><Quantity>" + std::string(aQuantity) + "</Quantity><UOM>pc</UOM>" +
         "<Department>1</Department><TaxCode>1</TaxCode><Price>" + std::string(aPrice) +
         "</Price><Amount>" + std::string(aAmount) + "</Amount><Attribute>Product</Attribute>";
}

std::string Vat(std::string_view aTaxable, std::string_view aTax, std::string_view aTotal) {
  return "    <Taxes>\n      <Tax><Type>VAT</Type><Code>1</Code><Description>VAT 19%</Description>"
         "<Rate>19</Rate><TaxableAmount>" +
         std::string(aTaxable) + "</TaxableAmount><TaxAmount>" + std::string(aTax) +
         "</TaxAmount><TotalAmount>" + std::string(aTotal) + "</TotalAmount></Tax>\n    </Taxes>\n";
}

std::string Payment(std::string_view aType, std::string_view aDescription,
                    std::string_view aAmount) {
  return "      <Payment><Type>" + std::string(aType) + "</Type><Description>" +
         std::string(aDescription) + "</Description><Amount>" + std::string(aAmount) +
         "</Amount></Payment>\n";
}

std::string Receipt(std::string_view aType, std::string_view aTotal, std::string_view aLines,
                    std::string_view aTaxes, std::string_view aPayments) {
  return "  <Receipt>\n    <Type>" + std::string(aType) +
         "</Type>\n    <StoreCode>001</StoreCode>\n    <StoreAddress>1 Ledra "
         "Street</StoreAddress>\n"
         "    <StoreCity>Nicosia</StoreCity>\n    <TillCode>01</TillCode>\n"
         "    <OperatorCode>7</OperatorCode>\n    <CurrencyCode>EUR</CurrencyCode>\n"
         "    <TotalAmount>" +
         std::string(aTotal) +
         "</TotalAmount>\n    <Headers>\n      <HeaderLine>CAFE LEDRA</HeaderLine>\n"
         "      <HeaderLine>1 Ledra Street, Nicosia</HeaderLine>\n    </Headers>\n    <Lines>\n" +
         std::string(aLines) + "    </Lines>\n" + std::string(aTaxes) + "    <Payments>\n" +
         std::string(aPayments) +
         "    </Payments>\n    <TrailerMessages>\n      <Text><Value>Thank you for your "
         "visit</Value><Size>1</Size><Alignment>Center</Alignment></Text>\n"
         "    </TrailerMessages>\n  </Receipt>\n";
}

}  // namespace

std::vector<SampleReceipt> SampleReceipts() {
  std::vector<SampleReceipt> samples;
  samples.push_back(
      {"Sale: item and subtotal discounts, cash with change",
       Receipt(
           "Sale", "16.74",
           Line("ProductSale", Item("1001", "Espresso", "2", "3.5", "7")) +
               Line("ProductSale", Item("2001", "Club sandwich", "1", "8.9", "8.9")) +
               Line("DiscountAmount", "<Amount>0.9</Amount><Description>Happy hour</Description>") +
               Line("ProductSale", Item("3001", "Still water", "3", "1.2", "3.6")) +
               Line("SubTotal", "<Amount>18.6</Amount>") +
               Line("DiscountPercentageOnSubtotal",
                    "<Percentage>10</Percentage><Amount>1.86</Amount>"
                    "<Description>Loyalty card 10%</Description>"),
           Vat("14.07", "2.67", "16.74"),
           Payment("Cash", "Cash", "20") + Payment("Change", "Change", "3.26"))});
  samples.push_back(
      {"Sale in Greek with a markup, card and cash",
       Receipt("Sale", "9.24",
               Line("ProductSale", Item("4001", "Χωριάτικη σαλάτα", "1", "8.4", "8.4")) +
                   Line("MarkupPercentage",
                        "<Percentage>10</Percentage><Amount>0.84</Amount>"
                        "<Description>Παράδοση κατ' οίκον</Description>"),
               Vat("7.76", "1.48", "9.24"),
               Payment("CreditCard", "Visa", "5") + Payment("Cash", "Cash", "4.24"))});
  samples.push_back(
      {"Refund of one espresso",
       Receipt("Refund", "3.5", Line("ProductReturn", Item("1001", "Espresso", "1", "3.5", "3.5")),
               Vat("2.94", "0.56", "3.5"), Payment("Cash", "Cash", "3.5"))});
  samples.push_back(
      {"Void of a water sale",
       Receipt("Void", "1.2", Line("ProductSale", Item("3001", "Still water", "1", "1.2", "1.2")),
               Vat("1.01", "0.19", "1.2"), Payment("Cash", "Cash", "1.2"))});
  return samples;
}

}  // namespace qv::host
