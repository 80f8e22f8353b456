#include "multiplayer/lobby/qv3MultiPlayer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <string_view>

#include "foundation/TextUtil.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/forms/qv3OnlineForms.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/qv3QtText.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3OutsideText.h"
#include "game/assets/qv3Resources.h"
#include "multiplayer/lobby/qv3DPConsts.h"
#include "multiplayer/lobby/qv3LogIn.h"
#include "multiplayer/qv3RunDuel.h"

namespace qv {

namespace {

// & < > " as entities: what comes from the network is text, never markup.
std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A dotted address or a host name.
bool IsHostAddress(std::string_view address) {
    if (address.empty() || address.size() > 253) return false;
    return std::all_of(address.begin(), address.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    });
}

constexpr const char* kAccept = "accept:";
constexpr const char* kRefuse = "refuse:";
constexpr const char* kCancel = "cancel:";

// Which of the three invitation links `href` is (its prefix), or empty.
std::string_view LinkAction(std::string_view href) {
    for (const std::string_view action : {kAccept, kRefuse, kCancel}) {
        if (href.starts_with(action)) return action;
    }
    return {};
}

// Sorted by caption without regard to case, as the list view of the
// system the lobby comes from sorts.
class TPlayerItem final : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
    }
};

// One of the two state pictures of the players list: in the room, in a duel.
QIcon PlayerStateIcon(const std::function<std::string(const std::string&)>& source, int state) {
    const std::string bytes = source("lobbyplayer" + std::to_string(state) + ".png");
    QPixmap pixmap;
    if (bytes.empty() ||
        !pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<uint>(bytes.size())))
        return QIcon();
    return QIcon(pixmap);
}

bool HostsKnown() { return !Environment.ChatHost.empty() && !Environment.InternalHost.empty(); }

// The program's own routines for what the caller left empty.
void FillProgramDefaults(TLobbyServices& s) {
    const auto fill = [](auto& service, auto routine) {
        if (!service) service = std::move(routine);
    };
    // Online is all that is asked here: the hosts may still be on their
    // way, and are waited for where an address needs them.
    fill(s.CheckInternet, [](bool showError) {
        AutoDialInternet();
        return IsInternetConnected() || CheckInternet(showError);
    });
    fill(s.WaitForHosts, [](QObject* context, std::function<void(bool)> then) {
        if (HostsKnown()) {
            ResolveHostsInBackground();  // a newer list, once it is there
            then(true);
            return;
        }
        WhenHostsResolved(context, [then = std::move(then)](bool resolved) { then(resolved && HostsKnown()); });
    });
    fill(s.HttpGet, [](const std::string& url, std::size_t maxBytes) { return HttpGetBytes(url, maxBytes); });
    fill(s.OpenURL, [](const std::string& url) { OpenURL(url); });
    fill(s.SendEmailCard, [](QWidget* owner) {
        TfrmEmailCard card(nullptr, owner);
        card.exec();
    });
    fill(s.LogIn, RunLogInDialog);
    fill(s.Flash, [](QWidget* window) {
        QApplication::beep();
        QApplication::alert(window);
    });
    fill(s.Picture, [](const std::string& name) {
        try {
            const auto bytes = GameResources ? GameResources->ProgramResource(kSharedResourceType, name) : std::nullopt;
            return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
        } catch (const std::exception& e) {
            LogMessage("Lobby picture " + name + " unavailable: " + e.what(), lkWarning);
            return std::string();
        }
    });
    fill(s.RunDuel, [](QWidget*, const std::string&, const std::string&, TGuid&, std::int32_t&) -> int {
        throw Exception("the program has no duel");
    });
}

}  // namespace

const char* const TfrmMultiPlayer::kChatStyleSheet =
    "BODY  {font-family : Arial, Helvetica, sans-serif; font-size : x-small;}TABLE  {font-family : Arial, Helvetica, "
    "sans-serif; font-size : x-small;}.alias {color: Blue; font-weight: bold}.aliaspriv {color: Red; font-weight: "
    "bold}.myself {color: Green; font-weight: bold}.info {font-weight: bold}.invite {font-weight: bold}";

