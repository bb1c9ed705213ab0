#include "sel_pages.h"

#include <cstdio>

using namespace catalog;

namespace {

const char* const kConnectionTitles[kUnitConnections] = {"Supply", "Extract", "Outdoor", "Exhaust"};
const char* const kBandTitles[kOctaveBands] = {"63", "125", "250", "500", "1k", "2k", "4k", "8k"};

const char kStyle[] =
    "body{font-family:sans-serif;margin:1.5em;color:#222;max-width:78em}"
    "h1{font-size:1.5em;margin:0}h2{font-size:1.15em;margin-top:1.6em}"
    ".who{color:#555;margin:.3em 0 0}"
    "table{border-collapse:collapse;margin:.5em 0}"
    "th,td{border:1px solid #ccc;padding:.3em .55em;text-align:left;vertical-align:top}"
    "thead th{background:#eef2f6}td.num{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}"
    "ul.reasons{margin:0;padding-left:1.1em}.component{white-space:nowrap}"
    "#fitting>tbody>tr:hover{background:#f6f9fc}#fitting>tbody>tr.chosen{background:#e5f0fa}"
    "#unfit td{color:#555}.message{background:#fff4d6;border:1px solid #e6c66a;padding:.5em}"
    "#exported{background:#e3f4e1;border:1px solid #8cc084;padding:.6em}"
    "button{font-size:1em;padding:.35em 1.2em}label{display:block;margin:.4em 0}"
    "details table{font-size:.9em}small{color:#555}";

// The script improves the plain form: a click anywhere on a row chooses that unit, and the
// button names the chosen unit.
const char kScript[] =
    "(function(){var rows=document.querySelectorAll('#fitting > tbody > tr');"
    "var button=document.getElementById('export-button');"
    "function show(){for(var i=0;i<rows.length;i++){var r=rows[i].querySelector('input[name=unit]');"
    "rows[i].className=r&&r.checked?'chosen':'';if(r&&r.checked&&button)button.textContent='Export '+r.value;}}"
    "for(var i=0;i<rows.length;i++){rows[i].addEventListener('click',function(e){"
    "var r=this.querySelector('input[name=unit]');if(r&&e.target.tagName!=='SUMMARY'){r.checked=true;show();}});}"
    "show();})();";

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string hidden(const char* name, const std::string& value) {
  return std::string("<input type=\"hidden\" name=\"") + name + "\" value=\"" + sel_html(value) + "\">\n";
}

// The demand as hidden fields, numbers as the CAD program sends them.
std::string demandFields(const SelDemand& d) {
  std::string out = hidden("lang", d.language) + hidden("hex", d.exchanger);
  for (int k = 0; k < kUnitConnections; ++k)
    out += hidden(kSelAirflowKeys[k], fixed(d.airflow[k], 2)) + hidden(kSelPressureKeys[k], fixed(d.pressure[k], 2));
  return out + hidden("dcsid", d.selectionId) + hidden("plugVers", d.plugVersion);
}

std::string page(const std::string& title, const std::string& body, bool script = false) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<title>" + sel_html(title) + "</title><style>" + kStyle + "</style></head>\n<body>\n"
         "<header><h1>Ventholm air-handling unit selection</h1></header>\n" + body +
         (script ? std::string("<script>") + kScript + "</script>\n" : std::string()) + "</body></html>\n";
}

std::string who(const SelDemand& d, bool loggedIn) {
  return "<p class=\"who\">" + (loggedIn ? "Logged in as <strong>" + sel_html(d.email) + "</strong> · " : std::string()) +
         "language " + sel_html(d.language.empty() ? "-" : d.language) + " · plug-in version " +
         sel_html(d.plugVersion.empty() ? "-" : d.plugVersion) + " · selection <code id=\"selection-id\">" +
         sel_html(d.selectionId) + "</code></p>\n";
}

std::string demandSection(const SelDemand& d) {
  std::string out = "<section id=\"demand\"><h2>Demand from the drawing</h2>\n<p>Heat exchanger: <strong "
                    "id=\"demand-exchanger\">" +
                    sel_html(d.exchanger.empty() ? "none given" : sel_exchanger_name(d.exchanger)) +
                    "</strong></p>\n<table id=\"demand-table\"><thead><tr><th>Connection</th><th>Airflow l/s</th>"
                    "<th>Airflow m³/h</th><th>Pressure Pa</th></tr></thead><tbody>\n";
  for (int k = 0; k < kUnitConnections; ++k) {
    out += std::string("<tr><th>") + kConnectionTitles[k] + "</th>";
    if (d.airflow[k] > 0 || d.pressure[k] > 0)
      out += "<td class=\"num\">" + fixed(d.airflow[k], 2) + "</td><td class=\"num\">" + fixed(sel_m3h(d.airflow[k]), 0) +
             "</td><td class=\"num\">" + fixed(d.pressure[k], 0) + "</td></tr>\n";
    else
      out += "<td colspan=\"3\">not picked</td></tr>\n";
  }
  return out + "</tbody></table>\n</section>\n";
}

