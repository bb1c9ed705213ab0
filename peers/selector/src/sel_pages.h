// The selector's pages, as HTML text. Every page works with plain forms; a small script
// on the selection page only makes a click on a unit's row choose it.
//
// Forms post the demand on under the address's own keys (hidden fields), together with
// "email" and either "passw" (the login form) or "ticket" (after a login).
#pragma once
#include <string>
#include <vector>

#include "sel_demand.h"
#include "sel_select.h"

const char kSelRoot[] = "/selector/";
const char kSelStartPage[] = "/selector/login/Ductora.jsp";
const char kSelExportPage[] = "/selector/export";

// The demand, the units that serve it with the Export form, and those that do not with
// their reasons.
std::string sel_page_selection(const SelDemand& demand, const std::vector<SelChoice>& choices,
                               const SelCatalog& catalogue, const std::string& ticket);

// The login form, showing the demand it will go on with; message may be empty.
std::string sel_page_login(const SelDemand& demand, const std::string& message);

// The confirmation of an export, with the address of the stored unit file and a form back
// to the selection.
std::string sel_page_exported(const SelDemand& demand, const SelChoice& choice, const std::string& fileUrl,
                              const std::string& ticket);

// A page with a heading and one paragraph (the text is escaped).
std::string sel_page_message(const std::string& heading, const std::string& text);

// Text made safe for HTML and XML element content and quoted attribute values.
std::string sel_html(const std::string& text);
