#include "download/package_statement.h"

#include <cstring>

namespace {

// Reads text line by line, never past its end.
class Lines {
public:
    explicit Lines(const std::string& text) : text_(text) {}

    // The next line without its "\n"; false when no whole line is left.
    bool next(std::string& line) {
        const std::size_t end = text_.find('\n', at_);
        if (end == std::string::npos) return false;
        line.assign(text_, at_, end - at_);
        at_ = end + 1;
        return true;
    }
    std::size_t position() const { return at_; }
    bool at_end() const { return at_ == text_.size(); }

private:
    const std::string& text_;
    std::size_t at_ = 0;
};

// "KEYWORD VALUE": the value; false for another keyword.
bool field(const std::string& line, const char* keyword, std::string& value) {
    const std::size_t length = std::strlen(keyword);
    if (line.size() <= length + 1 || line.compare(0, length, keyword) != 0 || line[length] != ' ')
        return false;
    value = line.substr(length + 1);
    return true;
}

// Decimal digits only, no leading zero but for 0 itself, within 64 bits.
bool parse_decimal(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Exactly 2 * size lowercase hex digits into bytes.
bool parse_hex(const std::string& text, unsigned char* bytes, std::size_t size) {
    if (text.size() != 2 * size) return false;
    for (std::size_t i = 0; i < size; ++i) {
        const int high = hex_value(text[2 * i]), low = hex_value(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return true;
}

// A plain file name: what the package's URL ends in.
bool is_plain_name(const std::string& name) {
    if (name.empty() || name.size() > 255) return false;
    for (char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!plain) return false;
    }
    return true;
}

}  // namespace

bool parse_signed_statement(const std::string& text, SignedStatement& signed_statement) {
    if (text.size() > signature_file_limit) return false;
    Lines lines(text);
    std::string line, value;
    PackageStatement statement;
    std::uint64_t number = 0;
    if (!lines.next(line) || line != "quellmark-package 1") return false;
    if (!lines.next(line) || !field(line, "file", statement.file_name) ||
        !is_plain_name(statement.file_name))
        return false;
    if (!lines.next(line) || !field(line, "size", value) || !parse_decimal(value, statement.size))
        return false;
    if (!lines.next(line) || !field(line, "chunk", value) || !parse_decimal(value, number) ||
        number < smallest_chunk || number > largest_chunk)
        return false;
    statement.chunk_bytes = static_cast<std::uint32_t>(number);

    // The chunk count follows from the size; a count the file cannot hold is
    // refused before anything is reserved for it.
    const std::uint64_t count =
        statement.size / statement.chunk_bytes + (statement.size % statement.chunk_bytes != 0);
    if (count > (text.size() - lines.position()) / 65) return false;
    statement.chunks.resize(static_cast<std::size_t>(count));
    for (Sha256Digest& chunk : statement.chunks) {
        if (!lines.next(line) || !parse_hex(line, chunk.data(), chunk.size())) return false;
    }

    const std::size_t signed_bytes = lines.position();
    SignedStatement result;
    if (!lines.next(line) || !field(line, "signature", value) ||
        !parse_hex(value, result.signature.data(), result.signature.size()) || !lines.at_end())
        return false;
    result.digest = sha256(text.data(), signed_bytes);
    result.statement = std::move(statement);
    signed_statement = std::move(result);
    return true;
}
