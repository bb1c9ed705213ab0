// Composes the XML request texts sent to Ductora: one growable text per request.
#pragma once
#include <string>

class xmlStringWriter {
 public:
  // Appends the text unchanged.
  void xmlAppend(const char* text);
  // Appends printf-style formatted text, unescaped; values of any length come whole.
  void xmlAppendf(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // The text with &, <, >, " and ' replaced by their entities.
  static std::string xmlEscape(const char* text);
  void clear() { m_text.clear(); }
  const char* text() const { return m_text.c_str(); }
  size_t length() const { return m_text.size(); }

 private:
  std::string m_text;
};
