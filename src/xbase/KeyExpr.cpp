#include "xbase/KeyExpr.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "xbase/Cp1252.h"

namespace xbase {

namespace {
constexpr uint16_t kMaxKeySize = 250;

// A count or position given as a number (a literal, or a field of a row that may be damaged):
// beyond what any key could use it is held at a bound, rather than converted out of range.
int countOf(double v) {
    if (!(v > -1e6)) return -1000000;  // NaN too
    if (v > 1e6) return 1000000;
    return int(v);
}

std::string upperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = char(std::toupper(static_cast<unsigned char>(c)));
    return r;
}
}  // namespace

// A parsed expression node. Text results are Windows-1252 bytes; numbers are doubles.
struct KeyExpr::Node {
    enum Kind { FieldRef, TextLit, NumLit, Concat, Func } kind = TextLit;
    char type = 'C';         // result type
    int width = 0;           // most bytes a text result can have; N: display width
    int decimals = 0;
    std::string name;        // function name (upper case) / literal text
    double number = 0;
    FieldInfo field;
    std::vector<std::unique_ptr<Node>> args;

    // Evaluates a text (or date) result into out; numbers through num().
    void text(const uint8_t* rec, std::string& out) const;
    double num(const uint8_t* rec) const;
};

static double fieldNumber(const uint8_t* rec, const FieldInfo& f) {
    double v = 0;
    field::parseNumber(field::raw(rec, f), &v);
    return v;
}

static void trimRight(std::string& s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
}
static void trimLeft(std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    s.erase(0, i);
}

double KeyExpr::Node::num(const uint8_t* rec) const {
    switch (kind) {
    case FieldRef: return fieldNumber(rec, field);
    case NumLit: return number;
    default: return 0;
    }
}

void KeyExpr::Node::text(const uint8_t* rec, std::string& out) const {
    switch (kind) {
    case FieldRef:
        out.assign(field::raw(rec, field));
        return;
    case TextLit: out = name; return;
    case NumLit: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, number);
        out = buf;
        return;
    }
    case Concat: {
        out.clear();
        std::string part;  // only non-field parts use it; empty strings do not allocate
        for (const auto& a : args) {
            if (a->kind == FieldRef) {
                out.append(field::raw(rec, a->field));  // the common case, without a copy
                continue;
            }
            a->text(rec, part);
            out += part;
        }
        return;
    }
    case Func: break;
    }
    // Functions.
    if (name == "UPPER" || name == "LOWER") {
        args[0]->text(rec, out);
        if (name == "UPPER")
            cp1252::upperInPlace(out);
        else
            for (char& c : out) c = char(cp1252::lower(static_cast<unsigned char>(c)));
    } else if (name == "TRIM" || name == "RTRIM") {
        args[0]->text(rec, out);
        trimRight(out);
    } else if (name == "LTRIM") {
        args[0]->text(rec, out);
        trimLeft(out);
    } else if (name == "ALLTRIM") {
        args[0]->text(rec, out);
        trimRight(out);
        trimLeft(out);
    } else if (name == "LEFT") {
        args[0]->text(rec, out);
        int n = std::max(0, countOf(args[1]->num(rec)));
        if (size_t(n) < out.size()) out.resize(size_t(n));
    } else if (name == "RIGHT") {
        args[0]->text(rec, out);
        int n = std::max(0, countOf(args[1]->num(rec)));
        if (size_t(n) < out.size()) out.erase(0, out.size() - size_t(n));
    } else if (name == "SUBSTR") {
        args[0]->text(rec, out);
        int start = std::max(1, countOf(args[1]->num(rec)));
        size_t from = std::min(out.size(), size_t(start - 1));
        size_t len = args.size() > 2 ? size_t(std::max(0, countOf(args[2]->num(rec)))) : std::string::npos;
        out = out.substr(from, len);
    } else if (name == "DTOS") {
        args[0]->text(rec, out);
    } else if (name == "STR") {
        double v = args[0]->num(rec);
        int w = args.size() > 1 ? countOf(args[1]->num(rec)) : 10;
        int d = args.size() > 2 ? countOf(args[2]->num(rec)) : 0;
        w = std::clamp(w, 1, 64);
        d = std::clamp(d, 0, std::max(0, w - 2));
        std::vector<char> buf(static_cast<size_t>(w));
        field::formatNumber(v, w, d, buf.data());
        out.assign(buf.data(), buf.size());
    } else {
        out.clear();
    }
}

