#include "frontend/ui/qv3Messages.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QString>
#include <QTranslator>

#include <array>
#include <memory>

#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "frontend/qv3QtText.h"

namespace qv::ui {

namespace {
bool suppressed = false;
}  // namespace

void SetMessagesSuppressed(bool value) { suppressed = value; }

bool LoadToolkitTranslations(int language) {
    // The toolkit's own texts (Yes, No, OK, Cancel ...) per language index;
    // English needs none.
    static const std::array<const char*, 4> kNames = {"", "qtbase_de", "qtbase_fr", "qtbase_it"};
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (language <= 0 || static_cast<std::size_t>(language) >= kNames.size()) return language == 0;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(kNames[static_cast<std::size_t>(language)],
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        LogMessage(std::string("No toolkit translation ") + kNames[static_cast<std::size_t>(language)], lkWarning);
        return false;
    }
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

bool ShowMessageBox(QWidget* parent, TBoxKind kind, const QString& text, const QString& requested) {
    if (suppressed) {
        LogMessage("Not shown while ending: " + Cp1252(text), lkInfo);
        return false;
    }
    const QString caption = requested.isEmpty() ? QString::fromLatin1(kProductName) : requested;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (kind) {
    case TBoxKind::Plain: break;
    case TBoxKind::Information: icon = QMessageBox::Information; break;
    case TBoxKind::Warning: icon = QMessageBox::Warning; break;
    case TBoxKind::Error: icon = QMessageBox::Critical; break;
    case TBoxKind::Question:
        icon = QMessageBox::Question;
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case TBoxKind::WarningQuestion:
        icon = QMessageBox::Warning;
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    }
    QMessageBox box(icon, caption, text, buttons, parent);
    // A text may carry a server's words (a refusal, a reply): it is shown as
    // it is, never read as markup that could name files to load.
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

bool TQtMessages::Confirm(const std::string& text) { return ShowMessageBox(parent_, TBoxKind::Question, QText(text)); }

bool TQtMessages::WarnYesNo(const std::string& text) {
    return ShowMessageBox(parent_, TBoxKind::WarningQuestion, QText(text));
}

void TQtMessages::Info(const std::string& text) { ShowMessageBox(parent_, TBoxKind::Information, QText(text)); }

void TQtMessages::Error(const std::string& text) { ShowMessageBox(parent_, TBoxKind::Error, QText(text)); }

}  // namespace qv::ui