TfrmMultiPlayer::TfrmMultiPlayer(TLobbyServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)) {
    FillProgramDefaults(services_);
    if (!services_.ShowMessage) {
        services_.ShowMessage = [this](const std::string& text) {
            ui::ShowMessageBox(this, ui::TBoxKind::Information, QText(text), windowTitle());
        };
    }
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    resize(480, 440);
    setMinimumSize(450, 350);
    setWindowTitle(LangQText(418));

    actConnect = new QAction(LangQText(400), this);
    actConnect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    actInviteDuel = new QAction(LangQText(409), this);
    actInviteDuel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    actECard = new QAction(LangQText(410), this);
    miFileClose = new QAction(LangQText(412), this);
    miOnlineSupport = new QAction(LangQText(415), this);
    addAction(actConnect);
    addAction(actInviteDuel);

    auto* menu = new QMenuBar(this);
    QMenu* miFile = menu->addMenu(LangQText(411));
    miFile->addAction(actConnect);
    miFile->addSeparator();
    miFile->addAction(miFileClose);
    QMenu* miDuel = menu->addMenu(LangQText(413));
    miDuel->addAction(actInviteDuel);
    miDuel->addAction(actECard);
    QMenu* miHelp = menu->addMenu(LangQText(414));
    miHelp->addAction(miOnlineSupport);

    brwMessages = new QTextBrowser(this);
    // The welcome text is the server's markup: it loads no picture but the
    // emoticons added below, and no file at all.
    brwMessages->setDocument(new ui::TOutsideTextDocument(brwMessages));
    brwMessages->setOpenLinks(false);
    brwMessages->setOpenExternalLinks(false);
    brwMessages->setFocusPolicy(Qt::NoFocus);
    brwMessages->document()->setDefaultStyleSheet(QString::fromLatin1(kChatStyleSheet));
    memMessage = new QLineEdit(this);
    btnSend = new QPushButton(LangQText(408), this);
    btnSend->setDefault(true);
    btnSend->setAutoDefault(true);

    lvPlayers = new QTreeWidget(this);
    lvPlayers->setColumnCount(2);
    lvPlayers->setHeaderLabels({LangQText(416), LangQText(417)});
    lvPlayers->setRootIsDecorated(false);
    lvPlayers->setSelectionMode(QAbstractItemView::SingleSelection);
    lvPlayers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvPlayers->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lvPlayers->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    lvPlayers->header()->setStretchLastSection(false);
    lvPlayers->setColumnWidth(1, 70);
    lvPlayers->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    lvPlayers->setSortingEnabled(true);
    lvPlayers->sortByColumn(0, Qt::AscendingOrder);
    lvPlayers->setToolTip(QStringLiteral("Double-click on player to invite for a duel"));
    lvPlayers->setMaximumWidth(170);

    sbStatus = new QStatusBar(this);
    sbState = new QLabel(sbStatus);
    sbState->setFixedWidth(120);
    sbName = new QLabel(sbStatus);
    sbName->setTextFormat(Qt::PlainText);
    sbName->setFixedWidth(80);
    sbStatus->addWidget(sbState);
    sbStatus->addWidget(sbName);
    sbStatus->setSizeGripEnabled(false);

    auto* typing = new QHBoxLayout;
    typing->addWidget(memMessage, 1);
    typing->addWidget(btnSend);
    auto* chat = new QVBoxLayout;
    chat->addWidget(brwMessages, 1);
    chat->addLayout(typing);
    auto* middle = new QHBoxLayout;
    middle->addLayout(chat, 1);
    middle->addWidget(lvPlayers);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu);
    layout->addLayout(middle, 1);
    layout->addWidget(sbStatus);

    TimerStatusBar = new QTimer(this);
    TimerStatusBar->setInterval(500);
    connect(TimerStatusBar, &QTimer::timeout, this, [this] {
        UpdateStatusBar();
        UpdateActions();
    });
    TimerStatusBar->start();

    connect(actConnect, &QAction::triggered, this, &TfrmMultiPlayer::actConnectExecute);
    connect(actInviteDuel, &QAction::triggered, this, &TfrmMultiPlayer::actInviteDuelExecute);
    connect(actECard, &QAction::triggered, this, &TfrmMultiPlayer::actECardExecute);
    connect(miFileClose, &QAction::triggered, this, &QDialog::close);
    connect(miOnlineSupport, &QAction::triggered, this, &TfrmMultiPlayer::miOnlineSupportClick);
    connect(btnSend, &QPushButton::clicked, this, &TfrmMultiPlayer::actSendMessageExecute);
    connect(memMessage, &QLineEdit::returnPressed, this, &TfrmMultiPlayer::actSendMessageExecute);
    connect(lvPlayers, &QTreeWidget::itemDoubleClicked, this, [this] {
        UpdateActions();
        if (actInviteDuel->isEnabled()) actInviteDuelExecute();
    });
    connect(lvPlayers, &QTreeWidget::itemSelectionChanged, this, &TfrmMultiPlayer::UpdateActions);
    connect(brwMessages, &QTextBrowser::anchorClicked, this, &TfrmMultiPlayer::LinkClicked);
    // Ctrl+C is Connect/Disconnect everywhere in the window; only a field
    // with selected text copies with it.
    memMessage->installEventFilter(this);

    for (int i = 0; i < 2; ++i) stateIcons_[i] = PlayerStateIcon(services_.Picture, i);
    UpdateStatusBar();
    UpdateActions();
    QMetaObject::invokeMethod(this, &TfrmMultiPlayer::StartLobby, Qt::QueuedConnection);
}

