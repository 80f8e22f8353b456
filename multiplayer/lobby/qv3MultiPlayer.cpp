#include "multiplayer/lobby/qv3MultiPlayer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>
#include <string_view>

#include "foundation/TextUtil.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/forms/qv3OnlineForms.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/qv3QtText.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3OutsideText.h"
#include "game/assets/qv3Resources.h"
#include "multiplayer/lobby/qv3ChatText.h"
#include "multiplayer/lobby/qv3DPConsts.h"
#include "multiplayer/lobby/qv3LogIn.h"
#include "multiplayer/qv3RunDuel.h"

namespace qv {

namespace {

// A dotted address or a host name.
bool IsHostAddress(std::string_view address) {
    if (address.empty() || address.size() > 253) return false;
    return std::all_of(address.begin(), address.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
    });
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
    chat_ = new TChatView(brwMessages);
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

    TLobbyDownloads::TSink sink;
    // Lines shown before the list came stay as they were; later ones get the pictures.
    sink.Emoticons = [this](const std::vector<std::string>& codes) { emoticons_ = codes; };
    sink.Picture = [this](const std::string& url, const QImage& picture) {
        brwMessages->document()->addResource(QTextDocument::ImageResource, QUrl(QText(url)), picture);
        chat_->Repaint();
    };
    sink.Header = [this](const std::string& html) { AppendHeader(html); };
    downloads_ = new TLobbyDownloads(services_.HttpGet, std::move(sink), this);

    for (int i = 0; i < 2; ++i) stateIcons_[i] = PlayerStateIcon(services_.Picture, i);
    UpdateStatusBar();
    UpdateActions();
    QMetaObject::invokeMethod(this, &TfrmMultiPlayer::StartLobby, Qt::QueuedConnection);
}

TfrmMultiPlayer::~TfrmMultiPlayer() {
    downloads_->Abort();
    if (client_) client_->disconnect(this);
    client_.reset();
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
    WithHosts([this] { downloads_->Start(InternalPrefix()); });
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
    return qv::RenderChatText(text, emoticons_, InternalPrefix());
}

void TfrmMultiPlayer::ShowChatLine(const std::string& text, std::uint8_t isPrivate, const std::string& alias) {
    if (inDuel_) return;
    // Cut before escaping and pictures, so no cut splits what they make.
    const std::string body = RenderChatText(text.substr(0, kMaxLineChars));
    const bool mine = client_ && alias == client_->LoginName();
    std::string prefix;
    if (!mine && isPrivate == 1) {
        prefix = ChatLinePrefix(TSpeaker::OtherPrivate, alias);
        FlashLobby();
    } else if (!mine) {
        prefix = ChatLinePrefix(TSpeaker::Other, alias);
    } else if (isPrivate == 1) {
        prefix = ChatLinePrefix(TSpeaker::MePrivate, SelectedCaption());
    } else {
        prefix = ChatLinePrefix(TSpeaker::Me, alias);
    }
    AppendHtml(prefix + body);
}

void TfrmMultiPlayer::AppendHtml(const std::string& html) {
    if (inDuel_) return;
    chat_->Append(html);
}

void TfrmMultiPlayer::AppendHeader(const std::string& html) { chat_->AppendHeader(html); }

void TfrmMultiPlayer::AppendInvitationText(const std::string& text) {
    if (inDuel_) return;
    // Only invitation lines carry links; an open one is never trimmed.
    const bool hasLink = text.find("<a ") != std::string::npos || text.find("<A ") != std::string::npos;
    chat_->Append("<font class=\"invite\">" + text + "</font>", hasLink);
}

bool TfrmMultiPlayer::DisableLinks(const std::function<bool(const std::string&, std::string_view)>& match) {
    links_.Drop(match);
    return chat_->DisableLinks(match);
}

bool TfrmMultiPlayer::DisableAnswerLinks(const std::string& alias) {
    return DisableLinks([&](const std::string& name, std::string_view href) {
        return SameTextNoCase(name, alias) || href.find(kAccept) != std::string::npos ||
               href.find(kRefuse) != std::string::npos;
    });
}

bool TfrmMultiPlayer::DisableCancelLinks(const std::string& alias) {
    return DisableLinks([&](const std::string& name, std::string_view href) {
        return SameTextNoCase(name, alias) || href.find(kCancel) != std::string::npos;
    });
}

void TfrmMultiPlayer::DisableAllInvitationLinks() {
    DisableLinks([](const std::string&, std::string_view href) {
        return href.find(kAccept) != std::string::npos || href.find(kRefuse) != std::string::npos ||
               href.find(kCancel) != std::string::npos;
    });
}

bool TfrmMultiPlayer::HasOtherOpenInvitation(const std::string& alias) const {
    return links_.HasOtherOpenInvitation(alias);
}

void TfrmMultiPlayer::DropStaleInvitations() {
    // Only open links: a player who left long ago must not close the links
    // of today's invitations.
    for (const auto& name : links_.AbsentPlayers([this](const std::string& alias) { return HasPlayer(alias); })) {
        DisableCancelLinks(name);
        DisableAnswerLinks(name);
    }
}

void TfrmMultiPlayer::actInviteDuelExecute() {
    if (!client_) return;
    const std::string alias = SelectedCaption();
    if (alias.empty()) return;
    client_->SendInvitation(alias, lobby::iaInvite);
    const std::string id = std::to_string(links_.Add(alias, "", true));
    const std::string name = EscapeHtml(alias);
    AppendInvitationText(FormatS(LangText(386), {name, std::string(kCancel), id, name}));
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
        const std::string id = std::to_string(links_.Add(alias, address, false));
        AppendInvitationText(FormatS(LangText(384), {name, std::string(kAccept), id, "", name, std::string(kRefuse), id, name}));
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
        const std::optional<TInvitationLinks::TClicked> clicked = links_.Take(href);
        if (!clicked) continue;  // used already
        const std::string_view action = clicked->Action;
        const TInvitationLinks::TLink& link = clicked->Link;
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
    downloads_->Abort();
    DisconnectAndClear();
    QDialog::closeEvent(event);
}

void RunMultiPlayer(QWidget* owner, TLobbyServices services) {
    TfrmMultiPlayer form(std::move(services), owner);
    form.exec();
}

}  // namespace qv
