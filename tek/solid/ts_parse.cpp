// Reader of model data blocks: one statement a line, strict about every token.
#include "ts_internal.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace teksolid {
namespace {

struct Token {
  enum Type { Name, Number, Symbol } type;
  std::string text;
};

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Splits one line (without its comment) into tokens; false on any character outside the
// language.
bool tokenize(const char* p, const char* end, std::vector<Token>& out) {
  while (p < end) {
    char c = *p;
    if (c == ' ' || c == '\t' || c == '\r') {
      ++p;
    } else if (isNameStart(c)) {
      const char* s = p;
      while (p < end && (isNameStart(*p) || isDigit(*p))) ++p;
      if (static_cast<size_t>(p - s) > kMaxNameLength) return false;
      out.push_back({Token::Name, std::string(s, p)});
    } else if (isDigit(c)) {
      const char* s = p;
      while (p < end && isDigit(*p)) ++p;
      if (p < end && *p == '.') {
        ++p;
        if (p >= end || !isDigit(*p)) return false;
        while (p < end && isDigit(*p)) ++p;
      }
      if (p - s > 24 || (p < end && isNameStart(*p))) return false;
      out.push_back({Token::Number, std::string(s, p)});
    } else if (std::strchr("()+-*/,=", c)) {
      out.push_back({Token::Symbol, std::string(1, c)});
      ++p;
    } else {
      return false;
    }
  }
  return true;
}

enum class FieldType { Expression, Triple, Pair, Points, Integer };

struct Field {
  const char* name;
  FieldType type;
  void* target;  // int*, Triple* or std::vector<Triple>*
  bool required;
  bool seen;
};

class LineParser {
 public:
  LineParser(ts_model& model, std::vector<Token> tokens) : m_(model), t_(std::move(tokens)) {}

  bool parseStatement(bool first);

 private:
  ts_model& m_;
  std::vector<Token> t_;
  size_t pos_ = 0;

  bool atEnd() const { return pos_ >= t_.size(); }
  bool isSymbol(const char* s) const {
    return !atEnd() && t_[pos_].type == Token::Symbol && t_[pos_].text == s;
  }
  bool accept(const char* s) {
    if (!isSymbol(s)) return false;
    ++pos_;
    return true;
  }
  bool name(std::string& out) {
    if (atEnd() || t_[pos_].type != Token::Name) return false;
    out = t_[pos_++].text;
    return true;
  }
  bool integer(long long& out) {
    bool negative = accept("-");
    if (atEnd() || t_[pos_].type != Token::Number) return false;
    const std::string& s = t_[pos_++].text;
    if (s.find('.') != std::string::npos || s.size() > 10) return false;
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (v > static_cast<long long>(kMaxMagnitude)) return false;
    out = negative ? -v : v;
    return true;
  }
  int add(Expr e) {
    m_.exprs.push_back(e);
    return static_cast<int>(m_.exprs.size()) - 1;
  }

  bool expression(int& out, int depth);
  bool term(int& out, int depth);
  bool unary(int& out, int depth);
  bool primary(int& out, int depth);
  bool triple(Triple& out, size_t n);
  bool points(std::vector<Triple>& out);
  bool fields(std::vector<Field>& wanted);
  bool param();
  bool material();
  bool drawing(const std::string& keyword);
};

bool LineParser::expression(int& out, int depth) {
  if (!term(out, depth)) return false;
  while (isSymbol("+") || isSymbol("-")) {
    Expr::Kind k = t_[pos_++].text == "+" ? Expr::Add : Expr::Sub;
    int rhs;
    if (!term(rhs, depth)) return false;
    Expr e;
    e.kind = k;
    e.a = out;
    e.b = rhs;
    out = add(e);
  }
  return true;
}

bool LineParser::term(int& out, int depth) {
  if (!unary(out, depth)) return false;
  while (isSymbol("*") || isSymbol("/")) {
    Expr::Kind k = t_[pos_++].text == "*" ? Expr::Mul : Expr::Div;
    int rhs;
    if (!unary(rhs, depth)) return false;
    Expr e;
    e.kind = k;
    e.a = out;
    e.b = rhs;
    out = add(e);
  }
  return true;
}

bool LineParser::unary(int& out, int depth) {
  if (depth > kMaxNesting) return false;
  if (accept("+")) return unary(out, depth + 1);
  if (accept("-")) {
    int inner;
    if (!unary(inner, depth + 1)) return false;
    Expr e;
    e.kind = Expr::Neg;
    e.a = inner;
    out = add(e);
    return true;
  }
  return primary(out, depth);
}

bool LineParser::primary(int& out, int depth) {
  if (atEnd()) return false;
  const Token& tok = t_[pos_];
  if (tok.type == Token::Number) {
    ++pos_;
    Expr e;
    e.value = std::strtod(tok.text.c_str(), nullptr);
    if (!(e.value <= kMaxMagnitude)) return false;
    out = add(e);
    return true;
  }
  if (tok.type == Token::Name) {
    int p = findParameter(m_, tok.text);
    if (p < 0) return false;
    ++pos_;
    Expr e;
    e.kind = Expr::Param;
    e.param = p;
    out = add(e);
    return true;
  }
  if (!accept("(")) return false;
  if (depth + 1 > kMaxNesting || !expression(out, depth + 1)) return false;
  return accept(")");
}

bool LineParser::triple(Triple& out, size_t n) {
  out.clear();
  if (!accept("(")) return false;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && !accept(",")) return false;
    int e;
    if (!expression(e, 1)) return false;
    out.push_back(e);
  }
  return accept(")");
}

