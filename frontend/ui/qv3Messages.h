// Message boxes of the front end: questions with Yes and No, warnings,
// information and errors. Windows take them through this interface so a
// test can answer them.
#pragma once

#include <QString>

#include <string>

class QWidget;

namespace qv::ui {

class IMessages {
public:
    virtual ~IMessages() = default;
    // Texts are Windows-1252 bytes, as the language texts are.
    virtual bool Confirm(const std::string& text) = 0;  // Yes / No
    virtual bool WarnYesNo(const std::string& text) = 0;
    virtual void Info(const std::string& text) = 0;
    virtual void Error(const std::string& text) = 0;
};

// The kinds of box the program shows.
enum class TBoxKind { Plain, Information, Warning, Error, Question, WarningQuestion };

// The one way a message box opens: over `parent`, with OK (Yes and No for
// the two questions), captioned `caption` (empty: "Quorvex"); the program
// sets no display name, so the toolkit appends nothing to it. True when the
// player answers Yes. While the program is ending nothing opens, the text
// goes to the log and questions answer No.
bool ShowMessageBox(QWidget* parent, TBoxKind kind, const QString& text, const QString& caption);
inline bool ShowMessageBox(QWidget* parent, TBoxKind kind, const QString& text) {
    return ShowMessageBox(parent, kind, text, QString());
}

// ShowMessageBox over `parent`.
class TQtMessages final : public IMessages {
public:
    explicit TQtMessages(QWidget* parent = nullptr) : parent_(parent) {}
    bool Confirm(const std::string& text) override;
    bool WarnYesNo(const std::string& text) override;
    void Info(const std::string& text) override;
    void Error(const std::string& text) override;

private:
    QWidget* parent_;
};

// While set (the program is ending), questions answer No and nothing is
// shown; the texts go to the log.
void SetMessagesSuppressed(bool suppressed);

// Installs the toolkit's translations for language index 0..3 (English,
// German, French, Italian), so that standard buttons speak the game's
// language; replaces the ones installed before. False (and a warning in the
// log) when the translation is missing; English is always there.
bool LoadToolkitTranslations(int language);

}  // namespace qv::ui
