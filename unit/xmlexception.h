// The one exception type of the XML wrapper: it carries the XML library's own
// description of the fault (or the reader's own text for a missing element).
#pragma once
#include <exception>
#include <string>

namespace xmlwrap {
class Exception : public std::exception {
 public:
  explicit Exception(std::string description) : m_description(std::move(description)) {}
  const char* what() const noexcept override { return m_description.c_str(); }
  const std::string& description() const { return m_description; }

 private:
  std::string m_description;
};
}  // namespace xmlwrap
