#include "tests/online/NetTestSupport.h"

#include <cstdint>
#include <stdexcept>

namespace qv::test {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    throw std::runtime_error("bad hex digit");
}

// Headers up to the blank line; the rest is the body.
void SplitHead(const std::string& data, std::vector<std::pair<std::string, std::string>>& headers,
               std::string& body) {
    const std::size_t end = data.find("\r\n\r\n");
    const std::string head = data.substr(0, end);
    body = end == std::string::npos ? std::string() : data.substr(end + 4);
    for (const std::string& line : SplitCrLf(head)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string value = line.substr(colon + 1);
        while (!value.empty() && value[0] == ' ') value.erase(0, 1);
        headers.emplace_back(line.substr(0, colon), value);
    }
}

std::string HeaderOf(const std::vector<std::pair<std::string, std::string>>& headers, const std::string& name) {
    for (const auto& [k, v] : headers) {
        if (k == name) return v;
    }
    return "";
}

std::string QuotedParameter(const std::string& value, const std::string& name) {
    const std::size_t at = value.find(name + "=\"");
    if (at == std::string::npos) return "";
    const std::size_t start = at + name.size() + 2;
    return value.substr(start, value.find('"', start) - start);
}

}  // namespace

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(HexValue(text.at(i + 1)) * 16 + HexValue(text.at(i + 2)));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Descramble(const std::string& sent) {
    static const std::string kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-";
    const std::string raw = PercentDecode(sent);
    if (raw.size() % 128 != 0) throw std::runtime_error("not whole blocks");
    std::string text;
    for (std::size_t b = 0; b < raw.size(); b += 128) {
        for (std::size_t j = 0; j < 64; ++j) {
            const std::size_t p = kLetters.find(raw[b + j]);
            if (p == std::string::npos) throw std::runtime_error("bad index letter");
            text += raw[b + 64 + p];
        }
    }
    return text;
}

std::string Base64Decode(const std::string& text) {
    static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t acc = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=' || c == '\r' || c == '\n') continue;
        const std::size_t v = kDigits.find(c);
        if (v == std::string::npos) throw std::runtime_error("bad base64");
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return out;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> SplitFields(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

std::string TMimeMail::Header(const std::string& name) const { return HeaderOf(Headers, name); }

TMimeMail ParseMail(const std::string& data) {
    TMimeMail mail;
    std::string body;
    SplitHead(data, mail.Headers, body);
    const std::string type = mail.Header("Content-Type");
    if (type.rfind("multipart/", 0) != 0) {
        mail.Text = Base64Decode(body);
        return mail;
    }
    const std::string boundary = "--" + QuotedParameter(type, "boundary");
    std::size_t at = body.find(boundary);
    while (at != std::string::npos) {
        const std::size_t start = at + boundary.size();
        if (body.compare(start, 2, "--") == 0) break;
        const std::size_t next = body.find("\r\n" + boundary, start);
        if (next == std::string::npos) break;
        const std::string part = body.substr(start + 2, next - start - 2);
        std::vector<std::pair<std::string, std::string>> headers;
        std::string content;
        SplitHead(part, headers, content);
        const std::string disposition = HeaderOf(headers, "Content-Disposition");
        if (disposition.rfind("attachment", 0) == 0) {
            mail.AttachmentName = QuotedParameter(disposition, "filename");
            mail.Attachment = Base64Decode(content);
        } else {
            mail.Text = Base64Decode(content);
        }
        at = next + 2;
    }
    return mail;
}

}  // namespace qv::test
