#include "tests/online/RawHttpServer.h"

#include <cstdlib>

#include "foundation/TextUtil.h"

namespace qv::test {

std::string RawRequest::Header(const std::string& name) const {
    for (const auto& [k, v] : Headers) {
        if (SameTextNoCase(k, name)) return v;
    }
    return "";
}

std::string RawRequest::Path() const { return Target.substr(0, Target.find('?')); }

std::string RawRequest::Query(const std::string& name) const {
    const std::size_t q = Target.find('?');
    if (q == std::string::npos) return "";
    std::size_t at = q + 1;
    while (at < Target.size()) {
        std::size_t end = Target.find('&', at);
        if (end == std::string::npos) end = Target.size();
        const std::string pair = Target.substr(at, end - at);
        if (pair.rfind(name + "=", 0) == 0) return pair.substr(name.size() + 1);
        at = end + 1;
    }
    return "";
}

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) { Start(); }

RawHttpServer::~RawHttpServer() { Stop(); }

std::vector<RawRequest> RawHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void RawHttpServer::Serve(int client) {
    std::string data;
    auto readMore = [&] { return ReadMore(client, data); };
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (!readMore()) return;
    }
    RawRequest req;
    std::vector<std::string> lines;
    std::size_t at = 0;
    const std::string head = data.substr(0, headEnd);
    while (at <= head.size()) {
        std::size_t end = head.find("\r\n", at);
        if (end == std::string::npos) end = head.size();
        lines.push_back(head.substr(at, end - at));
        at = end + 2;
    }
    const std::string& first = lines[0];
    const std::size_t s1 = first.find(' '), s2 = first.rfind(' ');
    req.Method = first.substr(0, s1);
    req.Target = first.substr(s1 + 1, s2 - s1 - 1);
    req.Version = first.substr(s2 + 1);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t colon = lines[i].find(':');
        if (colon == std::string::npos) continue;
        std::string value = lines[i].substr(colon + 1);
        while (!value.empty() && value[0] == ' ') value.erase(0, 1);
        req.Headers.emplace_back(lines[i].substr(0, colon), value);
    }
    const std::size_t length = std::strtoul(req.Header("Content-Length").c_str(), nullptr, 10);
    while (data.size() < headEnd + 4 + length) {
        if (!readMore()) return;
    }
    req.Body = data.substr(headEnd + 4, length);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(req);
    }
    const RawResponse res = handler_(req);
    const std::string reply = "HTTP/1.0 " + std::to_string(res.Status) + " Answer\r\nContent-Length: " +
                              std::to_string(res.Body.size()) + "\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" +
                              res.Body;
    SendAll(client, reply);
}

}  // namespace qv::test