bool LineParser::points(std::vector<Triple>& out) {
  out.clear();
  if (!accept("(")) return false;
  do {
    Triple t;
    if (out.size() >= kMaxPoints || !triple(t, 3)) return false;
    out.push_back(t);
  } while (accept(","));
  return accept(")");
}

// "name=value" pairs up to the end of the line, each known to the statement, none twice.
bool LineParser::fields(std::vector<Field>& wanted) {
  while (!atEnd()) {
    std::string key;
    if (!name(key) || !accept("=")) return false;
    Field* f = nullptr;
    for (Field& candidate : wanted)
      if (key == candidate.name) f = &candidate;
    if (!f || f->seen) return false;
    f->seen = true;
    bool ok = false;
    switch (f->type) {
      case FieldType::Expression: ok = expression(*static_cast<int*>(f->target), 1); break;
      case FieldType::Triple: ok = triple(*static_cast<Triple*>(f->target), 3); break;
      case FieldType::Pair: ok = triple(*static_cast<Triple*>(f->target), 2); break;
      case FieldType::Points: ok = points(*static_cast<std::vector<Triple>*>(f->target)); break;
      case FieldType::Integer: {
        long long v = 0;
        ok = integer(v) && v >= 1 && v <= 8;
        *static_cast<int*>(f->target) = static_cast<int>(v);
        break;
      }
    }
    if (!ok) return false;
  }
  for (const Field& f : wanted)
    if (f.required && !f.seen) return false;
  return true;
}

bool LineParser::param() {
  std::string n;
  long long v = 0;
  if (!name(n) || !accept("=") || !integer(v) || !atEnd()) return false;
  int existing = findParameter(m_, n);
  if (existing >= 0) {
    if (n != "cat") return false;  // "cat" is declared by the library; a block may set it
    m_.params[existing].value = v;
    return true;
  }
  if (m_.params.size() >= kMaxParameters) return false;
  m_.params.push_back({n, v});
  return true;
}

bool LineParser::material() {
  int e[7] = {-1, -1, -1, -1, -1, -1, -1};
  Triple colour;
  std::vector<Field> wanted = {{"kind", FieldType::Expression, &e[0], true, false},
                             {"colour", FieldType::Triple, &colour, false, false},
                             {"flags", FieldType::Expression, &e[4], false, false},
                             {"ambient", FieldType::Expression, &e[5], false, false},
                             {"diffuse", FieldType::Expression, &e[6], false, false}};
  if (!fields(wanted)) return false;
  if (!colour.empty())
    for (int i = 0; i < 3; ++i) e[1 + i] = colour[i];
  m_.materialExprs.insert(m_.materialExprs.end(), e, e + 7);
  return true;
}

