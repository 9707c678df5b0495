#include "formats/BifReader.h"

#include <charconv>
#include <cstring>
#include <unordered_set>

#include "formats/Decimal.h"
#include "formats/FormatError.h"
#include "formats/NetworkWriters.h"
#include "formats/StateIndex.h"

namespace bnscore::formats {

namespace {

enum class TokenKind { kEnd, kWord, kString, kPunct };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string_view text;
  std::size_t line = 0;
  std::size_t column = 0;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool IsPunct(char c) { return std::strchr("{}()[],;|", c) != nullptr && c != '\0'; }

// Splits BIF text into words, quoted strings and punctuation, keeping each
// token's line and column; skips blanks and comments.
class Lexer {
 public:
  Lexer(std::string_view text, const std::string& source) : text_(text), source_(source) {}

  const Token& Peek() {
    if (!peeked_) {
      next_ = Scan();
      peeked_ = true;
    }
    return next_;
  }
  Token Next() {
    Peek();
    peeked_ = false;
    return next_;
  }

  [[noreturn]] void Fail(const Token& at, const std::string& message) const {
    throw FormatError::At(source_, at.line, at.column, message);
  }
  static std::string Describe(const Token& token) {
    if (token.kind == TokenKind::kEnd) return "the end of the text";
    return "'" + std::string(token.text.substr(0, 40)) + (token.text.size() > 40 ? "...'" : "'");
  }

  Token Expect(char punct, const char* where) {
    Token token = Next();
    if (token.kind != TokenKind::kPunct || token.text[0] != punct) {
      Fail(token, std::string("expected '") + punct + "' " + where + ", found " + Describe(token));
    }
    return token;
  }
  bool Accept(char punct) {
    const Token& token = Peek();
    if (token.kind == TokenKind::kPunct && token.text[0] == punct) {
      Next();
      return true;
    }
    return false;
  }
  // A name: a word or a quoted string.
  Token ExpectName(const char* what) {
    Token token = Next();
    if (token.kind != TokenKind::kWord && token.kind != TokenKind::kString) {
      Fail(token, std::string("expected ") + what + ", found " + Describe(token));
    }
    return token;
  }
  // Skips everything up to and including the next ';' (a property line).
  void SkipStatement() {
    for (;;) {
      Token token = Next();
      if (token.kind == TokenKind::kEnd) Fail(token, "expected ';' before the end of the text");
      if (token.kind == TokenKind::kPunct && token.text[0] == ';') return;
    }
  }

 private:
  void Advance() {
    if (text_[pos_] == '\n') {
      ++line_;
      lineStart_ = pos_ + 1;
    }
    ++pos_;
  }

  Token Scan() {
    for (;;) {
      while (pos_ < text_.size() && IsBlank(text_[pos_])) Advance();
      if (pos_ + 1 < text_.size() && text_[pos_] == '/' && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') Advance();
        continue;
      }
      if (pos_ + 1 < text_.size() && text_[pos_] == '/' && text_[pos_ + 1] == '*') {
        Token start = Here();
        pos_ += 2;
        while (pos_ + 1 < text_.size() && !(text_[pos_] == '*' && text_[pos_ + 1] == '/'))
          Advance();
        if (pos_ + 1 >= text_.size()) Fail(start, "a comment that does not end");
        pos_ += 2;
        continue;
      }
      break;
    }
    Token token = Here();
    if (pos_ >= text_.size()) return token;
    const std::size_t start = pos_;
    const char c = text_[pos_];
    if (IsPunct(c)) {
      token.kind = TokenKind::kPunct;
      Advance();
    } else if (c == '"') {
      token.kind = TokenKind::kString;
      Advance();
      while (pos_ < text_.size() && text_[pos_] != '"') Advance();
      if (pos_ >= text_.size()) Fail(token, "a quoted text that does not end");
      token.text = text_.substr(start + 1, pos_ - start - 1);
      Advance();
      return token;
    } else {
      token.kind = TokenKind::kWord;
      while (pos_ < text_.size() && !IsBlank(text_[pos_]) && !IsPunct(text_[pos_]) &&
             text_[pos_] != '"') {
        Advance();
      }
    }
    token.text = text_.substr(start, pos_ - start);
    return token;
  }

  Token Here() const {
    Token token;
    token.line = line_;
    token.column = pos_ - lineStart_ + 1;
    return token;
  }

  std::string_view text_;
  const std::string& source_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::size_t lineStart_ = 0;
  bool peeked_ = false;
  Token next_;
};

bool IsWord(const Token& token, const char* word) {
  return token.kind == TokenKind::kWord && token.text == word;
}

// The BIF reader proper: variables first collected with their positions,
// then the probability blocks resolved against them.
class BifParser {
 public:
  BifParser(std::string_view text, const std::string& source, const ReadLimits& limits)
      : lexer_(text, source), cellLimit_(limits.TableCells(text.size())) {}

