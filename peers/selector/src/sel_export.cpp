#include "sel_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sel_pages.h"

using namespace catalog;

namespace {

const char* const kConnectionElements[kUnitConnections] = {"Supply", "Extract", "Outdoor", "Exhaust"};

// Up to two decimals, without trailing zeros: 333.33, 250, 416.7.
std::string number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

std::string bands(const double* values) {
  std::string out;
  for (int b = 0; b < kOctaveBands; ++b) out += (b ? " " : "") + number(values[b]);
  return out;
}

void element(std::string& out, const char* indent, const char* name, const std::string& text) {
  out += std::string(indent) + "<" + name + ">" + sel_html(text) + "</" + name + ">\n";
}

}  // namespace

std::string sel_unit_xml(const SelChoice& choice, const SelDemand& demand, const std::string& modelDatabaseUrl) {
  const SelUnit& unit = *choice.unit;
  const UnitData& u = unit.data;
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ZephyrExport>\n";
  element(out, "  ", "UnitId", unit.id);
  element(out, "  ", "UnitCode", u.code);
  element(out, "  ", "ZephyrObjectId", u.object);
  element(out, "  ", "UnitItemCode", u.item);
  element(out, "  ", "UnitDescription", unit.description);
  element(out, "  ", "ModelDatabaseFileUrl", modelDatabaseUrl);
  if (u.componentDistance > 0) element(out, "  ", "ExternalComponentDistance", number(u.componentDistance));
  out += "  <Surrounding>\n    <Sound>\n";
  element(out, "      ", "Generation", bands(choice.surrounding));
  out += "    </Sound>\n  </Surrounding>\n";
  for (int k = 0; k < kUnitConnections; ++k) {
    out += std::string("  <") + kConnectionElements[k] + ">\n";
    element(out, "    ", "Airflow", number(demand.airflow[k]));
    element(out, "    ", "Pressure", number(demand.pressure[k]));
    out += "    <Sound>\n";
    element(out, "      ", "Generation", bands(choice.sound[k]));
    element(out, "      ", "Attenuation", bands(u.attenuation[k]));
    out += "    </Sound>\n";
    for (const ComponentRef& c : u.components[k]) {
      std::string alignment = c.alignment ? " alignment=\"" + std::string(1, c.alignment) + "\"" : "";
      out += "    <ExternalComponentID" + alignment + ">" + sel_html(c.id) + "</ExternalComponentID>\n";
    }
    out += std::string("  </") + kConnectionElements[k] + ">\n";
  }
  out += "</ZephyrExport>\n";
  return out;
}

int sel_store_export(const std::string& tempFolder, const std::string& selectionId, const std::string& text,
                     std::string& error) {
  if (!sel_is_selection_id(selectionId)) {
    error = "not a selection id";
    return -1;
  }
  std::string target = tempFolder + "/" + selectionId + ".XML";
  std::string scratch = tempFolder + "/." + selectionId + ".XXXXXX";
  int fd = mkostemp(&scratch[0], O_CLOEXEC);
  if (fd < 0) {
    error = std::string("cannot create a file in ") + tempFolder + ": " + std::strerror(errno);
    return -1;
  }
  fchmod(fd, 0644);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == text.size() && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && std::rename(scratch.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) {
    error = "cannot write " + target + ": " + std::strerror(errno);
    unlink(scratch.c_str());
    return -1;
  }
  return 0;
}
