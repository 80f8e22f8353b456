// The lobby's chat view: lines of HTML added in batches (a time budget per
// turn of the event loop, so a flood never holds the window), the oldest
// trimmed beyond kMaxChatLines except those with an open link, texts kept
// above every line (the welcome text), and links disabled in place.
#pragma once

#include <QObject>

#include <cstddef>
#include <deque>
#include <functional>
#include <string>

class QTextBrowser;

namespace qv {

class TChatView : public QObject {
public:
    // The chat keeps this many lines (lines with open links stay beyond it).
    static constexpr int kMaxChatLines = 1000;
    // How long one turn of the event loop adds lines.
    static constexpr int kAppendBudgetMs = 12;

    // Shows its lines in `view`'s document, which it starts with.
    explicit TChatView(QTextBrowser* view);

    // Queues a line; `keep`: it holds an open link and is never trimmed.
    void Append(const std::string& html, bool keep = false);
    // Adds what is queued now, all of it.
    void Flush() { AppendPending(-1); }
    // `html` above every chat line, below what is there already.
    void AppendHeader(const std::string& html);
    // Disables, in the document, every link `match` picks by the anchor's
    // name and address (the text stays, the link goes); true if any.
    bool DisableLinks(const std::function<bool(const std::string& name, const std::string& href)>& match);
    // Lays the document out again (pictures came in), once per turn of the
    // event loop however often asked.
    void Repaint();

    std::size_t PendingLines() const { return pending_.size(); }
    // Lines in the view, not counting the texts at its top.
    int ChatLines() const { return chatLines_; }

private:
    struct TPendingLine {
        std::string Html;
        bool Keep = false;
    };
    // Adds queued lines for at most `budgetMs` (-1: all), then trims.
    void AppendPending(int budgetMs);
    void QueueAppend();
    void Trim();

    QTextBrowser* view_;
    std::deque<TPendingLine> pending_;
    bool appendQueued_ = false;
    bool repaintQueued_ = false;
    int headerEnd_ = 0;  // where the chat lines start in the document
    int chatLines_ = 0;
};

}  // namespace qv
