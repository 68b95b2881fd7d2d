#include "cg/EffectParser.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

#include "cg/TypeTable.h"
#include "platform/FromChars.h"

namespace cg {

namespace {

// Thrown inside the parser only; parseEffect turns it into its error text.
struct ParseError {
  int line;
  std::string message;
};

enum class TokenKind { End, Name, Number, String, Punct };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  double number = 0.0;
  int line = 1;
};

std::string describe(const Token& token) {
  switch (token.kind) {
    case TokenKind::End:
      return "the end of the file";
    case TokenKind::String:
      return "a string";
    default:
      return "'" + token.text + "'";
  }
}

class Lexer {
 public:
  Lexer(const char* text, size_t length) : at(text), end(text + length) {}

  const Token& peek() {
    if (!cached) {
      current = lex();
      cached = true;
    }
    return current;
  }

  Token take() {
    peek();
    cached = false;
    return current;
  }

  int line() const { return lineNumber; }

  // The raw text after a '{' that was just taken, up to its matching '}' (consumed), with
  // comments skipped when counting braces. Sets startLine to the line the text begins on.
  std::string rawBlock(const std::string& what, int openLine, int& startLine) {
    startLine = lineNumber;
    const char* start = at;
    int depth = 1;
    while (at < end) {
      char c = *at;
      if (c == '\n') {
        ++lineNumber;
        ++at;
      } else if (c == '/' && at + 1 < end && at[1] == '/') {
        while (at < end && *at != '\n') ++at;
      } else if (c == '/' && at + 1 < end && at[1] == '*') {
        at += 2;
        while (at < end && !(*at == '*' && at + 1 < end && at[1] == '/')) {
          if (*at == '\n') ++lineNumber;
          ++at;
        }
        if (at >= end) throw ParseError{openLine, what + " opened here is not closed"};
        at += 2;
      } else if (c == '{') {
        ++depth;
        ++at;
      } else if (c == '}') {
        if (--depth == 0) {
          std::string code(start, at);
          ++at;
          return code;
        }
        ++at;
      } else if (c == '\0') {
        throw ParseError{lineNumber, "unexpected NUL character"};
      } else {
        ++at;
      }
    }
    throw ParseError{openLine, what + " opened here is not closed"};
  }

 private:
  void skipSpaceAndComments() {
    while (at < end) {
      char c = *at;
      if (c == '\n') {
        ++lineNumber;
        ++at;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++at;
      } else if (c == '/' && at + 1 < end && at[1] == '/') {
        while (at < end && *at != '\n') ++at;
      } else if (c == '/' && at + 1 < end && at[1] == '*') {
        const int opened = lineNumber;
        at += 2;
        while (at < end && !(*at == '*' && at + 1 < end && at[1] == '/')) {
          if (*at == '\n') ++lineNumber;
          ++at;
        }
        if (at >= end) throw ParseError{opened, "comment opened here is not closed"};
        at += 2;
      } else {
        return;
      }
    }
  }

  static bool isNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }

  Token lex() {
    skipSpaceAndComments();
    Token token;
    token.line = lineNumber;
    if (at >= end) return token;
    const char c = *at;
    if (isNameStart(c)) {
      const char* start = at;
      while (at < end && (isNameStart(*at) || isDigit(*at))) ++at;
      token.kind = TokenKind::Name;
      token.text.assign(start, at);
      return token;
    }
    if (isDigit(c) || (c == '.' && at + 1 < end && isDigit(at[1]))) {
      const char* start = at;
      while (at < end && isDigit(*at)) ++at;
      if (at < end && *at == '.') {
        ++at;
        while (at < end && isDigit(*at)) ++at;
      }
      if (at < end && (*at == 'e' || *at == 'E')) {
        const char* mark = at;
        ++at;
        if (at < end && (*at == '+' || *at == '-')) ++at;
        if (at < end && isDigit(*at)) {
          while (at < end && isDigit(*at)) ++at;
        } else {
          at = mark;  // "2e" is the number 2 followed by a name
        }
      }
      token.text.assign(start, at);
      if (at < end && (*at == 'f' || *at == 'F' || *at == 'h' || *at == 'H')) ++at;
      if (at < end && (isNameStart(*at) || isDigit(*at)))
        throw ParseError{lineNumber, "malformed number '" + token.text + *at + "'"};
      token.kind = TokenKind::Number;
      auto result = platform::fromChars(token.text.data(), token.text.data() + token.text.size(), token.number);
      if (result.ec != std::errc() || !std::isfinite(static_cast<float>(token.number)))
        throw ParseError{lineNumber, "number '" + token.text + "' is out of range"};
      return token;
    }
    if (c == '"') {
      ++at;
      token.kind = TokenKind::String;
      while (true) {
        if (at >= end || *at == '\n') throw ParseError{token.line, "string is not closed on its line"};
        if (*at == '"') {
          ++at;
          break;
        }
        if (*at == '\\' && at + 1 < end && at[1] != '\n') ++at;
        token.text += *at++;
      }
      return token;
    }
    if (std::strchr("{}()<>=;,:[]-+", c) && c != '\0') {
      token.kind = TokenKind::Punct;
      token.text.assign(1, c);
      ++at;
      return token;
    }
    if (static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127)
      throw ParseError{lineNumber, std::string("unexpected character '") + c + "'"};
    throw ParseError{lineNumber, "unexpected byte " + std::to_string(static_cast<unsigned char>(c))};
  }

