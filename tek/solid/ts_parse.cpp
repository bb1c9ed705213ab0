// Reader of model data blocks: one statement a line, strict about every token.
#include "ts_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace teksolid {
namespace {

// A token points into the block's text; nothing is copied while a line is read.
struct Token {
  enum Type : uint8_t { Name, Number, Symbol } type;
  const char* text;
  uint32_t length;
  bool is(const char* s) const { return std::strlen(s) == length && std::memcmp(text, s, length) == 0; }
};

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Splits one line (without its comment) into tokens; false on any character outside the
// language.
bool tokenize(const char* p, const char* end, std::vector<Token>& out) {
  out.clear();
  while (p < end) {
    char c = *p;
    if (c == ' ' || c == '\t' || c == '\r') {
      ++p;
    } else if (isNameStart(c)) {
      const char* s = p;
      while (p < end && (isNameStart(*p) || isDigit(*p))) ++p;
      if (static_cast<size_t>(p - s) > kMaxNameLength) return false;
      out.push_back({Token::Name, s, static_cast<uint32_t>(p - s)});
    } else if (isDigit(c)) {
      const char* s = p;
      while (p < end && isDigit(*p)) ++p;
      if (p < end && *p == '.') {
        ++p;
        if (p >= end || !isDigit(*p)) return false;
        while (p < end && isDigit(*p)) ++p;
      }
      if (p - s > 24 || (p < end && isNameStart(*p))) return false;
      out.push_back({Token::Number, s, static_cast<uint32_t>(p - s)});
    } else if (std::strchr("()+-*/,=", c)) {
      out.push_back({Token::Symbol, p, 1});
      ++p;
    } else {
      return false;
    }
  }
  return true;
}

// The value of a number token (digits, optionally a point and more digits).
double numberValue(const Token& t) {
  if (t.length <= 15) {
    // Up to 15 digits an integer is exact in a double: no need for strtod.
    double v = 0;
    uint32_t i = 0;
    for (; i < t.length && isDigit(t.text[i]); ++i) v = v * 10 + (t.text[i] - '0');
    if (i == t.length) return v;
  }
  char buffer[32];  // the text is not terminated here; tokens are at most 24 characters
  std::memcpy(buffer, t.text, t.length);
  buffer[t.length] = '\0';
  return std::strtod(buffer, nullptr);
}

int dependsOn(int a, int b) {
  if (a == kNoParameter) return b;
  if (b == kNoParameter || a == b) return a;
  return kSeveralParameters;
}

enum class FieldType : uint8_t { Expression, Triple, Pair, Points, Integer };

struct Field {
  const char* name;
  FieldType type;
  void* target;  // int*, Triple* or std::vector<Triple>*
  bool required;
  bool seen;
};

// The fields a statement takes: at most nine.
struct Fields {
  Field list[10];
  int count = 0;
  void add(const char* name, FieldType type, void* target, bool required) {
    list[count++] = {name, type, target, required, false};
  }
};

// The expressions read so far, found by their contents: an open-addressing table of
// indices into the block's expressions, kept at most half full.
class ExprTable {
 public:
  // The slot of an expression equal to e: its index, or -1 where e would go.
  int& find(const std::vector<Expr>& exprs, const Expr& e) {
    if (slots_.empty()) slots_.assign(1024, -1);
    size_t mask = slots_.size() - 1;
    for (size_t i = hash(e) & mask;; i = (i + 1) & mask) {
      int& slot = slots_[i];
      if (slot < 0 || same(exprs[slot], e)) return slot;
    }
  }
  // Called after an expression was added to exprs through its slot.
  void added(const std::vector<Expr>& exprs) {
    if (2 * exprs.size() < slots_.size()) return;
    slots_.assign(slots_.size() * 2, -1);
    size_t mask = slots_.size() - 1;
    for (size_t k = 0; k < exprs.size(); ++k) {
      size_t i = hash(exprs[k]) & mask;
      while (slots_[i] >= 0) i = (i + 1) & mask;
      slots_[i] = static_cast<int>(k);
    }
  }

 private:
  std::vector<int> slots_;

  static uint64_t payload(const Expr& e) {
    uint64_t bits;
    static_assert(sizeof e.value == sizeof bits && sizeof e.op == sizeof bits, "an expression's operands fill 8 bytes");
    std::memcpy(&bits, &e.value, sizeof bits);  // the number, or both operands
    return bits;
  }
  static size_t hash(const Expr& e) {
    uint64_t h = payload(e) ^ (static_cast<uint64_t>(e.kind) << 59);
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return static_cast<size_t>(h ^ (h >> 33));
  }
  static bool same(const Expr& x, const Expr& y) { return x.kind == y.kind && payload(x) == payload(y); }
};

class LineParser {
 public:
  explicit LineParser(Block& block) : m_(block) {}