TfrmMultiPlayer::~TfrmMultiPlayer() {
    AbortDownloads();
    if (client_) client_->disconnect(this);
    client_.reset();
}

void TfrmMultiPlayer::ShowMessage(const std::string& text) {
    ShowWhenFree([this, text] { services_.ShowMessage(text); });
}

void TfrmMultiPlayer::ShowWhenFree(std::function<void()> show) {
    // A box opened inside the duel's pump would stop that player's duel.
    if (inDuel_) {
        held_.push_back(std::move(show));
        return;
    }
    show();
}

bool TfrmMultiPlayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == memMessage && event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) && !memMessage->hasSelectedText()) {
            // Not taken by the field: the window's shortcut runs.
            event->ignore();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmMultiPlayer::StartLobby() {
    try {
        UpdateStatusBar();
        client_ = std::make_unique<TQVXDPClient>(services_.Client);
        connect(client_.get(), &TQVXDPClient::ChatLine, this, &TfrmMultiPlayer::ShowChatLine);
        connect(client_.get(), &TQVXDPClient::Invitation, this, &TfrmMultiPlayer::OnInvitation);
        connect(client_.get(), &TQVXDPClient::InvitationAnswer, this, &TfrmMultiPlayer::OnInvitationAnswer);
        connect(client_.get(), &TQVXDPClient::PlayersChanged, this, &TfrmMultiPlayer::FillPlayers);
        connect(client_.get(), &TQVXDPClient::SessionLost, this, &TfrmMultiPlayer::OnSessionLost);
        connect(client_.get(), &TQVXDPClient::Connected, this, &TfrmMultiPlayer::OnConnected);
        connect(client_.get(), &TQVXDPClient::Error, this, &TfrmMultiPlayer::OnError);
        if (!services_.CheckInternet(true)) {
            close();
            return;
        }
        actConnectExecute();
    } catch (const std::exception& e) {
        LogMessage(std::string("Unable to start the lobby: ") + e.what(), lkWarning);
        close();
    }
}

void TfrmMultiPlayer::actConnectExecute() {
    if (!client_) return;
    if (client_->State() != TQVXDPClient::stIdle) {
        try {
            client_->Disconnect();
        } catch (const std::exception&) {
            // Logged on the way out.
        }
        UpdateStatusBar();
        FillPlayers();
        return;
    }
    if (Environment.LobbyLoginKey.empty()) {
        if (!services_.LogIn(this)) return;
    }
    if (waitingForHosts_) return;  // connects once they are there
    WithHosts([this] { ConnectNow(); });
}

void TfrmMultiPlayer::ConnectNow() {
    if (!client_ || client_->State() != TQVXDPClient::stIdle) return;
    UpdateStatusBar();
    try {
        client_->Connect(Environment.ChatHost.Str(), Environment.LobbyLoginKey.Str(), Environment.LobbyAlias.Str());
    } catch (const std::exception& e) {
        ShowMessage(LangText(361) + "\r" + e.what());
    }
    UpdateStatusBar();
    UpdateActions();
}

void TfrmMultiPlayer::WithHosts(std::function<void()> then) {
    waitingForHosts_ = true;
    UpdateStatusBar();
    UpdateActions();
    services_.WaitForHosts(this, [this, then = std::move(then)](bool known) {
        waitingForHosts_ = false;
        if (known) {
            then();
        } else {
            LogMessage("The lobby has no hosts to connect to", lkWarning);
            ShowMessage(LangText(361));
        }
        UpdateStatusBar();
        UpdateActions();
    });
}

void TfrmMultiPlayer::UpdateStatusBar() {
    // Waiting for the hosts is the first part of searching.
    const int state = waitingForHosts_ ? TQVXDPClient::stFindingServer : client_ ? client_->State() : 0;
    sbState->setText(LangQText(394 + state));
    sbName->setText(client_ ? QText(client_->LoginName()) : QString());
}

void TfrmMultiPlayer::UpdateActions() {
    const bool busy = waitingForHosts_ || (client_ && client_->State() != TQVXDPClient::stIdle);
    actConnect->setText(LangQText(busy ? 401 : 400));
    const std::string selected = SelectedCaption();
    actInviteDuel->setEnabled(client_ && client_->State() == TQVXDPClient::stLoggedIn && !selected.empty() &&
                              selected != client_->LoginName() && !HasOtherOpenInvitation(selected));
}

std::string TfrmMultiPlayer::SelectedCaption() const {
    const auto items = lvPlayers->selectedItems();
    return items.isEmpty() ? std::string() : Cp1252(items.first()->text(0));
}

bool TfrmMultiPlayer::HasPlayer(const std::string& caption) const {
    return !lvPlayers->findItems(QText(caption), Qt::MatchFixedString, 0).isEmpty();
}

void TfrmMultiPlayer::OnConnected() {
    UpdateStatusBar();
    UpdateActions();
    if (!firstConnect_) return;
    firstConnect_ = false;
    WithHosts([this] { StartDownloads(); });
}

int TfrmMultiPlayer::RunningDownloads() const {
    return static_cast<int>(
        std::count_if(transfers_.begin(), transfers_.end(), [](const auto& t) { return !t->Finished(); }));
}

void TfrmMultiPlayer::Fetch(const std::string& url, std::size_t maxBytes,
                            std::function<void(bool ok, std::string reply)> done) {
    TTransferDone finished = [this, done = std::move(done)](const TTransferOutcome& outcome) {
        std::erase_if(transfers_, [](const auto& t) { return t->Finished(); });
        done(outcome.Ok, outcome.Ok ? outcome.Reply : std::string());
    };
    transfers_.push_back(StartTransfer(
        [get = services_.HttpGet, url, maxBytes] {
            std::string reply = get(url, maxBytes);
            if (reply.size() > maxBytes) throw EInetError("Reply too large: " + url);
            return reply;
        },
        std::move(finished), this));
}

void TfrmMultiPlayer::AbortDownloads() {
    for (const auto& t : transfers_) t->Abort();
    transfers_.clear();
}

void TfrmMultiPlayer::StartDownloads() {
    // In the order they were always asked for: the list, its pictures, then
    // the welcome text. The room is open meanwhile.
    Fetch(InternalPrefix() + "emoticons/list.txt", kMaxListBytes,
          [this](bool ok, std::string reply) { EmoticonListFetched(ok, NormalizeLineBreaks(reply)); });
}

void TfrmMultiPlayer::EmoticonListFetched(bool ok, const std::string& reply) {
    if (!ok) {
        LogMessage("Unable to fetch emoticons", lkWarning);
        AppendHeader(LangText(391));
        StartWelcomeFetch();
        return;
    }
    // Lines shown before now stay as they were; later ones get the pictures.
    emoticons_ = SplitLines(reply);
    if (emoticons_.size() > kMaxEmoticons) emoticons_.resize(kMaxEmoticons);
    for (std::size_t i = 0; i < emoticons_.size(); ++i)
        if (!TrimText(emoticons_[i]).empty()) pictureQueue_.push_back(i);
    FetchNextPictures();
}

void TfrmMultiPlayer::FetchNextPictures() {
    // The view fetches nothing itself: each picture is downloaded once and
    // handed to the document under the address the chat HTML names.
    while (!pictureQueue_.empty() && picturesRunning_ < kEmoticonsAtOnce) {
        const std::size_t i = pictureQueue_.front();
        pictureQueue_.pop_front();
        ++picturesRunning_;
        const std::string url = InternalPrefix() + "emoticons/" + std::to_string(i) + ".gif";
        Fetch(url, kMaxPictureBytes, [this, i, url](bool ok, std::string reply) {
            --picturesRunning_;
            QImage image;
            if (ok && image.loadFromData(reinterpret_cast<const uchar*>(reply.data()), static_cast<int>(reply.size()))) {
                brwMessages->document()->addResource(QTextDocument::ImageResource, QUrl(QText(url)), image);
                RepaintPictures();
            } else {
                LogMessage("Unable to fetch emoticon " + std::to_string(i), lkInfo);
            }
            FetchNextPictures();
        });
    }
    if (pictureQueue_.empty() && picturesRunning_ == 0) StartWelcomeFetch();
}

void TfrmMultiPlayer::RepaintPictures() {
    // Once per turn of the event loop, however many pictures came in it.
    if (repaintQueued_) return;
    repaintQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        repaintQueued_ = false;
        QTextDocument* doc = brwMessages->document();
        doc->markContentsDirty(0, doc->characterCount());
    });
}

