// The till's page at "/": every till with its status, today's receipts, the X-report
// figures, the Z-report button and the audit result, drawn by a script that calls /v1.
// The token comes from "?token=" (then removed from the address bar) or from the user.
#include "serve/http_service.h"

namespace qv::host {

namespace {

constexpr const char* kPage = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>qvfp serve - tills</title>
<style>
  body { font-family: system-ui, sans-serif; margin: 1.5em; color: #222; background: #f6f6f4; }
  h1 { font-size: 1.4em; margin: 0 0 .6em; }
  section.till { background: #fff; border: 1px solid #ccc; border-radius: 6px; padding: 1em;
                 margin-bottom: 1.2em; }
  section.till h2 { margin: 0 0 .4em; font-size: 1.2em; }
  .closed { color: #a00; }
  table { border-collapse: collapse; margin: .4em 0 .8em; }
  th, td { text-align: left; padding: .2em .8em .2em 0; border-bottom: 1px solid #eee; }
  td.amount, th.amount { text-align: right; }
  .columns { display: flex; flex-wrap: wrap; gap: 2em; }
  button { padding: .4em 1em; }
  #login { display: none; }
  .message { color: #a00; }
</style>
</head>
<body>
<h1>Fiscal tills</h1>
<form id="login">
  <label>Token <input id="token-input" type="password" autocomplete="off"></label>
  <button type="submit">Show the tills</button>
</form>
<p id="page-message" class="message"></p>
<div id="tills"></div>
<script>
"use strict";
const storageKey = "qvfp-token";
let token = "";

function takeToken() {
  const address = new URL(window.location.href);
  const fromAddress = address.searchParams.get("token");
  if (fromAddress !== null) {
    sessionStorage.setItem(storageKey, fromAddress);
    address.searchParams.delete("token");
    window.history.replaceState(null, "", address.pathname + address.search + address.hash);
  }
  token = sessionStorage.getItem(storageKey) || "";
}

async function call(path, options) {
  const init = Object.assign({ headers: {} }, options || {});
  if (token) init.headers["Authorization"] = "Bearer " + token;
  const response = await fetch(path, init);
  let body = null;
  try { body = await response.json(); } catch (e) { body = null; }
  if (response.status === 401) { askForToken(); throw new Error("a token is needed"); }
  if (!response.ok) {
    const message = body && body.error ? body.error.message : response.statusText;
    throw new Error(message);
  }
  return body;
}

function askForToken() {
  document.getElementById("login").style.display = "block";
}

function element(tag, attributes, children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes || {})) node.setAttribute(name, value);
  for (const child of children || []) {
    node.append(typeof child === "string" ? document.createTextNode(child) : child);
  }
  return node;
}

function table(className, headings, rows, amountColumns) {
  const head = element("tr", {}, headings.map((h, i) =>
      element("th", amountColumns.includes(i) ? { class: "amount" } : {}, [h])));
  const body = rows.map(row => element("tr", {}, row.map((cell, i) =>
      element("td", amountColumns.includes(i) ? { class: "amount" } : {}, [String(cell)]))));
  return element("table", { class: className }, [head, ...body]);
}

function today() {
  const now = new Date();
  return String(now.getFullYear()) + String(now.getMonth() + 1).padStart(2, "0") +
         String(now.getDate()).padStart(2, "0");
}

async function showTill(till) {
  const name = till.till;
  const base = "/v1/tills/" + encodeURIComponent(name);
  const section = element("section", { class: "till", id: "till-" + name },
      [element("h2", {}, ["Till " + name])]);
  document.getElementById("tills").append(section);
  if (!till.open) {
    section.append(element("p", { class: "closed status" }, ["Not open: " + till.message]));
    return;
  }
  const [status, journal, xreport, verify] = await Promise.all([
      call(base + "/status").catch(e => ({ error: e.message })),
      call(base + "/journal?date=" + today()).catch(e => ({ error: e.message })),
      call(base + "/xreport").catch(e => ({ error: e.message })),
      call(base + "/verify").catch(e => ({ error: e.message }))]);

  section.append(element("p", { class: "status" }, status.error ? ["Status: " + status.error] :
      ["Open. Day " + (status.dayOpened ? "opened" : "not opened") + ", fiscal mode " +
       status.fiscalMode + ", device time " + status.dateTime +
       (status.trainingMode ? ", training mode" : "")]));

  const columns = element("div", { class: "columns" }, []);
  section.append(columns);
  const receipts = Array.isArray(journal) ? journal.filter(e => e.type !== "ZReport").reverse() : [];
  columns.append(element("div", {}, [element("h3", {}, ["Today's receipts"]),
      journal.error ? element("p", { class: "message" }, [journal.error]) :
      table("receipts", ["Number", "Time", "Type", "Total"],
            receipts.map(r => [r.number, (r.dateTime || "").slice(11), r.type, r.totalAmount]), [3])]));

  if (!xreport.error) {
    columns.append(element("div", {}, [element("h3", {}, ["X-report, Z " + xreport.reportNumber]),
        table("xreport", ["Figure", "Amount"], [
            ["Day total", xreport.dayTotalAmount], ["Day refunds", xreport.dayRefundsAmount],
            ["Day voids", xreport.dayVoidsAmount], ["Day discounts", xreport.dayDiscountsAmount],
            ["Receipts", xreport.dayReceiptsNumber], ["Grand total", xreport.grandTotalAmount]], [1])]));
  } else {
    columns.append(element("p", { class: "message" }, ["X-report: " + xreport.error]));
  }

  section.append(element("p", { class: "verify" },
      ["Audit: " + (verify.error ? verify.error : verify.consistent ? "consistent" :
          "NOT consistent: " + verify.findings.filter(f => f.severity === "problem")
                                              .map(f => f.message).join("; "))]));

  const button = element("button", { type: "button", class: "zreport" }, ["Close the day (Z-report)"]);
  button.addEventListener("click", async () => {
    if (!window.confirm("Close the fiscal day of till " + name + "? This cannot be undone.")) return;
    button.disabled = true;
    try {
      const key = "page-" + name + "-" + Date.now() + "-" + Math.random().toString(36).slice(2);
      const report = await call(base + "/zreport", { method: "POST",
          headers: { "Content-Type": "application/json", "Idempotency-Key": key }, body: "{}" });
      window.alert("Z-report " + report.reportNumber + " closed, day total " + report.dayTotalAmount);
    } catch (e) {
      window.alert("The Z-report failed: " + e.message);
    }
    refresh();
  });
  section.append(button);
}

async function refresh() {
  document.getElementById("tills").replaceChildren();
  document.getElementById("page-message").textContent = "";
  try {
    const tills = await call("/v1/tills");
    for (const till of tills) await showTill(till);
    document.body.setAttribute("data-loaded", "true");
  } catch (e) {
    document.getElementById("page-message").textContent = e.message;
  }
}

document.getElementById("login").addEventListener("submit", event => {
  event.preventDefault();
  token = document.getElementById("token-input").value;
  sessionStorage.setItem(storageKey, token);
  document.getElementById("login").style.display = "none";
  refresh();
});

takeToken();
refresh();
</script>
</body>
</html>
)PAGE";

}  // namespace

const std::string& TillPage() {
  static const std::string kText = kPage;
  return kText;
}

}  // namespace qv::host
