// Inside teksolid: the parsed block, shared by every model made from it, and the model's
// own parameters and values.
#pragma once
#include "teksolid.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace teksolid {

// Reader limits.
constexpr double kMaxMagnitude = 1e9;
constexpr int kMaxNesting = 64;
constexpr size_t kMaxParameters = 256;
constexpr size_t kMaxStatements = 20000;
constexpr size_t kMaxPoints = 1000;
constexpr size_t kMaxNameLength = 31;
constexpr int kSegments = 16;

// Which parameters an expression's value depends on: none, one (its index), or several.
constexpr int kNoParameter = -1;
constexpr int kSeveralParameters = -2;

// One node of an expression. The parser keeps one node for equal expressions, so a
// subexpression that many statements repeat ("-L/2") is stored and evaluated once.
struct Expr {
  enum Kind : uint8_t { Number, Param, Neg, Add, Sub, Mul, Div };
  Kind kind = Number;
  int16_t depends = kNoParameter;  // parameter index, kNoParameter or kSeveralParameters
  union {
    double value;                  // Number
    struct {
      int32_t a, b;                // operands; for Param, a is the parameter
    } op;
  };
  Expr() : op{-1, -1} {}
};

struct Parameter {
  std::string name;
  long long value = 0;
};

// Up to three expression indices (a point, a vector, a pair).
struct Triple {
  int e[3] = {-1, -1, -1};
  int n = 0;
  size_t size() const { return static_cast<size_t>(n); }
  bool empty() const { return n == 0; }
  void clear() { n = 0; }
  void push_back(int v) { e[n++] = v; }
  int operator[](size_t i) const { return e[i]; }
};

enum class Kind : uint8_t { Box, Cylinder, Circle, Arc, Line, Face, Connection };

struct Statement {
  Kind kind = Kind::Box;
  int pen = -1;   // expression, or -1 for the kind's default pen
  int when = -1;  // expression, or -1 for always
  Triple a, b, c;                 // origin/base/centre/at; size/axis/normal/dir; major/normal
  int r = -1, len = -1;           // radius, length (cylinder); diameter, collar (connection)
  int start = -1, end = -1, ratio = -1;
  Triple rect;                    // two expressions (connection)
  std::vector<Triple> points;     // line, face
  int closed = -1;
  int slot = 0;                   // connection: 1..8
  int typeParam = -1;             // connection: parameter P<slot>
};

// A data block as read: never changed afterwards, so every model made from the same block
// shares it.
struct Block {
  std::vector<Parameter> params;  // as declared, with their defaults
  std::vector<Expr> exprs;
  std::vector<Statement> statements;
  std::vector<int> materialExprs;  // 7 per material: kind, r, g, b, flags, ambient, diffuse
  std::vector<ts_material> materials;  // evaluated with the defaults
  double lineWidth = 0;
  int view[3] = {-1, -1, -1};
  // users[p]: the expressions that depend on parameter p alone; several: those that depend
  // on more than one. Both ascending, so a changed parameter re-evaluates only these.
  std::vector<std::vector<int>> users;
  std::vector<int> several;
  std::vector<double> defaults;  // every expression's value with the defaults
  size_t elements = 0;           // display-list elements the statements write at most
};

}  // namespace teksolid

struct ts_model {
  std::shared_ptr<const teksolid::Block> block;
  std::vector<long long> params;  // current values, by the block's parameter index
  std::vector<double> values;     // every expression's value with these parameters
};

namespace teksolid {

// Parses a block; false when it does not parse.
bool parseBlock(const char* text, size_t size, Block& block);
// Evaluates every expression with the parameter values into values (by expression index);
// false on a value beyond kMaxMagnitude or a division by zero. Expressions only refer to
// earlier ones, so one forward pass does it, without recursion.
bool evaluateAll(const Block& block, const std::vector<long long>& params, std::vector<double>& values);
// The value of expression i from the values before it; false when it may not be taken.
bool evaluateOne(const Block& block, const std::vector<long long>& params, size_t i,
                 std::vector<double>& values);
int findParameter(const Block& block, const char* name, size_t length);
// Writes every statement's geometry into out: false when the list cannot take it.
bool drawModel(const ts_model& model, gm_model* out);
// The largest number of elements one statement can write.
size_t elementsOf(const Statement& s);

}  // namespace teksolid