void TfrmMultiPlayer::StartWelcomeFetch() {
    if (welcomeStarted_) return;
    welcomeStarted_ = true;
    Fetch(InternalPrefix() + "chatmsg.txt", kMaxWelcomeBytes, [this](bool ok, std::string reply) {
        if (ok)
            AppendHeader(NormalizeLineBreaks(reply));
        else
            LogMessage("Unable to fetch chat msg", lkWarning);
    });
}

void TfrmMultiPlayer::OnError(std::uint8_t code, const std::string& text) {
    if (code == lrInvalidName || code == lrNameExists) {
        Environment.LobbyLoginKey = std::string_view();
        ShowMessage(LangText(392));
    } else {
        ShowMessage(LangText(361) + "\r" + (text.empty() ? ReasonToText(code) : text));
    }
    UpdateStatusBar();
    UpdateActions();
}

void TfrmMultiPlayer::OnSessionLost() {
    ShowMessage(LangText(393));
    DisconnectAndClear();
    UpdateStatusBar();
    FillPlayers();
}

void TfrmMultiPlayer::DisconnectAndClear() {
    if (client_) {
        try {
            client_->Disconnect();
        } catch (const std::exception&) {
            // Logged on the way out.
        }
    }
    lvPlayers->clear();
}

void TfrmMultiPlayer::FillPlayers() {
    const std::string selected = SelectedCaption();
    lvPlayers->setUpdatesEnabled(false);
    lvPlayers->setSortingEnabled(false);
    lvPlayers->clear();
    if (client_) {
        for (const TRoomPlayer& p : client_->PlayersSnapshot()) {
            auto* item = new TPlayerItem(lvPlayers);
            item->setText(0, QText(p.Name));
            item->setIcon(0, stateIcons_[p.Status == 1 ? 1 : 0]);
            item->setData(0, Qt::UserRole, p.Status);
            if (p.Rank > 0) item->setText(1, QString::number(p.Rank));
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    lvPlayers->setSortingEnabled(true);
    lvPlayers->sortByColumn(0, Qt::AscendingOrder);
    if (!selected.empty()) {
        const auto found = lvPlayers->findItems(QText(selected), Qt::MatchFixedString, 0);
        if (!found.isEmpty()) found.first()->setSelected(true);
    }
    lvPlayers->setUpdatesEnabled(true);
    DropStaleInvitations();
    UpdateStatusBar();
    UpdateActions();
}

std::string TfrmMultiPlayer::RenderChatText(const std::string& text) const {
    std::vector<std::string> codes;
    for (const auto& line : emoticons_) codes.push_back(LowerAscii(TrimText(line)));
    const std::string lower = LowerAscii(text);
    const std::string prefix = EscapeHtml(Environment.InternalHost.Str() + Environment.InternalBase.Str());
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        bool replaced = false;
        for (std::size_t i = 0; i < codes.size(); ++i) {
            if (codes[i].empty() || lower.compare(at, codes[i].size(), codes[i]) != 0) continue;
            out += "<img src=\"http://" + prefix + "emoticons/" + std::to_string(i) + ".gif\" width=12 height=12>";
            at += codes[i].size();
            replaced = true;
            break;
        }
        if (!replaced) out += EscapeHtml(std::string_view(text).substr(at++, 1));
    }
    return out;
}

void TfrmMultiPlayer::ShowChatLine(const std::string& text, std::uint8_t isPrivate, const std::string& alias) {
    if (inDuel_) return;
    // Cut before escaping and pictures, so no cut splits what they make.
    const std::string body = RenderChatText(text.substr(0, kMaxLineChars));
    const bool mine = client_ && alias == client_->LoginName();
    std::string prefix;
    if (!mine && isPrivate == 1) {
        prefix = "<font class=\"aliaspriv\">" + EscapeHtml(alias) + "</font> &gt; ";
        FlashLobby();
    } else if (!mine) {
        prefix = "<font class=\"alias\">" + EscapeHtml(alias) + "</font> &gt; ";
    } else if (isPrivate == 1) {
        prefix = "<font class=\"aliaspriv\">" + EscapeHtml(LangText(381)) + " " + EscapeHtml(SelectedCaption()) +
                 "</font> &gt; ";
    } else {
        prefix = "<font class=\"myself\">" + EscapeHtml(LangText(382)) + "</font> &gt; ";
    }
    AppendHtml(prefix + body);
}

void TfrmMultiPlayer::AppendHtml(const std::string& html) {
    if (inDuel_) return;
    pending_.push_back({html, false});
    if (appendQueued_) return;
    appendQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        appendQueued_ = false;
        AppendPending(kAppendBudgetMs);
    });
}

