#include "multiplayer/lobby/qv3LobbyDownloads.h"

#include <QImage>

#include <algorithm>

#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3Transfer.h"
#include "multiplayer/lobby/qv3ChatText.h"

namespace qv {

TLobbyDownloads::TLobbyDownloads(THttpGet get, TSink sink, QObject* parent)
    : QObject(parent), get_(std::move(get)), sink_(std::move(sink)) {}

TLobbyDownloads::~TLobbyDownloads() { Abort(); }

int TLobbyDownloads::Running() const {
    return static_cast<int>(
        std::count_if(transfers_.begin(), transfers_.end(), [](const auto& t) { return !t->Finished(); }));
}

void TLobbyDownloads::Fetch(const std::string& url, std::size_t maxBytes,
                            std::function<void(bool ok, std::string reply)> done) {
    TTransferDone finished = [this, done = std::move(done)](const TTransferOutcome& outcome) {
        std::erase_if(transfers_, [](const auto& t) { return t->Finished(); });
        done(outcome.Ok, outcome.Ok ? outcome.Reply : std::string());
    };
    transfers_.push_back(StartTransfer(
        [get = get_, url, maxBytes] {
            std::string reply = get(url, maxBytes);
            if (reply.size() > maxBytes) throw EInetError("Reply too large: " + url);
            return reply;
        },
        std::move(finished), this));
}

void TLobbyDownloads::Abort() {
    for (const auto& t : transfers_) t->Abort();
    transfers_.clear();
}

void TLobbyDownloads::Start(const std::string& internalPrefix) {
    prefix_ = internalPrefix;
    Fetch(prefix_ + "emoticons/list.txt", kMaxListBytes,
          [this](bool ok, std::string reply) { ListFetched(ok, NormalizeLineBreaks(reply)); });
}

void TLobbyDownloads::ListFetched(bool ok, const std::string& reply) {
    if (!ok) {
        LogMessage("Unable to fetch emoticons", lkWarning);
        sink_.Header(LangText(391));
        StartWelcomeFetch();
        return;
    }
    std::vector<std::string> codes = SplitLines(reply);
    if (codes.size() > kMaxEmoticons) codes.resize(kMaxEmoticons);
    for (std::size_t i = 0; i < codes.size(); ++i)
        if (!TrimText(codes[i]).empty()) pictureQueue_.push_back(i);
    sink_.Emoticons(codes);
    FetchNextPictures();
}

void TLobbyDownloads::FetchNextPictures() {
    // The view fetches nothing itself: each picture is downloaded once and
    // handed to the chat under the address its HTML names.
    while (!pictureQueue_.empty() && picturesRunning_ < kEmoticonsAtOnce) {
        const std::size_t i = pictureQueue_.front();
        pictureQueue_.pop_front();
        ++picturesRunning_;
        const std::string url = EmoticonUrl(prefix_, i);
        Fetch(url, kMaxPictureBytes, [this, i, url](bool ok, std::string reply) {
            --picturesRunning_;
            QImage image;
            if (ok && image.loadFromData(reinterpret_cast<const uchar*>(reply.data()), static_cast<int>(reply.size())))
                sink_.Picture(url, image);
            else
                LogMessage("Unable to fetch emoticon " + std::to_string(i), lkInfo);
            FetchNextPictures();
        });
    }
    if (pictureQueue_.empty() && picturesRunning_ == 0) StartWelcomeFetch();
}

void TLobbyDownloads::StartWelcomeFetch() {
    if (welcomeStarted_) return;
    welcomeStarted_ = true;
    Fetch(prefix_ + "chatmsg.txt", kMaxWelcomeBytes, [this](bool ok, std::string reply) {
        if (ok)
            sink_.Header(NormalizeLineBreaks(reply));
        else
            LogMessage("Unable to fetch chat msg", lkWarning);
    });
}

}  // namespace qv