namespace {

class Parser {
public:
    Parser(std::string_view text, const std::vector<FieldInfo>& fields) : s_(text), fields_(fields) {}

    Status parse(std::unique_ptr<KeyExpr::Node>* out) {
        std::unique_ptr<KeyExpr::Node> n;
        XB_TRY(parseConcat(&n));
        skipWs();
        if (pos_ != s_.size()) return syntax("unexpected text");
        *out = std::move(n);
        return Status::Ok();
    }

private:
    using Node = KeyExpr::Node;

    void skipWs() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    Status syntax(const char* what) {
        return Status::error(ErrorKind::BadArgument, "",
                             std::string("key expression \"") + std::string(s_) + "\": " + what +
                                 " at position " + std::to_string(pos_ + 1));
    }

    Status parseConcat(std::unique_ptr<Node>* out) {
        std::unique_ptr<Node> first;
        XB_TRY(parseTerm(&first));
        skipWs();
        if (pos_ >= s_.size() || s_[pos_] != '+') {
            *out = std::move(first);
            return Status::Ok();
        }
        auto cat = std::make_unique<Node>();
        cat->kind = Node::Concat;
        cat->type = 'C';
        cat->width = textWidth(*first);
        cat->args.push_back(std::move(first));
        while (pos_ < s_.size() && s_[pos_] == '+') {
            ++pos_;
            std::unique_ptr<Node> next;
            XB_TRY(parseTerm(&next));
            cat->width += textWidth(*next);
            cat->args.push_back(std::move(next));
            skipWs();
        }
        for (const auto& a : cat->args)
            if (a->type == 'N' && a->kind != Node::NumLit) return syntax("cannot join a number to text");
        *out = std::move(cat);
        return Status::Ok();
    }

    static int textWidth(const Node& n) { return n.width; }

