// qv_langconv: turns a language file written as UTF-8 into the file the
// program reads: Windows-1252 bytes, one text per line, CR LF line ends.
//
//   qv_langconv <source.txt> <output.txt>
//
// The source must hold exactly 437 lines (texts 0 to 436). A character the
// code page cannot hold, a control character or malformed UTF-8 is reported
// as "<source>:<line>: ..." and nothing is written; so is a wrong line count.
// Exit codes: 0 written, 1 the source is not a valid language file, 2 the
// arguments are wrong or a file cannot be read or written.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"
#include "platform/system/Files.h"

namespace qv {

namespace {

constexpr std::size_t kLanguageLineCount = 437;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string CodePointName(char32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

bool IsControl(char32_t cp) { return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0); }

// Converts one source line to Windows-1252, appending to `out`. Every
// character that cannot be converted adds a message to `problems`.
void ConvertLine(std::string_view line, std::string& out, std::vector<std::string>& problems) {
    std::size_t column = 1;
    for (std::size_t at = 0; at < line.size(); ++column) {
        const TUtf8Char d = DecodeUtf8At(line, at);
        if (!d.WellFormed) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "column %zu: byte 0x%02X is not valid UTF-8", column,
                          static_cast<unsigned>(static_cast<unsigned char>(line[at])));
            problems.emplace_back(buf);
        } else if (IsControl(d.CodePoint)) {
            problems.push_back("column " + std::to_string(column) + ": control character " + CodePointName(d.CodePoint) +
                               " is not allowed in a text");
        } else if (const int b = CodePointToCp1252(d.CodePoint); b < 0) {
            problems.push_back("column " + std::to_string(column) + ": " + CodePointName(d.CodePoint) + " \"" +
                               std::string(line.substr(at, d.Length)) + "\" has no Windows-1252 form");
        } else {
            out += static_cast<char>(b);
        }
        at += d.Length;
    }
}

int Run(const std::string& sourcePath, const std::string& outputPath) {
    const auto source = sys::ReadFileText(sourcePath, kMaxLanguageFileSize);
    if (!source) {
        std::fprintf(stderr, "%s: cannot be read\n", sourcePath.c_str());
        return 2;
    }
    std::string_view text = *source;
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());

    const std::vector<std::string> lines = SplitLines(text);
    bool failed = false;
    if (lines.size() != kLanguageLineCount) {
        std::fprintf(stderr, "%s: has %zu lines; a language file has exactly %zu (texts 0 to %zu)\n",
                     sourcePath.c_str(), lines.size(), kLanguageLineCount, kLanguageLineCount - 1);
        failed = true;
    }

    std::string output;
    output.reserve(text.size() + lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::vector<std::string> problems;
        ConvertLine(lines[i], output, problems);
        output += "\r\n";
        for (const auto& p : problems) {
            std::fprintf(stderr, "%s:%zu: text %zu, %s\n", sourcePath.c_str(), i + 1, i, p.c_str());
        }
        failed = failed || !problems.empty();
    }

    if (failed) {
        // A stale file from an earlier run must not pass for the new one.
        sys::RemoveFile(outputPath);
        return 1;
    }
    std::string error;
    if (!sys::WriteFileAtomic(outputPath, output, &error)) {
        std::fprintf(stderr, "%s: cannot be written: %s\n", outputPath.c_str(), error.c_str());
        return 2;
    }
    return 0;
}

}  // namespace

}  // namespace qv

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <source.txt> <output.txt>\n", argc > 0 ? argv[0] : "qv_langconv");
        return 2;
    }
    return qv::Run(argv[1], argv[2]);
}