void TfrmMultiPlayer::AppendPending(int budgetMs) {
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
    QScrollBar* bar = brwMessages->verticalScrollBar();
    const bool follow = bar->value() + bar->pageStep() > bar->maximum() + bar->pageStep() - 30;
    QElapsedTimer spent;
    spent.start();
    QTextCursor cursor(brwMessages->document());
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
    TrimChat();
    if (follow) bar->setValue(bar->maximum());
    if (!pending_.empty() && !appendQueued_) {
        appendQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            appendQueued_ = false;
            AppendPending(kAppendBudgetMs);
        });
    }
}

void TfrmMultiPlayer::TrimChat() {
    if (chatLines_ <= kMaxChatLines) return;
    QTextDocument* doc = brwMessages->document();
    const auto hasOpenLink = [](const QTextBlock& block) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor() && !format.anchorHref().isEmpty()) return true;
        }
        return false;
    };
    // The oldest lines go, except those with an open invitation link.
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

void TfrmMultiPlayer::AppendHeader(const std::string& html) {
    FlushChat();
    QTextCursor cursor(brwMessages->document());
    cursor.beginEditBlock();
    cursor.setPosition(headerEnd_);
    cursor.setCharFormat(QTextCharFormat());
    cursor.insertHtml(QText(html));
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    headerEnd_ = cursor.position();
    cursor.endEditBlock();
}

