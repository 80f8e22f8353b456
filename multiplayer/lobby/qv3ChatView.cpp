#include "multiplayer/lobby/qv3ChatView.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <utility>
#include <vector>

#include "frontend/qv3QtText.h"

namespace qv {

TChatView::TChatView(QTextBrowser* view) : QObject(view), view_(view) {}

void TChatView::Append(const std::string& html, bool keep) {
    pending_.push_back({html, keep});
    QueueAppend();
}

void TChatView::QueueAppend() {
    if (appendQueued_) return;
    appendQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        appendQueued_ = false;
        AppendPending(kAppendBudgetMs);
    });
}

void TChatView::AppendPending(int budgetMs) {
    if (pending_.empty()) return;
    // Lines a flood pushes out before they are shown are not added at all.
    std::size_t drop = pending_.size() > static_cast<std::size_t>(kMaxChatLines)
                           ? pending_.size() - static_cast<std::size_t>(kMaxChatLines)
                           : 0;
    for (auto it = pending_.begin(); drop > 0 && it != pending_.end();) {
        if (it->Keep) {
            ++it;
            continue;
        }
        it = pending_.erase(it);
        --drop;
    }
    QScrollBar* bar = view_->verticalScrollBar();
    const bool follow = bar->value() + bar->pageStep() > bar->maximum() + bar->pageStep() - 30;
    QElapsedTimer spent;
    spent.start();
    QTextCursor cursor(view_->document());
    cursor.beginEditBlock();
    while (!pending_.empty() && (budgetMs < 0 || spent.elapsed() < budgetMs)) {
        cursor.movePosition(QTextCursor::End);
        // One block per line; the first fills the empty block the chat starts with.
        if (chatLines_ > 0) cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        cursor.setCharFormat(QTextCharFormat());
        cursor.insertHtml(QText(pending_.front().Html));
        pending_.pop_front();
        ++chatLines_;
    }
    cursor.endEditBlock();
    Trim();
    if (follow) bar->setValue(bar->maximum());
    if (!pending_.empty()) QueueAppend();
}

void TChatView::Trim() {
    if (chatLines_ <= kMaxChatLines) return;
    QTextDocument* doc = view_->document();
    const auto hasOpenLink = [](const QTextBlock& block) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor() && !format.anchorHref().isEmpty()) return true;
        }
        return false;
    };
    // The oldest lines go, except those with an open link.
    std::vector<std::pair<int, int>> ranges;
    int excess = chatLines_ - kMaxChatLines;
    for (QTextBlock block = doc->findBlock(headerEnd_); block.isValid() && excess > 0; block = block.next()) {
        const QTextBlock next = block.next();
        if (!next.isValid()) break;  // the newest line stays
        if (hasOpenLink(block)) continue;
        if (!ranges.empty() && ranges.back().second == block.position())
            ranges.back().second = next.position();
        else
            ranges.emplace_back(block.position(), next.position());
        --excess;
        --chatLines_;
    }
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (auto r = ranges.rbegin(); r != ranges.rend(); ++r) {
        cursor.setPosition(r->first);
        cursor.setPosition(r->second, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.endEditBlock();
}

void TChatView::AppendHeader(const std::string& html) {
    Flush();
    QTextCursor cursor(view_->document());
    cursor.beginEditBlock();
    cursor.setPosition(headerEnd_);
    cursor.setCharFormat(QTextCharFormat());
    cursor.insertHtml(QText(html));
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    headerEnd_ = cursor.position();
    cursor.endEditBlock();
}

bool TChatView::DisableLinks(const std::function<bool(const std::string&, const std::string&)>& match) {
    bool any = false;
    Flush();
    QTextDocument* doc = view_->document();
    for (QTextBlock block = doc->lastBlock(); block.isValid(); block = block.previous()) {
        std::vector<QTextFragment> fragments;
        for (auto it = block.begin(); !it.atEnd(); ++it) fragments.push_back(it.fragment());
        for (auto f = fragments.rbegin(); f != fragments.rend(); ++f) {
            const QTextCharFormat format = f->charFormat();
            if (!format.isAnchor() || format.anchorHref().isEmpty()) continue;
            const QStringList names = format.anchorNames();
            const std::string name = names.isEmpty() ? std::string() : Cp1252(names.first());
            if (!match(name, Cp1252(format.anchorHref()))) continue;
            QTextCursor cursor(doc);
            cursor.setPosition(f->position());
            cursor.setPosition(f->position() + f->length(), QTextCursor::KeepAnchor);
            QTextCharFormat disabled;
            disabled.setAnchorHref(QString());
            cursor.mergeCharFormat(disabled);
            any = true;
        }
    }
    return any;
}

void TChatView::Repaint() {
    if (repaintQueued_) return;
    repaintQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        repaintQueued_ = false;
        QTextDocument* doc = view_->document();
        doc->markContentsDirty(0, doc->characterCount());
    });
}

}  // namespace qv