  // The statement of one line's tokens.
  bool parseStatement(const std::vector<Token>& tokens, bool first);

 private:
  Block& m_;
  ExprTable known_;
  const std::vector<Token>* t_ = nullptr;
  size_t pos_ = 0;

  const std::vector<Token>& t() const { return *t_; }
  bool atEnd() const { return pos_ >= t().size(); }
  bool isSymbol(char s) const { return !atEnd() && t()[pos_].type == Token::Symbol && t()[pos_].text[0] == s; }
  bool accept(char s) {
    if (!isSymbol(s)) return false;
    ++pos_;
    return true;
  }
  bool name(const Token*& out) {
    if (atEnd() || t()[pos_].type != Token::Name) return false;
    out = &t()[pos_++];
    return true;
  }
  bool integer(long long& out) {
    bool negative = accept('-');
    if (atEnd() || t()[pos_].type != Token::Number) return false;
    const Token& s = t()[pos_++];
    if (std::memchr(s.text, '.', s.length) || s.length > 10) return false;
    long long v = 0;
    for (uint32_t i = 0; i < s.length; ++i) v = v * 10 + (s.text[i] - '0');
    if (v > static_cast<long long>(kMaxMagnitude)) return false;
    out = negative ? -v : v;
    return true;
  }
  // The index of an expression equal to e, added when there is none yet.
  int add(Expr e) {
    switch (e.kind) {
      case Expr::Number: e.depends = kNoParameter; break;
      case Expr::Param: e.depends = static_cast<int16_t>(e.op.a); break;
      case Expr::Neg: e.depends = m_.exprs[e.op.a].depends; break;
      default:
        e.depends = static_cast<int16_t>(dependsOn(m_.exprs[e.op.a].depends, m_.exprs[e.op.b].depends));
    }
    int& slot = known_.find(m_.exprs, e);
    if (slot >= 0) return slot;
    // The index is kept apart: the table may grow below, and the slot with it.
    const int index = static_cast<int>(m_.exprs.size());
    slot = index;
    m_.exprs.push_back(e);
    known_.added(m_.exprs);
    return index;
  }
  int binary(Expr::Kind kind, int a, int b) {
    Expr e;
    e.kind = kind;
    e.op = {a, b};
    return add(e);
  }
  int parameterExpr(int p) {
    Expr e;
    e.kind = Expr::Param;
    e.op.a = p;
    return add(e);
  }

  bool expression(int& out, int depth);
  bool term(int& out, int depth);
  bool unary(int& out, int depth);
  bool primary(int& out, int depth);
  bool triple(Triple& out, size_t n);
  bool points(std::vector<Triple>& out);
  bool fields(Fields& wanted);
  bool param();
  bool material();
  bool drawing(const Token& keyword);
};

bool LineParser::expression(int& out, int depth) {
  if (!term(out, depth)) return false;
  while (isSymbol('+') || isSymbol('-')) {
    Expr::Kind k = t()[pos_++].text[0] == '+' ? Expr::Add : Expr::Sub;
    int rhs;
    if (!term(rhs, depth)) return false;
    out = binary(k, out, rhs);
  }
  return true;
}

bool LineParser::term(int& out, int depth) {
  if (!unary(out, depth)) return false;
  while (isSymbol('*') || isSymbol('/')) {
    Expr::Kind k = t()[pos_++].text[0] == '*' ? Expr::Mul : Expr::Div;
    int rhs;
    if (!unary(rhs, depth)) return false;
    out = binary(k, out, rhs);
  }
  return true;
}

bool LineParser::unary(int& out, int depth) {
  if (depth > kMaxNesting) return false;
  if (accept('+')) return unary(out, depth + 1);
  if (accept('-')) {
    int inner;
    if (!unary(inner, depth + 1)) return false;
    Expr e;
    e.kind = Expr::Neg;
    e.op.a = inner;
    out = add(e);
    return true;
  }
  return primary(out, depth);
}

bool LineParser::primary(int& out, int depth) {
  if (atEnd()) return false;
  const Token& tok = t()[pos_];
  if (tok.type == Token::Number) {
    ++pos_;
    Expr e;
    e.value = numberValue(tok);
    if (!(e.value <= kMaxMagnitude)) return false;
    out = add(e);
    return true;
  }
  if (tok.type == Token::Name) {
    int p = findParameter(m_, tok.text, tok.length);
    if (p < 0) return false;
    ++pos_;
    out = parameterExpr(p);
    return true;
  }
  if (!accept('(')) return false;
  if (depth + 1 > kMaxNesting || !expression(out, depth + 1)) return false;
  return accept(')');
}

bool LineParser::triple(Triple& out, size_t n) {
  out.clear();
  if (!accept('(')) return false;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && !accept(',')) return false;
    int e;
    if (!expression(e, 1)) return false;
    out.push_back(e);
  }
  return accept(')');
}

