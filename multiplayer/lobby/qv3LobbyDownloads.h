// The downloads of the lobby's first log-in, in the background while the
// room is open and in the order they were always asked for: the emoticon
// list, its pictures (a few at a time), then the welcome text. What arrives
// is handed to the window on the UI thread; nothing is handed once this is
// gone, and Abort ends what runs.
#pragma once

#include <QObject>

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QImage;

namespace qv {

class TTransfer;

class TLobbyDownloads : public QObject {
public:
    // At most this many emoticons, this many pictures at a time, and the
    // largest replies taken.
    static constexpr std::size_t kMaxEmoticons = 64;
    static constexpr int kEmoticonsAtOnce = 4;
    static constexpr std::size_t kMaxListBytes = 16 * 1024;
    static constexpr std::size_t kMaxPictureBytes = 64 * 1024;
    static constexpr std::size_t kMaxWelcomeBytes = 64 * 1024;

    struct TSink {
        // The emoticon codes (lines of the list, empty ones kept).
        std::function<void(const std::vector<std::string>& codes)> Emoticons;
        // A picture of the list arrived, for the chat to show at `url`.
        std::function<void(const std::string& url, const QImage& picture)> Picture;
        // A text for the top of the chat: the welcome text, or the
        // "emoticons disabled" text when the list failed.
        std::function<void(const std::string& html)> Header;
    };
    // The HTTP GET of a worker thread, at most `maxBytes`; throws on failure.
    using THttpGet = std::function<std::string(const std::string& url, std::size_t maxBytes)>;

    TLobbyDownloads(THttpGet get, TSink sink, QObject* parent);
    ~TLobbyDownloads() override;

    // Starts them below `internalPrefix` ("http://host/base/").
    void Start(const std::string& internalPrefix);
    void Abort();
    // Downloads still running.
    int Running() const;

private:
    void Fetch(const std::string& url, std::size_t maxBytes, std::function<void(bool ok, std::string reply)> done);
    void ListFetched(bool ok, const std::string& reply);
    void FetchNextPictures();
    void StartWelcomeFetch();

    THttpGet get_;
    TSink sink_;
    std::string prefix_;
    std::vector<std::shared_ptr<TTransfer>> transfers_;
    std::deque<std::size_t> pictureQueue_;
    int picturesRunning_ = 0;
    bool welcomeStarted_ = false;
};

}  // namespace qv