  Network Read() {
    for (;;) {
      Token token = lexer_.Next();
      if (token.kind == TokenKind::kEnd) break;
      if (IsWord(token, "network")) {
        ReadNetwork();
      } else if (IsWord(token, "variable")) {
        ReadVariable();
      } else if (IsWord(token, "probability")) {
        ReadProbability(token);
      } else {
        lexer_.Fail(token, "expected 'network', 'variable' or 'probability', found " +
                               Lexer::Describe(token));
      }
    }
    return std::move(network_);
  }

 private:
  void ReadNetwork() {
    Token name = lexer_.ExpectName("the network's name");
    network_.name = name.text == "unknown" ? std::string() : std::string(name.text);
    lexer_.Expect('{', "after the network's name");
    for (;;) {
      Token token = lexer_.Peek();
      if (token.kind == TokenKind::kPunct && token.text[0] == '}') break;
      if (!IsWord(token, "property")) {
        lexer_.Fail(token, "expected 'property' or '}' in the network block, found " +
                               Lexer::Describe(token));
      }
      lexer_.SkipStatement();
    }
    lexer_.Next();
  }

  void ReadVariable() {
    Token name = lexer_.ExpectName("a variable's name");
    Variable variable;
    variable.name = std::string(name.text);
    lexer_.Expect('{', "after the variable's name");
    bool typed = false;
    for (;;) {
      Token token = lexer_.Next();
      if (token.kind == TokenKind::kPunct && token.text[0] == '}') break;
      if (IsWord(token, "property")) {
        const Token value = lexer_.Peek();
        Discretization bins;
        if (value.kind == TokenKind::kString && ReadBinsProperty(value.text, bins)) {
          variable.discretization = std::move(bins);
        }
        lexer_.SkipStatement();
      } else if (IsWord(token, "type")) {
        ReadType(variable);
        typed = true;
      } else {
        lexer_.Fail(token, "expected 'type', 'property' or '}' in variable '" + variable.name +
                               "', found " + Lexer::Describe(token));
      }
    }
    if (!typed) lexer_.Fail(name, "variable '" + variable.name + "' has no type");
    if (!network_.Add(std::move(variable))) {
      lexer_.Fail(name, "variable '" + std::string(name.text) + "' is declared twice");
    }
  }

  void ReadType(Variable& variable) {
    Token kind = lexer_.Next();
    if (IsWord(kind, "continuous")) {
      lexer_.Fail(kind, "variable '" + variable.name +
                            "' is continuous: continuous variables are not read");
    }
    if (!IsWord(kind, "discrete")) {
      lexer_.Fail(kind, "expected 'discrete' after 'type', found " + Lexer::Describe(kind));
    }
    lexer_.Expect('[', "after 'discrete'");
    Token count = lexer_.Next();
    std::size_t n = 0;
    const char* end = count.text.data() + count.text.size();
    if (count.kind != TokenKind::kWord || std::from_chars(count.text.data(), end, n).ptr != end ||
        n < 1) {
      lexer_.Fail(count, "expected the number of states, found " + Lexer::Describe(count));
    }
    lexer_.Expect(']', "after the number of states");
    lexer_.Expect('{', "before the states");
    std::unordered_set<std::string_view> seen;
    for (;;) {
      Token state = lexer_.ExpectName("a state");
      if (!seen.insert(state.text).second) {
        lexer_.Fail(state, "variable '" + variable.name + "' has the state '" +
                               std::string(state.text) + "' twice");
      }
      variable.states.emplace_back(state.text);
      if (lexer_.Accept('}')) break;
      lexer_.Expect(',', "between states");
    }
    if (variable.states.size() != n) {
      lexer_.Fail(count, "variable '" + variable.name + "' declares " + std::string(count.text) +
                             " states but lists " + std::to_string(variable.states.size()));
    }
    lexer_.Expect(';', "after the states");
  }

  std::size_t FindVariable(const Token& name) {
    const long index = network_.Find(name.text);
    if (index < 0) {
      lexer_.Fail(name, "variable '" + std::string(name.text) + "' is not declared");
    }
    return static_cast<std::size_t>(index);
  }