bool LineParser::points(std::vector<Triple>& out) {
  out.clear();
  if (!accept('(')) return false;
  do {
    Triple t;
    if (out.size() >= kMaxPoints || !triple(t, 3)) return false;
    out.push_back(t);
  } while (accept(','));
  return accept(')');
}

// "name=value" pairs up to the end of the line, each known to the statement, none twice.
bool LineParser::fields(Fields& wanted) {
  while (!atEnd()) {
    const Token* key;
    if (!name(key) || !accept('=')) return false;
    Field* f = nullptr;
    for (int i = 0; i < wanted.count; ++i)
      if (key->is(wanted.list[i].name)) f = &wanted.list[i];
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
  for (int i = 0; i < wanted.count; ++i)
    if (wanted.list[i].required && !wanted.list[i].seen) return false;
  return true;
}

bool LineParser::param() {
  const Token* n;
  long long v = 0;
  if (!name(n) || !accept('=') || !integer(v) || !atEnd()) return false;
  int existing = findParameter(m_, n->text, n->length);
  if (existing >= 0) {
    if (!n->is("cat")) return false;  // "cat" is declared by the library; a block may set it
    m_.params[existing].value = v;
    return true;
  }
  if (m_.params.size() >= kMaxParameters) return false;
  m_.params.push_back({std::string(n->text, n->length), v});
  return true;
}

bool LineParser::material() {
  int e[7] = {-1, -1, -1, -1, -1, -1, -1};
  Triple colour;
  Fields wanted;
  wanted.add("kind", FieldType::Expression, &e[0], true);
  wanted.add("colour", FieldType::Triple, &colour, false);
  wanted.add("flags", FieldType::Expression, &e[4], false);
  wanted.add("ambient", FieldType::Expression, &e[5], false);
  wanted.add("diffuse", FieldType::Expression, &e[6], false);
  if (!fields(wanted)) return false;
  if (!colour.empty())
    for (int i = 0; i < 3; ++i) e[1 + i] = colour[i];
  m_.materialExprs.insert(m_.materialExprs.end(), e, e + 7);
  return true;
}

bool LineParser::drawing(const Token& kw) {
  Statement s;
  Fields wanted;
  if (kw.is("box")) {
    s.kind = Kind::Box;
    wanted.add("origin", FieldType::Triple, &s.a, true);
    wanted.add("size", FieldType::Triple, &s.b, true);
  } else if (kw.is("cylinder")) {
    s.kind = Kind::Cylinder;
    wanted.add("base", FieldType::Triple, &s.a, true);
    wanted.add("axis", FieldType::Triple, &s.b, true);
    wanted.add("radius", FieldType::Expression, &s.r, true);
    wanted.add("length", FieldType::Expression, &s.len, true);
  } else if (kw.is("circle")) {
    s.kind = Kind::Circle;
    wanted.add("centre", FieldType::Triple, &s.a, true);
    wanted.add("normal", FieldType::Triple, &s.b, true);
    wanted.add("radius", FieldType::Expression, &s.r, true);
  } else if (kw.is("arc")) {
    s.kind = Kind::Arc;
    wanted.add("centre", FieldType::Triple, &s.a, true);
    wanted.add("normal", FieldType::Triple, &s.b, true);
    wanted.add("major", FieldType::Triple, &s.c, true);
    wanted.add("start", FieldType::Expression, &s.start, true);
    wanted.add("end", FieldType::Expression, &s.end, true);
    wanted.add("ratio", FieldType::Expression, &s.ratio, true);
  } else if (kw.is("line") || kw.is("face")) {
    s.kind = kw.is("line") ? Kind::Line : Kind::Face;
    wanted.add("points", FieldType::Points, &s.points, true);
    if (s.kind == Kind::Line) wanted.add("closed", FieldType::Expression, &s.closed, false);
  } else if (kw.is("connection")) {
    s.kind = Kind::Connection;
    wanted.add("slot", FieldType::Integer, &s.slot, true);
    wanted.add("at", FieldType::Triple, &s.a, true);
    wanted.add("dir", FieldType::Triple, &s.b, true);
    wanted.add("normal", FieldType::Triple, &s.c, true);
    wanted.add("diameter", FieldType::Expression, &s.r, false);
    wanted.add("rect", FieldType::Pair, &s.rect, false);
    wanted.add("collar", FieldType::Expression, &s.len, false);
  } else {
    return false;
  }
  wanted.add("pen", FieldType::Expression, &s.pen, false);
  wanted.add("when", FieldType::Expression, &s.when, false);
  if (!fields(wanted)) return false;
  if (s.kind == Kind::Line && s.points.size() < 2) return false;
  if (s.kind == Kind::Face && s.points.size() != 3 && s.points.size() != 4) return false;
  if (s.kind == Kind::Connection) {
    const std::string slotName = "P" + std::to_string(s.slot);
    s.typeParam = findParameter(m_, slotName.data(), slotName.size());
    if (s.typeParam < 0) return false;
    auto paramExpr = [&](const char* n) {
      int p = findParameter(m_, n, std::strlen(n));
      return p < 0 ? -1 : parameterExpr(p);
    };
    if (s.r < 0 && s.rect.empty()) s.r = paramExpr("D");  // an explicit rect wins
    if (s.rect.empty()) {
      int b = paramExpr("B"), h = paramExpr("H");
      if (b >= 0 && h >= 0) {
        s.rect.push_back(b);
        s.rect.push_back(h);
      }
    }
  }
  if (m_.statements.size() >= kMaxStatements) return false;
  m_.elements += elementsOf(s);
  m_.statements.push_back(std::move(s));
  return true;
}

bool LineParser::parseStatement(const std::vector<Token>& tokens, bool first) {
  t_ = &tokens;
  pos_ = 0;
  const Token* kw;
  if (!name(kw)) return false;
  if (first) {
    long long version = 0;
    return kw->is("teksolid") && integer(version) && version == 1 && atEnd();
  }
  if (kw->is("param")) return param();
  if (kw->is("linewidth") || kw->is("view")) {
    if (!accept('=')) return false;
    if (kw->is("view")) {
      Triple t;
      if (!triple(t, 3) || !atEnd()) return false;
      for (int i = 0; i < 3; ++i) m_.view[i] = t[i];
      return true;
    }
    int e;
    if (!expression(e, 1) || !atEnd()) return false;
    std::vector<long long> params;
    for (const Parameter& p : m_.params) params.push_back(p.value);
    std::vector<double> values;
    if (!evaluateAll(m_, params, values) || values[e] < 0) return false;
    m_.lineWidth = values[e];
    return true;
  }
  if (kw->is("material")) return material();
  return drawing(*kw);
}

// The expressions each parameter change must evaluate again.
void collectUsers(Block& block) {
  block.users.assign(block.params.size(), std::vector<int>());
  for (size_t i = 0; i < block.exprs.size(); ++i) {
    const int d = block.exprs[i].depends;
    if (d >= 0) block.users[d].push_back(static_cast<int>(i));
    else if (d == kSeveralParameters) block.several.push_back(static_cast<int>(i));
  }
}

}  // namespace