  const char* at;
  const char* end;
  int lineNumber = 1;
  Token current;
  bool cached = false;
};

constexpr int kMaxValueDepth = 8;
constexpr size_t kMaxValueAtoms = 256;

class Parser {
 public:
  Parser(const char* text, size_t length, EffectDesc& out) : lexer(text, length), desc(out) {}

  void parseFile() {
    while (lexer.peek().kind != TokenKind::End) {
      const Token& token = lexer.peek();
      if (isPunct(token, ";")) {
        lexer.take();
      } else if (token.kind != TokenKind::Name) {
        throw ParseError{token.line, "expected a parameter, a program block or a technique, found " + describe(token)};
      } else if (token.text == "technique") {
        parseTechnique();
      } else if (token.text == "glsl_vertex" || token.text == "glsl_fragment") {
        parseProgram();
      } else if (token.text == "glsl_shared") {
        parseShared();
      } else {
        parseParameter();
      }
    }
    linkProgramReferences();
  }

 private:
  static bool isPunct(const Token& token, const char* text) {
    return token.kind == TokenKind::Punct && token.text == text;
  }

  Token expectPunct(const char* text, const char* after) {
    Token token = lexer.take();
    if (!isPunct(token, text))
      throw ParseError{token.line, std::string("expected '") + text + "' " + after + ", found " + describe(token)};
    return token;
  }

  Token expectName(const char* what) {
    Token token = lexer.take();
    if (token.kind != TokenKind::Name) throw ParseError{token.line, std::string("expected ") + what + ", found " + describe(token)};
    return token;
  }

  void skipOptionalSemicolon() {
    if (isPunct(lexer.peek(), ";")) lexer.take();
  }

  // value := number | -number | string | name | name(value, ...) | { value, ... }
  void parseValueInto(Value& value, int depth) {
    if (depth > kMaxValueDepth) throw ParseError{lexer.peek().line, "value is nested too deeply"};
    Token token = lexer.take();
    if (isPunct(token, "{")) {
      if (isPunct(lexer.peek(), "}")) {
        lexer.take();
        return;
      }
      while (true) {
        parseValueInto(value, depth + 1);
        Token next = lexer.take();
        if (isPunct(next, "}")) return;
        if (!isPunct(next, ",")) throw ParseError{next.line, "expected ',' or '}' in a value list, found " + describe(next)};
        if (isPunct(lexer.peek(), "}")) {  // trailing comma
          lexer.take();
          return;
        }
      }
    }
    ValueAtom atom;
    if (isPunct(token, "-") || isPunct(token, "+")) {
      Token number = lexer.take();
      if (number.kind != TokenKind::Number)
        throw ParseError{number.line, "expected a number after '" + token.text + "', found " + describe(number)};
      atom.number = token.text == "-" ? -number.number : number.number;
    } else if (token.kind == TokenKind::Number) {
      atom.number = token.number;
    } else if (token.kind == TokenKind::String) {
      atom.kind = ValueAtom::Kind::String;
      atom.text = token.text;
    } else if (token.kind == TokenKind::Name) {
      if (isPunct(lexer.peek(), "(")) {
        lexer.take();
        if (depth == 0 && value.constructor.empty()) value.constructor = token.text;
        if (isPunct(lexer.peek(), ")")) {
          lexer.take();
          return;
        }
        while (true) {
          parseValueInto(value, depth + 1);
          Token next = lexer.take();
          if (isPunct(next, ")")) return;
          if (!isPunct(next, ",")) throw ParseError{next.line, "expected ',' or ')' in '" + token.text + "(...)', found " + describe(next)};
        }
      }
      atom.kind = ValueAtom::Kind::Name;
      atom.text = token.text;
    } else {
      throw ParseError{token.line, "expected a value, found " + describe(token)};
    }
    if (value.atoms.size() >= kMaxValueAtoms) throw ParseError{token.line, "value has too many components"};
    value.atoms.push_back(std::move(atom));
  }