void TfrmMultiPlayer::AppendInvitationText(const std::string& text) {
    AppendHtml("<font class=\"invite\">" + text + "</font>");
    // Only invitation lines carry links; an open one is never trimmed.
    if (text.find("<a ") != std::string::npos || text.find("<A ") != std::string::npos) pending_.back().Keep = true;
}

int TfrmMultiPlayer::AddLink(const std::string& alias, const std::string& address, bool cancel) {
    const int id = nextLink_++;
    links_[id] = TLink{alias, address, cancel};
    return id;
}

bool TfrmMultiPlayer::DisableLinks(const std::function<bool(const std::string&, const std::string&)>& match) {
    bool any = false;
    for (auto it = links_.begin(); it != links_.end();) {
        if (match(it->second.Alias, it->second.Cancel ? kCancel : kAccept))
            it = links_.erase(it);
        else
            ++it;
    }
    FlushChat();
    QTextDocument* doc = brwMessages->document();
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

bool TfrmMultiPlayer::DisableAnswerLinks(const std::string& alias) {
    return DisableLinks([&](const std::string& name, const std::string& href) {
        return SameTextNoCase(name, alias) || href.find(kAccept) != std::string::npos ||
               href.find(kRefuse) != std::string::npos;
    });
}

bool TfrmMultiPlayer::DisableCancelLinks(const std::string& alias) {
    return DisableLinks([&](const std::string& name, const std::string& href) {
        return SameTextNoCase(name, alias) || href.find(kCancel) != std::string::npos;
    });
}

void TfrmMultiPlayer::DisableAllInvitationLinks() {
    DisableLinks([](const std::string&, const std::string& href) {
        return href.find(kAccept) != std::string::npos || href.find(kRefuse) != std::string::npos ||
               href.find(kCancel) != std::string::npos;
    });
}

bool TfrmMultiPlayer::HasOtherOpenInvitation(const std::string& alias) const {
    return std::any_of(links_.begin(), links_.end(), [&](const auto& entry) {
        return entry.second.Cancel && !SameTextNoCase(entry.second.Alias, alias);
    });
}

void TfrmMultiPlayer::DropStaleInvitations() {
    // Only open links: a player who left long ago must not close the links
    // of today's invitations.
    std::vector<std::string> stale;
    for (const auto& [id, link] : links_)
        if (!HasPlayer(link.Alias) && std::find(stale.begin(), stale.end(), link.Alias) == stale.end())
            stale.push_back(link.Alias);
    for (const auto& name : stale) {
        DisableCancelLinks(name);
        DisableAnswerLinks(name);
    }
}

void TfrmMultiPlayer::actInviteDuelExecute() {
    if (!client_) return;
    const std::string alias = SelectedCaption();
    if (alias.empty()) return;
    client_->SendInvitation(alias, lobby::iaInvite);
    const std::string id = std::to_string(AddLink(alias, "", true));
    const std::string name = EscapeHtml(alias);
    AppendInvitationText(FormatS(LangText(386), {name, kCancel, id, name}));
    UpdateActions();
}

void TfrmMultiPlayer::OnInvitation(const std::string& alias, std::uint8_t action, const std::string& address) {
    if (!IsValidNickname(alias) || (action != lobby::iaCancel && !IsHostAddress(address))) {
        LogMessage("Ignored an invitation with an unusable name or address", lkInfo);
        return;
    }
    const std::string name = EscapeHtml(alias);
    if (action != lobby::iaCancel) {
        DisableAnswerLinks(alias);
        const std::string id = std::to_string(AddLink(alias, address, false));
        AppendInvitationText(FormatS(LangText(384), {name, kAccept, id, "", name, kRefuse, id, name}));
        FlashLobby();
    } else if (DisableAnswerLinks(alias)) {
        AppendInvitationText(FormatS(LangText(383), {name}));
    }
    UpdateActions();
}

void TfrmMultiPlayer::OnInvitationAnswer(const std::string& alias, std::uint8_t answer) {
    if (!DisableCancelLinks(alias)) return;
    const std::string name = EscapeHtml(alias);
    if (answer == lobby::iaRefuse) {
        AppendInvitationText(FormatS(LangText(388), {name}));
    } else {
        AppendInvitationText(FormatS(LangText(385), {name}));
        duelOpponent_ = alias;
        duelAddress_.clear();
        QMetaObject::invokeMethod(this, &TfrmMultiPlayer::StartDuel, Qt::QueuedConnection);
    }
    UpdateActions();
}

void TfrmMultiPlayer::LinkClicked(const QUrl& url) {
    // Other links (the welcome text's) open in the browser; the chat stays.
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) {
        const std::string address = url.toString(QUrl::FullyEncoded).toStdString();
        services_.OpenURL(address);
        return;
    }
    const std::string href = Cp1252(url.toString());
    if (LinkAction(href).empty()) return;
    linkQueue_.push_back(href);
    QMetaObject::invokeMethod(this, &TfrmMultiPlayer::HandleLinks, Qt::QueuedConnection);
}

