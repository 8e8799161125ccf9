#include "record_reader.h"

#include <cstdint>
#include <utility>

namespace quorvel::cli {
namespace {

// A value of the record's JSON; only the kinds a record holds.
struct Value {
    enum class Kind { Null, Boolean, Number, String, Strings } kind = Kind::Null;
    std::string text;
    std::vector<std::string> items;
};

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    // Calls `field(name, value)` for each member of the object that makes up the whole text.
    template <typename Field>
    bool object(Field field) {
        if (!take('{')) return false;
        if (take('}')) return atEnd();
        do {
            std::string name;
            Value value;
            if (!string(name) || !take(':') || !anyValue(value)) return false;
            field(name, std::move(value));
        } while (take(','));
        return take('}') && atEnd();
    }

  private:
    void skipBlanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\r' || text_[at_] == '\n')) {
            ++at_;
        }
    }
    bool take(char c) {
        skipBlanks();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool word(std::string_view w) {
        skipBlanks();
        if (text_.substr(at_, w.size()) != w) return false;
        at_ += w.size();
        return true;
    }
    bool atEnd() {
        skipBlanks();
        return at_ == text_.size();
    }

    bool anyValue(Value& v) {
        skipBlanks();
        if (at_ >= text_.size()) return false;
        const char c = text_[at_];
        if (c == '"') {
            v.kind = Value::Kind::String;
            return string(v.text);
        }
        if (c == '[') return strings(v);
        if (word("null")) return true;
        if (word("true") || word("false")) {
            v.kind = Value::Kind::Boolean;
            return true;
        }
        return number(v);
    }

    bool strings(Value& v) {
        v.kind = Value::Kind::Strings;
        if (!take('[')) return false;
        if (take(']')) return true;
        do {
            std::string item;
            if (!string(item)) return false;
            v.items.push_back(std::move(item));
        } while (take(','));
        return take(']');
    }

    bool number(Value& v) {
        const size_t begin = at_;
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        bool digits = false;
        while (at_ < text_.size() &&
               ((text_[at_] >= '0' && text_[at_] <= '9') || text_[at_] == '.' ||
                text_[at_] == 'e' || text_[at_] == 'E' || text_[at_] == '+' || text_[at_] == '-')) {
            digits = digits || (text_[at_] >= '0' && text_[at_] <= '9');
            ++at_;
        }
        v.kind = Value::Kind::Number;
        v.text = text_.substr(begin, at_ - begin);
        return digits;
    }

    bool hex4(uint32_t& code) {
        if (at_ + 4 > text_.size()) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            code <<= 4;
            if (c >= '0' && c <= '9') {
                code |= uint32_t(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                code |= uint32_t(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                code |= uint32_t(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    static void appendUtf8(std::string& out, uint32_t code) {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    bool escape(std::string& out) {
        if (at_ >= text_.size()) return false;
        const char c = text_[at_++];
        switch (c) {
            case '"':
            case '\\':
            case '/':
                out += c;
                return true;
            case 'b':
                out += '\b';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'u':
                break;
            default:
                return false;
        }
        uint32_t code = 0;
        if (!hex4(code)) return false;
        // A character beyond the first 65536 comes as two escapes, high half first.
        if (code >= 0xD800 && code < 0xDC00 && text_.substr(at_, 2) == "\\u") {
            at_ += 2;
            uint32_t low = 0;
            if (!hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, code);
        return true;
    }

    bool string(std::string& out) {
        if (!take('"')) return false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
            } else if (!escape(out)) {
                return false;
            }
        }
        return false;
    }

    std::string_view text_;
    size_t at_ = 0;
};

}  // namespace

std::optional<ReadRecord> readRecordLine(std::string_view line) {
    ReadRecord r;
    unsigned required = 0;  // a bit each for port, image, sha256 and outcome, given as strings
    const auto field = [&](const std::string& name, Value v) {
        const bool text = v.kind == Value::Kind::String;
        if (name == "started" && text) r.started = v.text;
        if (name == "failed_step" && text) r.failedStep = v.text;
        if (name == "diagnosis" && v.kind == Value::Kind::Strings) r.diagnosis = v.items;
        const std::pair<const char*, std::string*> keys[] = {
            {"port", &r.port}, {"image", &r.image}, {"sha256", &r.sha256}, {"outcome", &r.outcome}};
        for (unsigned i = 0; i < 4; ++i) {
            if (name != keys[i].first || !text) continue;
            *keys[i].second = v.text;
            required |= 1u << i;
        }
    };
    if (!Reader(line).object(field) || required != 0xF) return std::nullopt;
    if (r.outcome != "success" && r.outcome != "failure" && r.outcome != "interrupted") {
        return std::nullopt;
    }
    return r;
}

}  // namespace quorvel::cli