  Value parseValue() {
    Value value;
    value.line = lexer.peek().line;
    parseValueInto(value, 0);
    return value;
  }

  // Converts a value to the numbers of a type; throws with a message naming what.
  std::vector<float> numbersOf(const Value& value, const TypeInfo& info, const std::string& what) {
    const size_t expected = static_cast<size_t>(info.components);
    if (value.atoms.size() != expected) {
      throw ParseError{value.line, what + " is a " + info.name + " and needs " + std::to_string(expected) +
                                       (expected == 1 ? " value" : " values") + ", found " +
                                       std::to_string(value.atoms.size())};
    }
    std::vector<float> numbers;
    for (const ValueAtom& atom : value.atoms) {
      if (atom.kind == ValueAtom::Kind::Name && (equalsIgnoringCase(atom.text, "true") || equalsIgnoringCase(atom.text, "false"))) {
        if (info.base != BaseKind::Bool) throw ParseError{value.line, what + " is a " + info.name + " and takes numbers, not " + atom.text};
        numbers.push_back(equalsIgnoringCase(atom.text, "true") ? 1.0f : 0.0f);
        continue;
      }
      if (atom.kind != ValueAtom::Kind::Number)
        throw ParseError{value.line, what + " is a " + info.name + " and takes numbers, found '" + atom.text + "'"};
      if (info.base == BaseKind::Int) {
        if (atom.number != std::floor(atom.number) || std::fabs(atom.number) > 2147483647.0)
          throw ParseError{value.line, what + " is an " + info.name + " and takes whole numbers"};
      }
      if (info.base == BaseKind::Bool) {
        numbers.push_back(atom.number != 0.0 ? 1.0f : 0.0f);
      } else {
        numbers.push_back(static_cast<float>(atom.number));
      }
    }
    return numbers;
  }

  CGtype parseType(const Token& token, const char* what) {
    CGtype type = typeFromName(token.text.c_str());
    if (type == CG_UNKNOWN_TYPE) throw ParseError{token.line, std::string("unknown type '") + token.text + "' for " + what};
    return type;
  }

  std::vector<AnnotationDesc> parseAnnotations() {
    std::vector<AnnotationDesc> annotations;
    if (!isPunct(lexer.peek(), "<")) return annotations;
    lexer.take();
    while (!isPunct(lexer.peek(), ">")) {
      Token typeToken = expectName("an annotation type or '>'");
      AnnotationDesc annotation;
      annotation.line = typeToken.line;
      annotation.type = parseType(typeToken, "an annotation");
      const TypeInfo& info = typeInfo(annotation.type);
      if (info.base == BaseKind::Sampler) throw ParseError{typeToken.line, "an annotation cannot be a sampler"};
      annotation.name = expectName("an annotation name").text;
      expectPunct("=", "after the annotation name");
      Value value = parseValue();
      const std::string what = "annotation '" + annotation.name + "'";
      if (info.base == BaseKind::String) {
        if (value.atoms.size() != 1 || value.atoms[0].kind != ValueAtom::Kind::String)
          throw ParseError{value.line, what + " is a string and needs a quoted text"};
        annotation.text = value.atoms[0].text;
      } else {
        annotation.floats = numbersOf(value, info, what);
        for (float f : annotation.floats) annotation.ints.push_back(saturatingInt(f));
      }
      expectPunct(";", "after the annotation");
      annotations.push_back(std::move(annotation));
    }
    lexer.take();  // '>'
    return annotations;
  }