std::string unitTitle(const SelUnit& u, const std::string& forId) {
  std::string size = u.data.diameter > 0 ? "Ø" + std::to_string(u.data.diameter)
                                         : std::to_string(u.data.width) + "×" + std::to_string(u.data.height);
  std::string name = "<strong>" + sel_html(u.id) + "</strong> " + sel_html(u.name);
  if (!forId.empty()) name = "<label for=\"" + sel_html(forId) + "\">" + name + "</label>";
  return name + "<br><small>" + sel_html(u.description) + "; connections " + size + " mm</small>";
}

std::string range(const UnitData& u) {
  return fixed(u.airflow[FAN_LEAST], 0) + " – " + fixed(u.airflow[FAN_NOMINAL], 0) + " – " +
         fixed(u.airflow[FAN_MOST], 0);
}

std::string fanPressure(const char* fan, const SelFanPoint& p) {
  return std::string(fan) + " " + (p.given ? fixed(p.available, 0) + " / " + fixed(p.needed, 0) : std::string("-"));
}

std::string soundBands(const SelChoice& c) {
  std::string out = "<details><summary>octave bands</summary><table><thead><tr><th>dB</th>";
  for (const char* b : kBandTitles) out += std::string("<th>") + b + "</th>";
  out += "</tr></thead><tbody>\n";
  auto row = [&](const std::string& title, const double* bands) {
    out += "<tr><th>" + title + "</th>";
    for (int b = 0; b < kOctaveBands; ++b) out += "<td class=\"num\">" + fixed(bands[b], 0) + "</td>";
    out += "</tr>\n";
  };
  for (int k = 0; k < kUnitConnections; ++k) row(kConnectionTitles[k], c.sound[k]);
  row("Surroundings", c.surrounding);
  return out + "</tbody></table></details>";
}

std::string components(const SelUnit& u, const SelCatalog& catalogue) {
  std::string out;
  for (int k = 0; k < kUnitConnections; ++k) {
    if (u.data.components[k].empty()) continue;
    out += std::string(out.empty() ? "" : "<br>") + kConnectionTitles[k] + ": ";
    for (size_t i = 0; i < u.data.components[k].size(); ++i) {
      const std::string& id = u.data.components[k][i].id;
      auto found = catalogue.components.find(id);
      out += (i ? ", " : "") + std::string("<span class=\"component\" title=\"") +
             sel_html(found == catalogue.components.end() ? id : found->second.description) + "\">" + sel_html(id) +
             "</span>";
    }
  }
  return out.empty() ? "none" : out;
}

std::string servingRow(const SelChoice& c, bool first, const SelCatalog& catalogue) {
  const SelUnit& u = *c.unit;
  std::string radio = "choose-" + u.id;
  double fastest = 0;
  for (double v : c.velocity) fastest = v > fastest ? v : fastest;
  std::string out = "<tr id=\"unit-" + sel_html(u.id) + "\"><td><input type=\"radio\" name=\"unit\" value=\"" +
                    sel_html(u.id) + "\" id=\"" + sel_html(radio) + "\"" + (first ? " checked" : "") + "></td>";
  out += "<td>" + unitTitle(u, radio) + "</td>";
  out += "<td class=\"num\">" + range(u.data) + "</td>";
  out += "<td class=\"num fit\">" + (c.load > 0 ? fixed(100 * c.load, 0) + " %" : std::string("-")) + "</td>";
  out += "<td class=\"num\">" + fanPressure("supply", c.fans[SEL_SUPPLY_FAN]) + "<br>" +
         fanPressure("extract", c.fans[SEL_EXTRACT_FAN]) + "</td>";
  out += "<td class=\"num\">" + fixed(fastest, 1) + "</td>";
  out += "<td class=\"num\">" + fixed(c.soundA[UNIT_SUPPLY], 0) + " · " + fixed(c.soundA[UNIT_EXTRACT], 0) + " · " +
         fixed(c.soundA[UNIT_OUTDOOR], 0) + " · " + fixed(c.soundA[UNIT_EXHAUST], 0) + " · " +
         fixed(c.surroundingA, 0) + soundBands(c) + "</td>";
  return out + "<td>" + components(u, catalogue) + "</td></tr>\n";
}