  void ReadProbability(const Token& keyword) {
    lexer_.Expect('(', "after 'probability'");
    Token childName = lexer_.ExpectName("the variable of the table");
    const std::size_t child = FindVariable(childName);
    std::vector<std::size_t> parents;
    std::vector<Token> parentNames;
    if (lexer_.Accept('|')) {
      for (;;) {
        Token parentName = lexer_.ExpectName("a parent");
        const std::size_t parent = FindVariable(parentName);
        if (parent == child)
          lexer_.Fail(parentName,
                      "'" + network_.variables[child].name + "' is given as its own parent");
        for (std::size_t other : parents) {
          if (other == parent) {
            lexer_.Fail(parentName,
                        "the parent '" + std::string(parentName.text) + "' is listed twice");
          }
        }
        parents.push_back(parent);
        if (lexer_.Accept(')')) break;
        lexer_.Expect(',', "between parents");
      }
    } else {
      lexer_.Expect(')', "after the variable of the table");
    }
    Variable& variable = network_.variables[child];
    if (variable.HasTable() || tabled_.count(child) != 0) {
      lexer_.Fail(childName, "variable '" + variable.name + "' has a second probability block");
    }
    tabled_.insert(child);
    variable.parents = parents;
    const std::size_t states = variable.states.size();
    const std::size_t rows = network_.RowCount(variable, cellLimit_ / states);
    if (rows == 0 || rows * states > cellLimit_ - cells_) {
      lexer_.Fail(keyword, "the table of '" + variable.name + "' would have more cells than " +
                               std::to_string(cellLimit_ - cells_) +
                               ", the tables' limit for a document of this size");
    }
    cells_ += rows * states;
    variable.table.assign(rows * states, 0.0);
    variable.given.assign(rows, 0);
    lexer_.Expect('{', "before the probabilities");
    std::vector<double> defaults;
    std::vector<double> values;
    for (;;) {
      Token token = lexer_.Next();
      if (token.kind == TokenKind::kPunct && token.text[0] == '}') break;
      if (IsWord(token, "property")) {
        lexer_.SkipStatement();
      } else if (IsWord(token, "table")) {
        ReadNumbers(values);
        if (values.size() != rows * states) {
          lexer_.Fail(token, "the table of '" + variable.name + "' needs " +
                                 std::to_string(rows * states) + " numbers, found " +
                                 std::to_string(values.size()));
        }
        variable.table = values;
        variable.given.assign(rows, 1);
      } else if (IsWord(token, "default")) {
        ReadNumbers(defaults);
        if (defaults.size() != states) {
          lexer_.Fail(token, "the default row of '" + variable.name + "' needs " +
                                 std::to_string(states) + " numbers, found " +
                                 std::to_string(defaults.size()));
        }
      } else if (token.kind == TokenKind::kPunct && token.text[0] == '(') {
        const std::size_t row = ReadConfiguration(token, variable);
        ReadNumbers(values);
        if (values.size() != states) {
          lexer_.Fail(token, "a row of '" + variable.name + "' needs " + std::to_string(states) +
                                 " numbers, found " + std::to_string(values.size()));
        }
        std::copy(values.begin(), values.end(), variable.table.begin() + row * states);
        variable.given[row] = 1;
      } else {
        lexer_.Fail(token, "expected '(', 'table', 'default', 'property' or '}' in the table of '" +
                               variable.name + "', found " + Lexer::Describe(token));
      }
    }
    bool all = true;
    for (std::size_t row = 0; row < rows; ++row) {
      if (variable.given[row] != 0) continue;
      if (!defaults.empty()) {
        std::copy(defaults.begin(), defaults.end(), variable.table.begin() + row * states);
        variable.given[row] = 1;
      } else {
        all = false;
      }
    }
    if (all) variable.given.clear();
  }

  // "(s1, s2, ...)" after its '(': the row index of the configuration.
  std::size_t ReadConfiguration(const Token& open, const Variable& variable) {
    std::size_t row = 0;
    for (std::size_t j = 0; j < variable.parents.size(); ++j) {
      const Variable& parent = network_.variables[variable.parents[j]];
      Token value = lexer_.ExpectName("a parent's state");
      const long found = states_.Find(variable.parents[j], value.text);
      const std::size_t code = found < 0 ? 0 : static_cast<std::size_t>(found);
      if (found < 0) {
        lexer_.Fail(value,
                    "'" + std::string(value.text) + "' is not a state of '" + parent.name + "'");
      }
      row = row * parent.states.size() + code;
      if (j + 1 < variable.parents.size()) lexer_.Expect(',', "between parents' states");
    }
    if (variable.parents.empty())
      lexer_.Fail(open, "a row of states for '" + variable.name + "', which has no parents");
    lexer_.Expect(')', "after the parents' states");
    return row;
  }

  // Numbers separated by commas or blanks, up to ';'.
  void ReadNumbers(std::vector<double>& values) {
    values.clear();
    for (;;) {
      Token token = lexer_.Next();
      if (token.kind == TokenKind::kPunct && token.text[0] == ';') return;
      if (token.kind == TokenKind::kPunct && token.text[0] == ',') continue;
      const std::optional<double> value =
          token.kind == TokenKind::kWord ? ParseDecimal(token.text) : std::nullopt;
      if (!value) lexer_.Fail(token, "expected a probability, found " + Lexer::Describe(token));
      if (!(*value >= 0.0 && *value <= 1.0)) {
        lexer_.Fail(token, "the probability " + std::string(token.text) + " is not in [0, 1]");
      }
      values.push_back(*value);
    }
  }

  Lexer lexer_;
  Network network_;
  StateIndex states_{network_};
  std::unordered_set<std::size_t> tabled_;
  std::size_t cellLimit_;
  std::size_t cells_ = 0;
};

}  // namespace

Network ReadBif(std::string_view text, const std::string& source, const ReadLimits& limits) {
  return BifParser(text, source, limits).Read();
}

}  // namespace bnscore::formats
