#include "frontend/ui/qv3OutsideText.h"

#include <QImage>
#include <QUrl>
#include <QVariant>

namespace qv::ui {

QVariant TOutsideTextDocument::loadResource(int type, const QUrl&) {
    // Only what addResource stored reaches the layout (resource() looks
    // there first). The toolkit's picture handler opens a name itself when
    // the document gives it no picture, so a picture is never left empty:
    // it gets a blank one, the size the markup asks for.
    if (type == QTextDocument::ImageResource) {
        static const QImage blank = [] {
            QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            return image;
        }();
        return blank;
    }
    return QVariant();
}

}  // namespace qv::ui