  void parseParameter() {
    Token first = lexer.take();
    if (first.text == "uniform") first = expectName("a parameter type");
    ParameterDesc parameter;
    parameter.line = first.line;
    parameter.type = typeFromName(first.text.c_str());
    if (parameter.type == CG_UNKNOWN_TYPE)
      throw ParseError{first.line, "expected a parameter, a program block or a technique, found '" + first.text + "'"};
    const TypeInfo& info = typeInfo(parameter.type);
    if (info.base == BaseKind::String) throw ParseError{first.line, "string values are allowed in annotations only"};
    Token name = expectName("a parameter name");
    parameter.name = name.text;
    if (parameter.name.compare(0, 3, "gl_") == 0)
      throw ParseError{name.line, "parameter '" + parameter.name + "': names starting with gl_ belong to GLSL"};
    for (const ParameterDesc& other : desc.parameters)
      if (other.name == parameter.name)
        throw ParseError{name.line, "parameter '" + parameter.name + "' is already declared at line " + std::to_string(other.line)};
    if (isPunct(lexer.peek(), "[")) throw ParseError{lexer.peek().line, "parameter '" + parameter.name + "': arrays are not supported"};
    if (isPunct(lexer.peek(), ":")) {
      lexer.take();
      parameter.semantic = expectName("a semantic after ':'").text;
    }
    parameter.annotations = parseAnnotations();
    if (isPunct(lexer.peek(), "=")) {
      lexer.take();
      const std::string what = "parameter '" + parameter.name + "'";
      if (info.base == BaseKind::Sampler) {
        Token keyword = lexer.take();
        if (keyword.kind != TokenKind::Name || keyword.text != "sampler_state")
          throw ParseError{keyword.line, what + " is a sampler and takes a sampler_state { ... } block"};
        parseSamplerState(parameter);
      } else {
        if (lexer.peek().kind == TokenKind::Name && lexer.peek().text == "sampler_state")
          throw ParseError{lexer.peek().line, what + " is a " + info.name + ", not a sampler"};
        parameter.defaultValue = numbersOf(parseValue(), info, what);
        parameter.hasDefault = true;
      }
    }
    expectPunct(";", ("after parameter '" + parameter.name + "'").c_str());
    desc.parameters.push_back(std::move(parameter));
  }

  void parseSamplerState(ParameterDesc& parameter) {
    expectPunct("{", "after sampler_state");
    while (!isPunct(lexer.peek(), "}")) {
      Token name = expectName("a sampler state or '}'");
      expectPunct("=", ("after sampler state " + name.text).c_str());
      Value value = parseValue();
      expectPunct(";", ("after sampler state " + name.text).c_str());
      SamplerState state;
      std::string error;
      switch (resolveSamplerState(name.text, value, state, error)) {
        case Resolve::Ok:
          parameter.sampler.push_back(state);
          break;
        case Resolve::UnknownName:
          throw ParseError{name.line, "unknown sampler state '" + name.text +
                                          "' (known: MinFilter, MagFilter, WrapS, WrapT, WrapR, MaxAnisotropy, BorderColor)"};
        case Resolve::BadValue:
          throw ParseError{value.line, error};
      }
    }
    lexer.take();
  }

  void parseProgram() {
    Token keyword = lexer.take();
    ProgramDesc program;
    program.vertex = keyword.text == "glsl_vertex";
    Token name = expectName(("a name after " + keyword.text).c_str());
    program.name = name.text;
    for (const ProgramDesc& other : desc.programs)
      if (other.name == program.name)
        throw ParseError{name.line, "program '" + program.name + "' is already declared at line " + std::to_string(other.line)};
    Token open = expectPunct("{", ("after " + keyword.text + " " + program.name).c_str());
    program.code = lexer.rawBlock(keyword.text + " block '" + program.name + "'", open.line, program.line);
    skipOptionalSemicolon();
    desc.programs.push_back(std::move(program));
  }

  void parseShared() {
    lexer.take();
    Token open = expectPunct("{", "after glsl_shared");
    SharedCodeDesc shared;
    shared.code = lexer.rawBlock("glsl_shared block", open.line, shared.line);
    skipOptionalSemicolon();
    desc.shared.push_back(std::move(shared));
  }

  void parseTechnique() {
    TechniqueDesc technique;
    technique.line = lexer.take().line;
    if (lexer.peek().kind == TokenKind::Name) technique.name = lexer.take().text;
    parseAnnotations();
    expectPunct("{", "to open the technique");
    while (!isPunct(lexer.peek(), "}")) {
      Token keyword = lexer.take();
      if (keyword.kind != TokenKind::Name || keyword.text != "pass")
        throw ParseError{keyword.line, "expected 'pass' or '}' in technique '" + technique.name + "', found " + describe(keyword)};
      technique.passes.push_back(parsePass(keyword.line, desc.techniques.size(), technique.passes.size()));
    }
    lexer.take();
    skipOptionalSemicolon();
    desc.techniques.push_back(std::move(technique));
  }