std::string unfitRow(const SelChoice& c) {
  std::string out = "<tr id=\"unit-" + sel_html(c.unit->id) + "\"><td>" + unitTitle(*c.unit, "") + "</td><td>" +
                    sel_html(sel_exchanger_name(c.unit->data.exchanger)) + "</td><td class=\"num\">" +
                    range(c.unit->data) + "</td><td><ul class=\"reasons\">";
  for (const std::string& r : c.reasons) out += "<li>" + sel_html(r) + "</li>";
  return out + "</ul></td></tr>\n";
}

// The form that posts the logged-in demand to a page.
std::string ticketFields(const SelDemand& d, const std::string& ticket) {
  return hidden("email", d.email) + hidden("ticket", ticket) + demandFields(d);
}

}  // namespace

std::string sel_html(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string sel_page_selection(const SelDemand& demand, const std::vector<SelChoice>& choices,
                               const SelCatalog& catalogue, const std::string& ticket) {
  std::string body = who(demand, true) + demandSection(demand);
  size_t serving = 0;
  while (serving < choices.size() && choices[serving].serves) ++serving;
  body += "<section id=\"serving\"><h2>Units that can serve it, best fit first</h2>\n";
  if (serving == 0) {
    body += "<p class=\"message\" id=\"no-unit\">No unit of the catalogue can serve this demand.</p>\n";
  } else {
    body += std::string("<form method=\"post\" action=\"") + kSelExportPage + "\" id=\"export\">\n" +
            ticketFields(demand, ticket) +
            "<table id=\"fitting\"><thead><tr><th></th><th>Unit</th><th>Airflow m³/h<br>least – nominal – most</th>"
            "<th>Load of nominal</th><th>Pressure for the ducts Pa<br>left / needed</th><th>Duct velocity m/s<br>fastest</th>"
            "<th>Sound power dB(A)<br>supply · extract · outdoor · exhaust · surroundings</th>"
            "<th>External components</th></tr></thead><tbody>\n";
    for (size_t i = 0; i < serving; ++i) body += servingRow(choices[i], i == 0, catalogue);
    body += "</tbody></table>\n<p><button type=\"submit\" id=\"export-button\">Export</button> "
            "the chosen unit to the CAD program.</p>\n</form>\n";
  }
  body += "</section>\n";
  if (serving < choices.size()) {
    body += "<section id=\"not-serving\"><h2>Units that cannot serve it</h2>\n<table id=\"unfit\"><thead><tr>"
            "<th>Unit</th><th>Heat exchanger</th><th>Airflow m³/h<br>least – nominal – most</th><th>Why not</th></tr>"
            "</thead><tbody>\n";
    for (size_t i = serving; i < choices.size(); ++i) body += unfitRow(choices[i]);
    body += "</tbody></table>\n</section>\n";
  }
  return page("Unit selection " + demand.selectionId, body, serving > 0);
}

std::string sel_page_login(const SelDemand& demand, const std::string& message) {
  std::string body = who(demand, false);
  body += std::string("<form method=\"post\" action=\"") + kSelStartPage + "\" id=\"login\">\n<h2>Log in</h2>\n";
  if (!message.empty()) body += "<p class=\"message\" id=\"login-message\">" + sel_html(message) + "</p>\n";
  body += "<label>E-mail address <input type=\"text\" name=\"email\" autocomplete=\"username\" value=\"" +
          sel_html(demand.email) + "\"></label>\n<label>Password <input type=\"password\" name=\"passw\" "
          "autocomplete=\"current-password\"></label>\n" +
          demandFields(demand) + "<p><button type=\"submit\" id=\"login-button\">Log in</button></p>\n</form>\n";
  return page("Log in to the unit selection", body + demandSection(demand));
}

std::string sel_page_exported(const SelDemand& demand, const SelChoice& choice, const std::string& fileUrl,
                              const std::string& ticket) {
  std::string body = who(demand, true);
  body += "<p id=\"exported\">The unit <strong id=\"exported-unit\">" + sel_html(choice.unit->id) +
          "</strong> was exported for selection <code>" + sel_html(demand.selectionId) +
          "</code>. You may now click Import in the CAD program.</p>\n<p><a id=\"exported-file\" href=\"" +
          sel_html(fileUrl) + "\">The exported unit file</a></p>\n";
  body += std::string("<form method=\"post\" action=\"") + kSelStartPage + "\" id=\"back\">\n" +
          ticketFields(demand, ticket) +
          "<p><button type=\"submit\" id=\"back-button\">Back to the selection</button></p>\n</form>\n";
  return page("Unit " + choice.unit->id + " exported", body + demandSection(demand));
}

std::string sel_page_message(const std::string& heading, const std::string& text) {
  return page(heading, "<h2>" + sel_html(heading) + "</h2>\n<p class=\"message\" id=\"error\">" + sel_html(text) +
                           "</p>\n");
}