    Status parseTerm(std::unique_ptr<Node>* out) {
        skipWs();
        if (pos_ >= s_.size()) return syntax("expression ends early");
        char c = s_[pos_];
        if (c == '"' || c == '\'') {
            size_t end = s_.find(c, pos_ + 1);
            if (end == std::string_view::npos) return syntax("unterminated text");
            auto n = std::make_unique<Node>();
            n->kind = Node::TextLit;
            n->name = cp1252::fromUtf8(s_.substr(pos_ + 1, end - pos_ - 1));
            n->width = int(n->name.size());
            pos_ = end + 1;
            *out = std::move(n);
            return Status::Ok();
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.') {
            size_t start = pos_;
            ++pos_;
            while (pos_ < s_.size() &&
                   (std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '.'))
                ++pos_;
            auto n = std::make_unique<Node>();
            n->kind = Node::NumLit;
            n->type = 'N';
            std::string lit(s_.substr(start, pos_ - start));
            n->number = std::strtod(lit.c_str(), nullptr);
            n->width = 10;
            *out = std::move(n);
            return Status::Ok();
        }
        if (!(std::isalpha(static_cast<unsigned char>(c)) || c == '_')) return syntax("unexpected character");
        std::string ident = readIdent();
        skipWs();
        if (pos_ + 1 < s_.size() && s_[pos_] == '-' && s_[pos_ + 1] == '>') {
            // alias->FIELD: the alias is ours anyway.
            pos_ += 2;
            skipWs();
            if (pos_ >= s_.size() || !(std::isalpha(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
                return syntax("field name expected after ->");
            ident = readIdent();
            skipWs();
        }
        if (pos_ < s_.size() && s_[pos_] == '(') {
            ++pos_;
            return parseCall(upperAscii(ident), out);
        }
        return fieldRef(ident, out);
    }

    std::string readIdent() {
        size_t start = pos_;
        while (pos_ < s_.size() &&
               (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
            ++pos_;
        return std::string(s_.substr(start, pos_ - start));
    }

    Status fieldRef(const std::string& ident, std::unique_ptr<Node>* out) {
        std::string up = upperAscii(ident);
        for (const FieldInfo& f : fields_) {
            if (upperAscii(f.name) == up) {
                auto n = std::make_unique<Node>();
                n->kind = Node::FieldRef;
                n->field = f;
                n->type = (f.type == 'F') ? 'N' : f.type;
                if (n->type != 'C' && n->type != 'N' && n->type != 'D' && n->type != 'L') n->type = 'C';
                n->width = f.length;
                n->decimals = f.decimals;
                *out = std::move(n);
                return Status::Ok();
            }
        }
        return Status::error(ErrorKind::NotFound, "", "key expression names unknown field " + ident);
    }

    Status parseCall(const std::string& fname, std::unique_ptr<Node>* out) {
        static const char* known[] = {"UPPER", "LOWER", "TRIM", "RTRIM", "LTRIM", "ALLTRIM",
                                      "LEFT", "RIGHT", "SUBSTR", "DTOS", "STR"};
        if (std::find_if(std::begin(known), std::end(known),
                         [&](const char* k) { return fname == k; }) == std::end(known))
            return Status::error(ErrorKind::NotFound, "", "key expression uses unknown function " + fname);
        auto n = std::make_unique<Node>();
        n->kind = Node::Func;
        n->name = fname;
        skipWs();
        if (pos_ < s_.size() && s_[pos_] == ')') {
            ++pos_;
        } else {
            for (;;) {
                std::unique_ptr<Node> a;
                XB_TRY(parseConcat(&a));
                n->args.push_back(std::move(a));
                skipWs();
                if (pos_ < s_.size() && s_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (pos_ < s_.size() && s_[pos_] == ')') {
                    ++pos_;
                    break;
                }
                return syntax("')' expected");
            }
        }
        size_t need = (fname == "LEFT" || fname == "RIGHT") ? 2 : (fname == "SUBSTR") ? 2 : 1;
        if (n->args.size() < need || n->args.size() > (fname == "SUBSTR" || fname == "STR" ? 3u : need))
            return syntax("wrong number of arguments");
        const Node& a0 = *n->args[0];
        auto litInt = [&](size_t i, int dflt) {
            if (i >= n->args.size()) return dflt;
            return n->args[i]->kind == Node::NumLit ? countOf(n->args[i]->number) : dflt;
        };
        n->type = 'C';
        if (fname == "LEFT" || fname == "RIGHT") {
            n->width = std::min(a0.width, std::max(0, litInt(1, a0.width)));
        } else if (fname == "SUBSTR") {
            int start = std::max(1, litInt(1, 1));
            int avail = std::max(0, a0.width - (start - 1));
            n->width = n->args.size() > 2 ? std::min(avail, std::max(0, litInt(2, avail))) : avail;
        } else if (fname == "STR") {
            n->width = std::clamp(litInt(1, 10), 1, 64);
        } else if (fname == "DTOS") {
            n->width = 8;
        } else {
            n->width = a0.width;
        }
        *out = std::move(n);
        return Status::Ok();
    }

    std::string_view s_;
    const std::vector<FieldInfo>& fields_;
    size_t pos_ = 0;
};

}  // namespace

KeyExpr::KeyExpr() = default;
KeyExpr::~KeyExpr() = default;
KeyExpr::KeyExpr(KeyExpr&&) noexcept = default;
KeyExpr& KeyExpr::operator=(KeyExpr&&) noexcept = default;

Status KeyExpr::compile(std::string_view text, const std::vector<FieldInfo>& fields, KeyExpr* out) {
    std::unique_ptr<Node> root;
    Parser p(text, fields);
    XB_TRY(p.parse(&root));
    KeyExpr e;
    e.text_ = std::string(text);
    e.type_ = root->type;
    if (e.type_ == 'N') {
        e.keySize_ = uint16_t(std::clamp(root->width, 1, int(kMaxKeySize)));
        e.keyDecimals_ = uint16_t(root->decimals);
    } else if (e.type_ == 'D') {
        e.keySize_ = 8;
    } else if (e.type_ == 'L') {
        e.keySize_ = 1;
    } else {
        e.keySize_ = uint16_t(std::clamp(root->width, 1, int(kMaxKeySize)));
    }
    // The keys indexes mostly use, field texts joined and perhaps upper-cased, are cut
    // straight from the record: no tree walk, no intermediate strings.
    const Node* body = root.get();
    if (body->kind == Node::Func && body->name == "UPPER" && body->args.size() == 1) {
        e.fastUpper_ = true;
        body = body->args[0].get();
    }
    auto textField = [](const Node* n) { return n->kind == Node::FieldRef && (n->field.type == 'C' || n->field.type == 'D'); };
    if (e.type_ == 'C' || e.type_ == 'D') {
        if (textField(body)) {
            e.slices_.push_back({body->field.offset, body->field.length});
        } else if (body->kind == Node::Concat &&
                   std::all_of(body->args.begin(), body->args.end(), [&](const auto& a) { return textField(a.get()); })) {
            for (const auto& a : body->args) e.slices_.push_back({a->field.offset, a->field.length});
        }
    }
    if (e.slices_.empty()) e.fastUpper_ = false;
    e.root_ = std::move(root);
    *out = std::move(e);
    return Status::Ok();
}

void KeyExpr::evaluateInto(const uint8_t* record, uint8_t* out) const {
    if (slices_.empty()) {
        std::string key;
        evaluate(record, &key);
        std::memcpy(out, key.data(), keySize_);
        return;
    }
    size_t at = 0;
    for (const auto& [off, len] : slices_) {
        const size_t n = std::min<size_t>(len, keySize_ - at);
        std::memcpy(out + at, record + off, n);
        at += n;
        if (at == keySize_) break;
    }
    if (at < keySize_) std::memset(out + at, ' ', keySize_ - at);
    if (fastUpper_) cp1252::upperInPlace(out, at);
}

size_t KeyExpr::firstByteRead() const {
    if (slices_.empty()) return 0;
    size_t from = SIZE_MAX;
    for (const auto& sl : slices_) from = std::min<size_t>(from, sl.first);
    return from;
}

const std::string& KeyExpr::text() const { return text_; }
char KeyExpr::type() const { return type_; }
uint16_t KeyExpr::keySize() const { return keySize_; }
uint16_t KeyExpr::keyDecimals() const { return keyDecimals_; }

void KeyExpr::evaluate(const uint8_t* record, std::string* out) const {
    if (!root_) {
        out->assign(keySize_, ' ');
        return;
    }
    switch (type_) {
    case 'N':
        *out = encodeNumber(root_->num(record), keySize_, keyDecimals_);
        return;
    case 'L': {
        std::string_view r = field::raw(record, root_->field);
        out->assign(1, (!r.empty() && field::isTrue(uint8_t(r[0]))) ? 'T' : 'F');
        return;
    }
    default:
        if (!slices_.empty()) {
            out->resize(keySize_);
            evaluateInto(record, reinterpret_cast<uint8_t*>(out->data()));
            return;
        }
        root_->text(record, *out);
        out->resize(keySize_, ' ');
        return;
    }
}

std::string KeyExpr::seekKey(std::string_view utf8) const {
    switch (type_) {
    case 'N': {
        std::string t(utf8);
        double v = 0;
        field::parseNumber(t, &v);
        return encodeNumber(v, keySize_, keyDecimals_);
    }
    case 'L':
        return std::string(1, (!utf8.empty() && field::isTrue(uint8_t(utf8[0]))) ? 'T' : 'F');
    default: {
        std::string k = cp1252::fromUtf8(utf8);
        if (k.size() > keySize_) k.resize(keySize_);
        return k;
    }
    }
}

std::string KeyExpr::encodeNumber(double value, int width, int decimals) {
    width = std::clamp(width, 1, 250);
    decimals = std::clamp(decimals, 0, std::max(0, width - 2));
    std::string s(size_t(width), ' ');
    if (!field::formatNumber(value, width, decimals, s.data())) {
        // Too wide for the key: clamp to the largest or smallest value that fits.
        std::string nines(size_t(width), '9');
        if (decimals > 0) nines[size_t(width - decimals - 1)] = '.';
        if (value < 0) {
            nines[0] = '-';
        }
        s = nines;
    }
    bool negative = s.find('-') != std::string::npos;
    for (char& c : s) {
        if (c == ' ')
            c = '0';
        else
            break;
    }
    if (negative) {
        for (char& c : s) {
            if (c == '-')
                c = '0';
        }
        for (char& c : s)
            if (c >= '0' && c <= '9') c = char(0x2C - (c - '0'));
    }
    return s;
}

}  // namespace xbase