bool LineParser::drawing(const std::string& kw) {
  Statement s;
  std::vector<Field> wanted;
  auto field = [&](const char* n, FieldType t, void* target, bool required) {
    wanted.push_back({n, t, target, required, false});
  };
  if (kw == "box") {
    s.kind = Kind::Box;
    field("origin", FieldType::Triple, &s.a, true);
    field("size", FieldType::Triple, &s.b, true);
  } else if (kw == "cylinder") {
    s.kind = Kind::Cylinder;
    field("base", FieldType::Triple, &s.a, true);
    field("axis", FieldType::Triple, &s.b, true);
    field("radius", FieldType::Expression, &s.r, true);
    field("length", FieldType::Expression, &s.len, true);
  } else if (kw == "circle") {
    s.kind = Kind::Circle;
    field("centre", FieldType::Triple, &s.a, true);
    field("normal", FieldType::Triple, &s.b, true);
    field("radius", FieldType::Expression, &s.r, true);
  } else if (kw == "arc") {
    s.kind = Kind::Arc;
    field("centre", FieldType::Triple, &s.a, true);
    field("normal", FieldType::Triple, &s.b, true);
    field("major", FieldType::Triple, &s.c, true);
    field("start", FieldType::Expression, &s.start, true);
    field("end", FieldType::Expression, &s.end, true);
    field("ratio", FieldType::Expression, &s.ratio, true);
  } else if (kw == "line" || kw == "face") {
    s.kind = kw == "line" ? Kind::Line : Kind::Face;
    field("points", FieldType::Points, &s.points, true);
    if (s.kind == Kind::Line) field("closed", FieldType::Expression, &s.closed, false);
  } else if (kw == "connection") {
    s.kind = Kind::Connection;
    field("slot", FieldType::Integer, &s.slot, true);
    field("at", FieldType::Triple, &s.a, true);
    field("dir", FieldType::Triple, &s.b, true);
    field("normal", FieldType::Triple, &s.c, true);
    field("diameter", FieldType::Expression, &s.r, false);
    field("rect", FieldType::Pair, &s.rect, false);
    field("collar", FieldType::Expression, &s.len, false);
  } else {
    return false;
  }
  field("pen", FieldType::Expression, &s.pen, false);
  field("when", FieldType::Expression, &s.when, false);
  if (!fields(wanted)) return false;
  if (s.kind == Kind::Line && s.points.size() < 2) return false;
  if (s.kind == Kind::Face && s.points.size() != 3 && s.points.size() != 4) return false;
  if (s.kind == Kind::Connection) {
    s.typeParam = findParameter(m_, "P" + std::to_string(s.slot));
    if (s.typeParam < 0) return false;
    auto paramExpr = [&](const char* n) {
      int p = findParameter(m_, n);
      if (p < 0) return -1;
      Expr e;
      e.kind = Expr::Param;
      e.param = p;
      return add(e);
    };
    if (s.r < 0 && s.rect.empty()) s.r = paramExpr("D");  // an explicit rect wins
    if (s.rect.empty()) {
      int b = paramExpr("B"), h = paramExpr("H");
      if (b >= 0 && h >= 0) s.rect = {b, h};
    }
  }
  if (m_.statements.size() >= kMaxStatements) return false;
  m_.statements.push_back(std::move(s));
  return true;
}

bool LineParser::parseStatement(bool first) {
  std::string kw;
  if (!name(kw)) return false;
  if (first) {
    long long version = 0;
    return kw == "teksolid" && integer(version) && version == 1 && atEnd();
  }
  if (kw == "param") return param();
  if (kw == "linewidth" || kw == "view") {
    if (!accept("=")) return false;
    if (kw == "view") {
      Triple t;
      if (!triple(t, 3) || !atEnd()) return false;
      for (int i = 0; i < 3; ++i) m_.view[i] = t[i];
      return true;
    }
    int e;
    if (!expression(e, 1) || !atEnd()) return false;
    std::vector<double> values;
    if (!evaluateAll(m_, values) || values[e] < 0) return false;
    m_.lineWidth = values[e];
    return true;
  }
  if (kw == "material") return material();
  return drawing(kw);
}

}  // namespace

bool parseBlock(const char* text, size_t size, ts_model& model) {
  if (!text || size == 0 || size > TS_MAX_BLOCK_SIZE) return false;
  while (size > 0 && text[size - 1] == '\0') --size;  // a stored terminator is no content
  if (std::memchr(text, '\0', size)) return false;
  model.params.push_back({"cat", 1});
  const char* p = text;
  const char* end = text + size;
  bool first = true;
  while (p < end) {
    const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!eol) eol = end;
    const char* hash = static_cast<const char*>(std::memchr(p, '#', static_cast<size_t>(eol - p)));
    std::vector<Token> tokens;
    if (!tokenize(p, hash ? hash : eol, tokens)) return false;
    if (!tokens.empty()) {
      LineParser line(model, std::move(tokens));
      if (!line.parseStatement(first)) return false;
      first = false;
    }
    p = eol + (eol < end ? 1 : 0);
  }
  return !first;
}

}  // namespace teksolid
