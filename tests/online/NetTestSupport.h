// What the test servers do with what the program sends: undo the percent
// encoding and the scramble, decode base64, take a mail apart.
#pragma once

#include <string>
#include <vector>

namespace qv::test {

std::string PercentDecode(const std::string& text);
// The receiver's side of ScrambleForSubmit (padding blanks kept).
std::string Descramble(const std::string& sent);
std::string Base64Decode(const std::string& text);
std::vector<std::string> SplitCrLf(const std::string& text);
// Splits at every `separator`; a trailing separator adds no empty field.
std::vector<std::string> SplitFields(const std::string& text, char separator);

struct TMimeMail {
    std::vector<std::pair<std::string, std::string>> Headers;
    std::string Text;  // the decoded text part
    std::string AttachmentName;
    std::string Attachment;  // decoded
    std::string Header(const std::string& name) const;
};
TMimeMail ParseMail(const std::string& data);

}  // namespace qv::test
