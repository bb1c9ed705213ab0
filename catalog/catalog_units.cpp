// Reader of an air-handling unit's selection data from its catalogue attributes.
#include "catalog_units.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace catalog {

const char* const kUnitConnectionKeys[kUnitConnections] = {"supply", "extract", "outdoor", "exhaust"};

namespace {

const double kPi = 3.14159265358979323846;

std::vector<std::string> split(const std::string& text, const char* separators) {
  std::vector<std::string> out;
  size_t pos = text.find_first_not_of(separators);
  while (pos != std::string::npos) {
    size_t end = text.find_first_of(separators, pos);
    out.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    pos = end == std::string::npos ? end : text.find_first_not_of(separators, end);
  }
  return out;
}

// A finite number in [least, most] filling the whole text.
bool number(const std::string& text, double least, double most, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text.c_str(), &end);
  if (errno || end != text.c_str() + text.size() || !std::isfinite(v) || v < least || v > most) return false;
  out = v;
  return true;
}

struct Reader {
  const Attributes& attributes;
  std::string& error;

  const std::string* find(const std::string& key) {
    auto it = attributes.find(key);
    if (it == attributes.end() || it->second.empty()) {
      error = "\"" + key + "\" is missing";
      return nullptr;
    }
    return &it->second;
  }

  bool text(const std::string& key, std::string& out) {
    const std::string* v = find(key);
    if (v) out = *v;
    return v != nullptr;
  }

  // Exactly count numbers in [least, most] separated by separators.
  bool numbers(const std::string& key, const char* separators, int count, double least, double most,
               double* out) {
    const std::string* v = find(key);
    if (!v) return false;
    std::vector<std::string> fields = split(*v, separators);
    bool ok = static_cast<int>(fields.size()) == count;
    for (int i = 0; ok && i < count; ++i) ok = number(fields[i], least, most, out[i]);
    if (!ok)
      error = "\"" + key + "\" needs " + std::to_string(count) + " numbers from " +
              std::to_string(static_cast<long>(least)) + " to " + std::to_string(static_cast<long>(most));
    return ok;
  }

  bool bands(const std::string& key, double* out) { return numbers(key, " \t", kOctaveBands, 0, kMostSound, out); }

  bool components(const std::string& key, std::vector<ComponentRef>& out) {
    auto it = attributes.find(key);
    if (it == attributes.end()) return true;
    for (const std::string& field : split(it->second, ";")) {
      std::vector<std::string> words = split(field, " \t");
      ComponentRef c;
      bool ok = words.size() == 1;
      if (ok) {
        size_t colon = words[0].find(':');
        c.id = words[0].substr(0, colon);
        if (colon != std::string::npos) {
          std::string a = words[0].substr(colon + 1);
          ok = a.size() == 1 && a[0] >= 'A' && a[0] <= 'Z';
          c.alignment = ok ? a[0] : 0;
        }
        ok = ok && !c.id.empty();
      }
      if (!ok || out.size() >= static_cast<size_t>(kMaxComponentsPerDuct)) {
        error = "\"" + key + "\" needs product ids, each with an optional \":H\", at most " +
                std::to_string(kMaxComponentsPerDuct);
        return false;
      }
      out.push_back(c);
    }
    return true;
  }
};

}  // namespace

bool isUnit(const Attributes& attributes) { return attributes.count("exchanger") != 0; }

int parameterValue(const std::string& parameters, const std::string& name, int fallback) {
  for (const std::string& field : split(parameters, ";")) {
    size_t eq = field.find('=');
    if (eq == std::string::npos || field.substr(0, eq) != name) continue;
    double v = 0;
    return number(field.substr(eq + 1), -1e9, 1e9, v) ? static_cast<int>(v) : fallback;
  }
  return fallback;
}

double connectionArea(const UnitData& unit) {
  if (unit.diameter > 0) return kPi * unit.diameter * unit.diameter / 4.0 / 1e6;
  return unit.width * static_cast<double>(unit.height) / 1e6;
}

int readUnitData(const Attributes& attributes, UnitData& out, std::string& error) {
  Reader r{attributes, error};
  UnitData u;
  if (!r.text("exchanger", u.exchanger)) return -1;
  if (u.exchanger != "cross" && u.exchanger != "rotary" && u.exchanger != "counter") {
    error = "\"exchanger\" is cross, rotary or counter";
    return -1;
  }
  if (!r.numbers("airflow", ";", 3, 0, kMostAirflow, u.airflow) ||
      !r.numbers("pressure", ";", 3, 0, kMostPressure, u.pressure))
    return -1;
  if (!(u.airflow[FAN_LEAST] > 0 && u.airflow[FAN_LEAST] < u.airflow[FAN_NOMINAL] &&
        u.airflow[FAN_NOMINAL] < u.airflow[FAN_MOST])) {
    error = "\"airflow\" rises from least to nominal to most";
    return -1;
  }
  if (!(u.pressure[FAN_LEAST] >= u.pressure[FAN_NOMINAL] && u.pressure[FAN_NOMINAL] >= u.pressure[FAN_MOST])) {
    error = "\"pressure\" falls as the airflow rises";
    return -1;
  }
  if (!r.text("code", u.code) || !r.text("item", u.item) || !r.text("object", u.object) ||
      !r.bands("sound_surrounding", u.surrounding))
    return -1;
  for (int c = 0; c < kUnitConnections; ++c) {
    std::string k = kUnitConnectionKeys[c];
    if (!r.bands("sound_" + k, u.sound[c]) || !r.bands("attenuation_" + k, u.attenuation[c]) ||
        !r.components("components_" + k, u.components[c]))
      return -1;
  }
  if (attributes.count("component_distance") &&
      !r.numbers("component_distance", ";", 1, 1, kMostComponentDistance, &u.componentDistance))
    return -1;
  const std::string* parameters = r.find("parameters");
  if (!parameters) return -1;
  u.diameter = parameterValue(*parameters, "D", 0);
  u.width = parameterValue(*parameters, "B", 0);
  u.height = parameterValue(*parameters, "H", 0);
  if (!(u.diameter > 0 || (u.width > 0 && u.height > 0))) {
    error = "\"parameters\" give no connection size D or B and H";
    return -1;
  }
  out = u;
  return 0;
}

}  // namespace catalog