void TfrmMultiPlayer::HandleLinks() {
    while (!linkQueue_.empty()) {
        const std::string href = linkQueue_.front();
        linkQueue_.pop_front();
        const std::string_view action = LinkAction(href);
        const std::string rest = href.substr(action.size());
        int id = 0;
        try {
            id = std::stoi(rest.substr(0, rest.find(':')));
        } catch (const std::exception&) {
            continue;
        }
        const auto it = links_.find(id);
        if (it == links_.end()) continue;  // used already
        const TLink link = it->second;
        links_.erase(it);
        const std::string name = EscapeHtml(link.Alias);
        if (action == kCancel) {
            DisableCancelLinks(link.Alias);
            if (client_) client_->SendInvitation(link.Alias, lobby::iaCancel);
            AppendInvitationText(FormatS(LangText(387), {name}));
        }
        if (action == kAccept) {
            DisableCancelLinks(link.Alias);
            DisableAnswerLinks(link.Alias);
            if (client_) client_->AnswerInvitation(link.Alias, lobby::iaAccept);
            AppendInvitationText(FormatS(LangText(389), {name}));
            duelOpponent_ = link.Alias;
            duelAddress_ = link.Address;
            QMetaObject::invokeMethod(this, &TfrmMultiPlayer::StartDuel, Qt::QueuedConnection);
        }
        if (action == kRefuse) {
            DisableAnswerLinks(link.Alias);
            AppendInvitationText(FormatS(LangText(390), {name}));
            if (client_) client_->AnswerInvitation(link.Alias, lobby::iaRefuse);
        }
    }
    UpdateActions();
}

