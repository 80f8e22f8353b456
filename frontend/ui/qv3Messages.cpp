#include "frontend/ui/qv3Messages.h"

#include <QMessageBox>
#include <QString>

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
