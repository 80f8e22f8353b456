// Rich text from outside (a server's welcome text, a refusal in a message
// box) opens no local file: every way markup names a resource, pointed at a
// FIFO (an open would hang) and at a picture file (an open is seen), laid
// out and painted, opens neither. Pictures the program added still show,
// and links stay links.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>

#include <unistd.h>

#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3OutsideText.h"
#include "tests/frontend/QtApp.h"
#include "tests/support/OpenWatch.h"

namespace qv::ui {
namespace {

// Every way the toolkit's markup names something to load; %1 is the path.
const char* const kNamingMarkup[] = {
    "<img src=\"%1\">",
    "<img src=\"file://%1\" width=20 height=20>",
    "<p>a <img src=\"%1\" width=12 height=12> b</p>",
    "<link rel=\"stylesheet\" type=\"text/css\" href=\"%1\"><p>styled</p>",
    "<style>@import url(\"%1\");</style><p>imported</p>",
    "<body background=\"%1\"><p>body</p></body>",
    "<table background=\"%1\"><tr><td background=\"%1\">cell</td></tr></table>",
    "<p style=\"background-image: url(%1)\">styled background</p>",
    "<ul style=\"list-style-image: url(%1)\"><li>item</li></ul>",
};

// Lays the document out and paints it, as the window does when shown.
void ShowAndPaint(QTextBrowser& view) {
    view.resize(300, 200);
    view.show();
    QApplication::processEvents();
    (void)view.grab();
    view.document()->markContentsDirty(0, view.document()->characterCount());
    (void)view.grab();
    QApplication::processEvents();
}

TEST(OutsideText, MarkupNamingLocalFilesOpensNothing) {
    test::QtApp();
    test::TOpenWatch watch;
    for (const char* markup : kNamingMarkup) {
        for (const std::string& path : {watch.Fifo(), watch.File()}) {
            QTextBrowser view;
            view.setDocument(new TOutsideTextDocument(&view));
            view.setHtml(QString::fromLatin1(markup).arg(QString::fromStdString(path)));
            QTextCursor cursor(view.document());
            cursor.movePosition(QTextCursor::End);
            cursor.insertHtml(QString::fromLatin1(markup).arg(QString::fromStdString(path)));
            ShowAndPaint(view);
            EXPECT_EQ(watch.FifoOpens(), 0) << markup;
            EXPECT_EQ(watch.FileOpens(), 0) << markup << " " << path;
        }
    }
    // A name relative to the current folder is not looked for there either.
    char* saved = ::getcwd(nullptr, 0);
    ASSERT_NE(saved, nullptr);
    const std::string folder = watch.File().substr(0, watch.File().rfind('/'));
    ASSERT_EQ(::chdir(folder.c_str()), 0);
    {
        QTextBrowser view;
        view.setDocument(new TOutsideTextDocument(&view));
        view.setHtml("<img src=\"fifo.png\"><img src=\"file.png\"><img src=\"file:file.png\">");
        ShowAndPaint(view);
    }
    ASSERT_EQ(::chdir(saved), 0);
    std::free(saved);
    EXPECT_EQ(watch.FifoOpens(), 0);
    EXPECT_EQ(watch.FileOpens(), 0);
}

TEST(OutsideText, AddedPicturesShowAndLinksStayLinks) {
    test::QtApp();
    QTextBrowser view;
    view.setDocument(new TOutsideTextDocument(&view));
    view.document()->setDocumentMargin(0);
    QImage green(10, 10, QImage::Format_ARGB32);
    green.fill(Qt::green);
    const QUrl added("http://lobby.test/emoticons/0.gif");
    view.document()->addResource(QTextDocument::ImageResource, added, green);
    view.setHtml("<img src=\"http://lobby.test/emoticons/0.gif\"><img src=\"http://elsewhere.test/1.gif\" "
                 "width=10 height=10><a href=\"http://lobby.test/page\">page</a>");
    ShowAndPaint(view);
    const QImage shot = view.viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::green));
    // The picture nobody added is blank: the background shows through.
    EXPECT_EQ(shot.pixelColor(15, 5), view.viewport()->palette().color(QPalette::Base));
    bool link = false;
    for (auto it = view.document()->begin().begin(); !it.atEnd(); ++it) {
        const QTextCharFormat f = it.fragment().charFormat();
        link = link || (f.isAnchor() && f.anchorHref() == "http://lobby.test/page");
    }
    EXPECT_TRUE(link);
    // A picture that arrives later replaces the blank one.
    QImage red(10, 10, QImage::Format_ARGB32);
    red.fill(Qt::red);
    view.document()->addResource(QTextDocument::ImageResource, QUrl("http://elsewhere.test/1.gif"), red);
    view.document()->markContentsDirty(0, view.document()->characterCount());
    ShowAndPaint(view);
    EXPECT_EQ(view.viewport()->grab().toImage().pixelColor(15, 5), QColor(Qt::red));
}

TEST(OutsideText, MessageBoxesShowMarkupAsText) {
    test::QtApp();
    test::TOpenWatch watch;
    const QString text = QString("<img src=\"%1\"><img src=\"%2\"> refused")
                             .arg(QString::fromStdString(watch.Fifo()), QString::fromStdString(watch.File()));
    for (const TBoxKind kind : {TBoxKind::Plain, TBoxKind::Information, TBoxKind::Warning, TBoxKind::Error,
                                TBoxKind::Question, TBoxKind::WarningQuestion}) {
        Qt::TextFormat format = Qt::AutoText;
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            format = box->textFormat();
            (void)box->grab();
            for (QLabel* label : box->findChildren<QLabel*>())
                if (label->text() == text) shown = label->text();
            box->reject();
        });
        EXPECT_FALSE(ShowMessageBox(nullptr, kind, text));
        EXPECT_EQ(format, Qt::PlainText);
        EXPECT_EQ(shown, text);
    }
    EXPECT_EQ(watch.FifoOpens(), 0);
    EXPECT_EQ(watch.FileOpens(), 0);
}

}  // namespace
}  // namespace qv::ui
