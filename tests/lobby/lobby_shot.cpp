// The lobby window with a busy room, for looking at it: the test chat
// server and three other players in this process on 127.0.0.1, the window
// logged in as ANN, some chat, an invitation. Runs for the given seconds
// (default 8) and, with a file name, saves a picture of the window. With a
// line count, the server then floods the room with that many lines within
// about a second.
//   qv_lobby_shot [seconds] [picture.png|-] [flood lines]
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QPainter>
#include <QLineEdit>
#include <QTreeWidget>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "foundation/qv3Environment.h"
#include "multiplayer/lobby/qv3MultiPlayer.h"
#include "platform/resources/ResourceContainer.h"
#include "tests/lobby/ChatServer.h"
#include "tests/lobby/LobbyTestSupport.h"

using namespace qv;

namespace {

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

std::unique_ptr<TQVXDPClient> Bot(std::uint32_t port, const std::string& name, char key) {
    TQVXDPClient::TOptions o;
    o.Port = port;
    o.Session = test::FastOptions();
    o.RunTimer = false;
    auto bot = std::make_unique<TQVXDPClient>(o);
    bot->Connect("127.0.0.1", std::string(32, key), name);
    return bot;
}

// A small smiling face, standing in for the server's emoticon picture.
std::string Smiley() {
    QImage image(12, 12, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 210, 40));
    p.setPen(QColor(120, 80, 0));
    p.drawEllipse(QRectF(0.5, 0.5, 11, 11));
    p.setBrush(QColor(60, 40, 0));
    p.drawEllipse(QRectF(3.5, 3.5, 1.5, 2));
    p.drawEllipse(QRectF(7, 3.5, 1.5, 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3, 4, 6, 5), 200 * 16, 140 * 16);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 8;
    const std::string picture = argc > 2 && std::string(argv[2]) != "-" ? argv[2] : "";
    const int flood = argc > 3 ? std::atoi(argv[3]) : 0;
    test::TLobbyFolders folders;
    test::TChatServer server;
    Environment.ChatHost = "127.0.0.1";
    Environment.InternalHost = "lobby.test";
    Environment.InternalBase = "/qvx/";
    Environment.LobbyAlias = "ANN";
    Environment.LobbyLoginKey = std::string(32, 'A');

    std::shared_ptr<sys::TResourceContainer> pack;
    try {
        pack = sys::TResourceContainer::OpenFile(test::BinaryDir() + "quorvex.dat");
    } catch (const std::exception&) {
    }
    TLobbyServices s;
    s.CheckInternet = [](bool) { return true; };
    s.WaitForHosts = [](QObject*, std::function<void(bool)> then) { then(true); };
    s.HttpGet = [](const std::string& url, std::size_t) -> std::string {
        if (url.find("list.txt") != std::string::npos) return ":-)\r\n";
        if (url.find("chatmsg.txt") != std::string::npos) return "<b>Welcome to the Worldwide Competition!</b>";
        if (url.find("emoticons/0.gif") != std::string::npos) return Smiley();
        throw std::runtime_error("not here");
    };
    s.Picture = [pack](const std::string& name) {
        const auto bytes = pack ? pack->Read("DATA", name) : std::nullopt;
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    };
    s.RunDuel = [](QWidget*, const std::string&, const std::string&, TGuid&, std::int32_t&) { return 0; };
    s.Client.Port = server.Port();
    s.Client.Session = test::FastOptions();
    s.Client.RunTimer = false;

    TfrmMultiPlayer form(s);
    form.show();
    Pump(800);
    auto bob = Bot(server.Port(), "Bob", 'B');
    auto carol = Bot(server.Port(), "Carol", 'C');
    auto dave = Bot(server.Port(), "Dave", 'D');
    Pump(800);
    server.SetRank("BOB", 1250);
    server.SetRank("CAROL", 980);
    dave->SetPlaying(1);
    bob->SendChat("Hi everyone :-) anyone up for a duel?");
    Pump(200);
    carol->SendChat("Not me, I keep losing to <viruses> & nivlets");
    Pump(200);
    form.memMessage->setText("Hello Bob!");
    form.actSendMessageExecute();
    Pump(200);
    bob->SendInvitation("ANN", 1);
    Pump(200);
    carol->SendPrivateMessage("ANN", "psst - watch out, Bob is good");
    Pump(600);
    const auto items = form.lvPlayers->findItems("CAROL", Qt::MatchFixedString, 0);
    if (!items.isEmpty()) items.first()->setSelected(true);
    Pump(300);
    if (!picture.empty()) form.grab().save(QString::fromStdString(picture));
    std::thread flooding([&] {
        for (int i = 0; i < flood; ++i) {
            server.Inject("ANN", test::TChatServer::ChatBytes(false, "FLOOD",
                                                              "line " + std::to_string(i) + " of the flood :-) " +
                                                                  std::string(static_cast<std::size_t>(i % 60), '=')));
            if (i % 100 == 99) std::this_thread::sleep_for(std::chrono::milliseconds(1000 * 100 / std::max(flood, 1)));
        }
        std::printf("flood sent\n");
        std::fflush(stdout);
    });
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    const int code = app.exec();
    flooding.join();
    return code;
}