void TfrmMultiPlayer::StartDuel() {
    if (inDuel_ || !client_) return;  // one duel at a time
    DisableAllInvitationLinks();
    inDuel_ = true;
    client_->SetPlaying(1);
    TimerStatusBar->stop();
    TGuid raceId;
    std::int32_t total = 0;
    int result = 0;
    std::string failure;
    try {
        result = services_.RunDuel(this, duelOpponent_, duelAddress_, raceId, total);
    } catch (const std::exception& e) {
        // As a lost connection: the reason shown, no outcome.
        LogMessage(std::string("The duel failed: ") + e.what(), lkWarning);
        failure = e.what();
        result = 0;
    }
    // Each send does nothing when the session was lost meanwhile.
    client_->SetPlaying(0);
    TimerStatusBar->start();
    inDuel_ = false;
    if (!failure.empty()) ShowMessage(LangText(361) + "\r" + failure);
    if (result == mp::kDuelWon) client_->SendDuelResult(duelOpponent_, raceId, true, total);
    if (result == mp::kDuelLost) client_->SendDuelResult(duelOpponent_, raceId, false, total);
    memMessage->setFocus();
    lvPlayers->clearSelection();
    UpdateStatusBar();
    UpdateActions();
    // What waited for the duel to end, in the order it came.
    auto held = std::move(held_);
    held_.clear();
    for (auto& show : held) show();
}

void TfrmMultiPlayer::actSendMessageExecute() {
    const std::string text = Cp1252(memMessage->text()).substr(0, 250);
    memMessage->clear();
    if (!client_ || text.empty()) return;
    try {
        const std::string selected = SelectedCaption();
        if (!selected.empty() && selected != client_->LoginName()) {
            client_->SendPrivateMessage(selected, text);
            ShowChatLine(text, 1, client_->LoginName());
        } else {
            client_->SendChat(text);
        }
    } catch (const std::exception&) {
        AppendHtml(LangText(398));
    }
}

void TfrmMultiPlayer::actECardExecute() {
    services_.SendEmailCard(this);
}

void TfrmMultiPlayer::miOnlineSupportClick() {
    WithHosts([this] {
        const std::string url = InternalPrefix() + "chatsupport.html";
        services_.OpenURL(url);
    });
}

void TfrmMultiPlayer::FlashLobby() {
    if (isActiveWindow()) return;
    services_.Flash(this);
}

void TfrmMultiPlayer::closeEvent(QCloseEvent* event) {
    AbortDownloads();
    DisconnectAndClear();
    QDialog::closeEvent(event);
}

void RunMultiPlayer(QWidget* owner, TLobbyServices services) {
    TfrmMultiPlayer form(std::move(services), owner);
    form.exec();
}

}  // namespace qv