size_t elementsOf(const Statement& s) {
  const size_t tube = 2 * 3 + kSegments * 4 + 2 * kSegments * 3;  // two circles, sides, caps
  switch (s.kind) {
    case Kind::Box: return 6 * 4;
    case Kind::Cylinder: return tube;
    case Kind::Circle: return 3;
    case Kind::Arc: return 4;
    case Kind::Line: return s.points.size() + 1;
    case Kind::Face: return s.points.size();
    case Kind::Connection: return std::max<size_t>(tube, 5 + 4 * 4) + 3;
  }
  return 0;
}

bool parseBlock(const char* text, size_t size, Block& block) {
  if (!text || size == 0 || size > TS_MAX_BLOCK_SIZE) return false;
  while (size > 0 && text[size - 1] == '\0') --size;  // a stored terminator is no content
  if (std::memchr(text, '\0', size)) return false;
  const char* end = text + size;
  // Sized once: a statement takes a line, and an expression at least one character (a
  // connection adds three for its size parameters). Room that is not used is never touched.
  const size_t lines = static_cast<size_t>(std::count(text, end, '\n')) + 1;
  block.statements.reserve(std::min(kMaxStatements, lines));
  block.exprs.reserve(size + 3 * lines);
  block.params.push_back({"cat", 1});
  LineParser line(block);
  std::vector<Token> tokens;
  const char* p = text;
  bool first = true;
  while (p < end) {
    const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!eol) eol = end;
    const char* hash = static_cast<const char*>(std::memchr(p, '#', static_cast<size_t>(eol - p)));
    if (!tokenize(p, hash ? hash : eol, tokens)) return false;
    if (!tokens.empty()) {
      if (!line.parseStatement(tokens, first)) return false;
      first = false;
    }
    p = eol + (eol < end ? 1 : 0);
  }
  if (first) return false;
  collectUsers(block);
  return true;
}

}  // namespace teksolid
