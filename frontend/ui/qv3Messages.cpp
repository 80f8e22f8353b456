#include "frontend/ui/qv3Messages.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QString>
#include <QTranslator>

#include <array>
#include <memory>

#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"

namespace qv::ui {

namespace {
bool suppressed = false;
bool Suppressed(const std::string& text) {
    if (suppressed) LogMessage("Not shown while ending: " + text, lkInfo);
    return suppressed;
}
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

QString QText(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }
std::string Cp1252(const QString& text) { return Utf8ToCp1252(text.toStdString()); }

bool TQtMessages::Confirm(const std::string& text) {
    if (Suppressed(text)) return false;
    return QMessageBox::question(parent_, "Quorvex", QText(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool TQtMessages::WarnYesNo(const std::string& text) {
    if (Suppressed(text)) return false;
    return QMessageBox::warning(parent_, "Quorvex", QText(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void TQtMessages::Info(const std::string& text) {
    if (!Suppressed(text)) QMessageBox::information(parent_, "Quorvex", QText(text));
}

void TQtMessages::Error(const std::string& text) {
    if (!Suppressed(text)) QMessageBox::critical(parent_, "Quorvex", QText(text));
}

}  // namespace qv::ui
