// `{ expr }`: constant expressions, read strictly right to left. A binary
// operator takes the whole expression to its right, and so does a unary one.
#include "octo/assembler.h"

#include "octo/number.h"

#include <cmath>
#include <functional>
#include <numbers>
#include <unordered_set>

namespace kestrel::octo {
namespace {

bool isUnary(std::string_view op) {
    static const std::unordered_set<std::string_view> ops = {"-",    "~",    "!",     "sin", "cos",
                                                             "tan",  "exp",  "log",   "abs", "sqrt",
                                                             "sign", "ceil", "floor", "@"};
    return ops.contains(op);
}

bool isBinary(std::string_view op) {
    static const std::unordered_set<std::string_view> ops = {
        "+",   "-",   "*",   "/", "%",  "&",  "|",  "^",  "<<", ">>",
        "pow", "min", "max", "<", "<=", "==", "!=", ">=", ">"};
    return ops.contains(op);
}

double binary(std::string_view op, double a, double b) {
    const auto shift = [](double count) { return static_cast<std::uint32_t>(toInt32(count)) & 31; };
    if (op == "+") return a + b;
    if (op == "-") return a - b;
    if (op == "*") return a * b;
    if (op == "/") return a / b;
    if (op == "%") return std::fmod(a, b);
    if (op == "&") return toInt32(a) & toInt32(b);
    if (op == "|") return toInt32(a) | toInt32(b);
    if (op == "^") return toInt32(a) ^ toInt32(b);
    if (op == "<<")
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt32(a)) << shift(b));
    if (op == ">>") return toInt32(a) >> shift(b);
    if (op == "pow") return std::pow(a, b);
    if (op == "min") return std::isnan(a) || std::isnan(b) ? NAN : std::min(a, b);
    if (op == "max") return std::isnan(a) || std::isnan(b) ? NAN : std::max(a, b);
    if (op == "<") return a < b;
    if (op == "<=") return a <= b;
    if (op == "==") return a == b;
    if (op == "!=") return a != b;
    if (op == ">=") return a >= b;
    return a > b;
}

double unary(std::string_view op, double v) {
    if (op == "-") return -v;
    if (op == "~") return ~toInt32(v);
    if (op == "!") return v == 0 || std::isnan(v) ? 1 : 0;
    if (op == "sin") return std::sin(v);
    if (op == "cos") return std::cos(v);
    if (op == "tan") return std::tan(v);
    if (op == "exp") return std::exp(v);
    if (op == "log") return std::log(v);
    if (op == "abs") return std::fabs(v);
    if (op == "sqrt") return std::sqrt(v);
    if (op == "sign") return std::isnan(v) ? v : v > 0 ? 1 : v < 0 ? -1 : v;
    if (op == "ceil") return std::ceil(v);
    return std::floor(v);
}

} // namespace

double Assembler::braced(SourceSpot opener) {
    const Token open = expect("'{'");
    if (open.text != "{") throw AsmError{open.where, "expected '{', found " + quoted(open.text)};
    (void)opener;
    return evaluate(braceBody(open.where, "expression"), open.where);
}

double Assembler::evaluate(const std::vector<Token>& tokens, SourceSpot opener) {
    std::size_t pos = 0;
    const auto fail = [&](const std::string& expected) -> AsmError {
        if (pos < tokens.size())
            return AsmError{tokens[pos].where,
                            "expected " + expected + ", found " + quoted(tokens[pos].text)};
        return AsmError{opener, "expected " + expected + ", found the end of the expression"};
    };
    const auto atom = [&](const Token& t) -> double {
        if (const auto n = parseNumber(t.text)) return *n;
        if (const auto c = constants_.find(t.text); c != constants_.end()) return c->second.value;
        if (const auto l = labels_.find(t.text); l != labels_.end()) return l->second;
        if (const auto r = registerOf(t.text)) return *r;
        if (t.text == "HERE") return image_.here();
        if (t.text == "PI") return std::numbers::pi;
        if (t.text == "E") return std::numbers::e;
        if (pending_.contains(t.text))
            throw AsmError{t.where, "label " + quoted(t.text) +
                                        " is used in an expression before it is defined"};
        throw AsmError{t.where, "undefined name " + quoted(t.text)};
    };

    struct Step {
        std::vector<std::string_view> unary;
        double value = 0;
        std::string_view op; // the binary operator after the value, if any
    };
    // One expression up to a ')' or the end. Only parentheses recurse, so a
    // long chain of operators costs no stack.
    std::function<double(int)> expression = [&](int depth) -> double {
        if (depth > kMaxParenthesisDepth)
            throw AsmError{tokens[pos > 0 ? pos - 1 : 0].where,
                           "parentheses nest more than " + std::to_string(kMaxParenthesisDepth) +
                               " deep"};
        std::vector<Step> steps;
        while (true) {
            Step step;
            while (pos < tokens.size() && isUnary(tokens[pos].text))
                step.unary.push_back(tokens[pos++].text);
            if (pos >= tokens.size()) throw fail("a value");
            const Token& t = tokens[pos];
            if (t.text == "(") {
                ++pos;
                step.value = expression(depth + 1);
                if (pos >= tokens.size() || tokens[pos].text != ")") throw fail("')'");
                ++pos;
            } else if (t.text == ")" || isBinary(t.text)) {
                throw fail("a value");
            } else if (t.text == "strlen") {
                ++pos;
                if (pos >= tokens.size()) throw fail("a token after strlen");
                step.value = static_cast<double>(characters(tokens[pos++].text).size());
            } else {
                step.value = atom(t);
                ++pos;
            }
            if (pos < tokens.size() && isBinary(tokens[pos].text)) {
                step.op = tokens[pos++].text;
                steps.push_back(std::move(step));
                continue;
            }
            steps.push_back(std::move(step));
            break;
        }
        if (pos < tokens.size() && !(depth > 0 && tokens[pos].text == ")"))
            throw fail(depth > 0 ? "an operator or ')'" : "an operator");
        double value = 0;
        for (std::size_t k = steps.size(); k-- > 0;) {
            const Step& step = steps[k];
            value = k + 1 == steps.size() ? step.value : binary(step.op, step.value, value);
            for (std::size_t u = step.unary.size(); u-- > 0;) {
                if (step.unary[u] != "@") {
                    value = unary(step.unary[u], value);
                    continue;
                }
                const std::int64_t address = truncated(value);
                if (address < 0 || address >= kAddressSpace)
                    throw AsmError{opener, "expected an address (0 to 0xFFFF) after '@', found " +
                                               std::to_string(address)};
                value = image_.at(static_cast<std::uint32_t>(address));
            }
        }
        return value;
    };
    return expression(0);
}

} // namespace kestrel::octo
