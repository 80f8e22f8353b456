// The document rich text from outside the program goes into (the lobby's
// welcome text and chat): it loads nothing itself. A picture, style sheet
// or any other resource its markup names shows only when the program added
// it with addResource (the emoticons it downloaded); every other name, a
// local path, a file:, qrc: or data: address or a web address alike, is
// refused without being opened, and a picture shows as a blank one. Links
// stay links.
#pragma once

#include <QTextDocument>

namespace qv::ui {

class TOutsideTextDocument final : public QTextDocument {
public:
    explicit TOutsideTextDocument(QObject* parent = nullptr) : QTextDocument(parent) {}

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

}  // namespace qv::ui
