// Partial menus: small XML files of menu items, e.g.
//   <Menu name="Zephyr"><Item label="Zephyr" command="Zephyr"/></Menu>
// Paths may use either separator; file names match without regard to letter case.
#include <dirent.h>
#include <sys/stat.h>
#include <tinyxml.h>
#include <fstream>
#include <sstream>
#include "hostimpl.h"
#include "rxapi.h"
#include "xmldoc.h"

namespace {
// A menu file is a few items: anything larger or deeper is refused unread.
const size_t kMaxMenuFileBytes = 1024 * 1024;
const size_t kMaxMenuDepth = 16;

struct MenuItem {
  std::string label, command;
};
struct Menu {
  std::string name, path;
  std::vector<MenuItem> items;
};
std::vector<Menu>& menus() {
  static std::vector<Menu> list;
  return list;
}

bool exists(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0;
}

// The existing path that matches, component by component, without regard to case; "" if none.
std::string resolvePath(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  if (exists(path)) return path;
  std::string out = path[0] == '/' ? "" : ".";
  size_t pos = path[0] == '/' ? 1 : 0;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    std::string part = path.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
    pos = next == std::string::npos ? path.size() + 1 : next + 1;
    if (part.empty()) continue;
    std::string candidate = out + "/" + part;
    if (!exists(candidate)) {
      DIR* dir = opendir(out.empty() ? "/" : out.c_str());
      if (!dir) return "";
      candidate.clear();
      while (dirent* e = readdir(dir))
        if (strcasecmp(e->d_name, part.c_str()) == 0) {
          candidate = out + "/" + e->d_name;
          break;
        }
      closedir(dir);
      if (candidate.empty()) return "";
    }
    out = candidate;
  }
  return out;
}

// The menu file parsed into doc; false when it cannot be read, is too large or too deep,
// or is not well-formed.
bool parseMenuFile(const std::string& path, TiXmlDocument& doc) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<size_t>(st.st_size) > kMaxMenuFileBytes)
    return false;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in && !in.eof()) return false;
  const std::string data = text.str();
  return xmldoc_parse(doc, data.data(), data.size(), kMaxMenuDepth, TIXML_DEFAULT_ENCODING).result ==
         XMLDOC_OK;
}
}  // namespace

namespace cadhost {
void listMenus() {
  if (menus().empty()) printUtf8("No partial menus loaded.\n");
  for (const Menu& m : menus()) {
    printUtf8("Menu \"" + m.name + "\" (" + m.path + ")\n");
    for (const MenuItem& i : m.items) printUtf8("  " + i.label + " -> " + i.command + "\n");
  }
}
void clearMenus() { menus().clear(); }
}  // namespace cadhost

bool acedLoadPartialMenu(const ACHAR* menuFile) {
  if (!menuFile || !*menuFile) return false;
  std::string path = resolvePath(cadhost::toUtf8(menuFile));
  if (path.empty()) return false;
  TiXmlDocument doc;
  if (!parseMenuFile(path, doc)) return false;
  TiXmlElement* root = doc.RootElement();
  if (!root || std::string(root->Value()) != "Menu" || !root->Attribute("name")) return false;
  Menu menu;
  menu.name = root->Attribute("name");
  menu.path = path;
  for (TiXmlElement* e = root->FirstChildElement("Item"); e; e = e->NextSiblingElement("Item")) {
    if (!e->Attribute("label") || !e->Attribute("command")) return false;
    menu.items.push_back({e->Attribute("label"), e->Attribute("command")});
  }
  for (Menu& m : menus())
    if (strcasecmp(m.name.c_str(), menu.name.c_str()) == 0) {
      m = menu;  // loading a menu group again replaces it
      return true;
    }
  menus().push_back(menu);
  return true;
}
