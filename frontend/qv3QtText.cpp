#include "frontend/qv3QtText.h"

#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"

namespace qv {

QString QText(const std::string& cp1252) {
    const std::string utf8 = Cp1252ToUtf8(cp1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Cp1252(const QString& text) { return Utf8ToCp1252(text.toUtf8().toStdString()); }

QString LangQText(int n) { return QText(LangText(n)); }

}  // namespace qv