  PassDesc parsePass(int line, size_t techniqueIndex, size_t passIndex) {
    PassDesc pass;
    pass.line = line;
    if (lexer.peek().kind == TokenKind::Name) pass.name = lexer.take().text;
    parseAnnotations();
    expectPunct("{", "to open the pass");
    while (!isPunct(lexer.peek(), "}")) {
      Token name = expectName("a state assignment or '}'");
      if (isPunct(lexer.peek(), "[")) {
        lexer.take();
        Token index = lexer.take();
        if (index.kind != TokenKind::Number) throw ParseError{index.line, "expected an index after '['"};
        expectPunct("]", "after the index");
      }
      expectPunct("=", ("after state " + name.text).c_str());
      bool vertex = false;
      const bool program = isProgramState(name.text, vertex);
      if (lexer.peek().kind == TokenKind::Name && lexer.peek().text == "compile") {
        lexer.take();
        if (!program) throw ParseError{name.line, "only VertexProgram and FragmentProgram take 'compile'"};
        ProgramRef& ref = vertex ? pass.vertex : pass.fragment;
        if (ref.used) throw ParseError{name.line, name.text + " is assigned twice in this pass"};
        ref.used = true;
        ref.line = name.line;
        Token profile = expectName("a profile after 'compile'");
        ref.profile = profile.text;
        ref.profileVersion = profileVersion(profile);
        Token programName = expectName("a program name after the profile");
        if (isPunct(lexer.peek(), "(")) {
          lexer.take();
          expectPunct(")", "after the program name");
        }
        pendingReferences.push_back({techniqueIndex, passIndex, vertex, programName.text});
        expectPunct(";", ("after state " + name.text).c_str());
        continue;
      }
      if (program)
        throw ParseError{name.line, name.text + " takes 'compile <profile> <program>', as in compile glsl120 " +
                                        (vertex ? "mainVS" : "mainFS")};
      Value value = parseValue();
      expectPunct(";", ("after state " + name.text).c_str());
      PassState state;
      std::string error;
      switch (resolvePassState(name.text, value, state, error)) {
        case Resolve::Ok:
          pass.states.push_back(state);
          break;
        case Resolve::UnknownName:
          pass.unknownStates.push_back({name.text, name.line});
          break;
        case Resolve::BadValue:
          throw ParseError{value.line, error};
      }
    }
    lexer.take();
    skipOptionalSemicolon();
    return pass;
  }

  static int profileVersion(const Token& profile) {
    static const int kVersions[] = {110, 120, 130, 140, 150, 330, 400, 410, 420, 430, 440, 450, 460};
    if (profile.text.size() == 7 && profile.text.compare(0, 4, "glsl") == 0) {
      int version = 0;
      auto result = std::from_chars(profile.text.data() + 4, profile.text.data() + 7, version);
      if (result.ec == std::errc() && result.ptr == profile.text.data() + 7)
        for (int known : kVersions)
          if (known == version) return version;
    }
    throw ParseError{profile.line, "unknown profile '" + profile.text + "' (glsl120, or glslNNN for another GLSL version)"};
  }

  // Program references may name blocks declared later in the file; they are resolved here.
  void linkProgramReferences() {
    for (const PendingReference& pending : pendingReferences) {
      PassDesc& pass = desc.techniques[pending.technique].passes[pending.pass];
      ProgramRef& ref = pending.vertex ? pass.vertex : pass.fragment;
      int found = -1;
      for (size_t i = 0; i < desc.programs.size(); ++i)
        if (desc.programs[i].name == pending.name) found = static_cast<int>(i);
      const char* stage = pending.vertex ? "glsl_vertex" : "glsl_fragment";
      if (found < 0) throw ParseError{ref.line, std::string("no ") + stage + " block named '" + pending.name + "'"};
      if (desc.programs[found].vertex != pending.vertex)
        throw ParseError{ref.line, "'" + pending.name + "' is not a " + stage + " block"};
      ref.program = found;
    }
  }

  struct PendingReference {
    size_t technique, pass;  // positions in desc.techniques and its passes
    bool vertex;
    std::string name;
  };

  Lexer lexer;
  EffectDesc& desc;
  std::vector<PendingReference> pendingReferences;
};

}  // namespace

int parseEffect(const char* text, size_t length, EffectDesc& out, std::string& error) {
  out = EffectDesc{};
  error.clear();
  if (!text) {
    error = "line 1: no effect text";
    return 1;
  }
  try {
    Parser parser(text, length, out);
    parser.parseFile();
    return 0;
  } catch (const ParseError& failure) {
    error = "line " + std::to_string(failure.line) + ": " + failure.message;
  } catch (const std::bad_alloc&) {
    error = "line 1: out of memory while parsing the effect";
  }
  out = EffectDesc{};
  return 1;
}

}  // namespace cg
