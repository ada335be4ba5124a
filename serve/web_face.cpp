#include "serve/web_face.h"

#include "serve/json.h"
#include "serve/metrics.h"
#include "serve/page_assets.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <httplib.h>
#include <sys/socket.h>
#include <thread>

namespace brenvik::serve {
namespace {

constexpr const char* kJson = "application/json";

constexpr const char* kKnownPaths =
    "This server answers:\n"
    "  /                           the live page\n"
    "  /metrics                    the readings for Prometheus\n"
    "  /api/status                 each supply's latest values and poll\n"
    "  /api/history?since=TIME     the retained readings later than TIME (Unix seconds or\n"
    "                              a UTC time like 2026-12-07T20:22:52Z); all without since\n";

} // namespace

struct WebFace::Server {
    httplib::Server http;
};

std::optional<ListenAddress> parseListenAddress(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return std::nullopt;
    }
    std::string host = text.substr(0, colon);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') {
            return std::nullopt;
        }
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        return std::nullopt;
    }
    int port = -1;
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, port);
    if (first == last || error != std::errc{} || end != last || port < 0 || port > 65535) {
        return std::nullopt;
    }
    return ListenAddress{host, port};
}

WebFace::WebFace(const Board& board) : server_(std::make_unique<Server>()) {
    httplib::Server& http = server_->http;
    http.set_keep_alive_timeout(2);
    // The library's own options add SO_REUSEPORT, with which a second server binds the same
    // port without a word and the two share its connections. Reusing an address still in
    // TIME_WAIT after a restart is all that is wanted.
    http.set_socket_options([](int sock) {
        const int on = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
    for (const PageAsset& asset : pageAssets()) {
        http.Get(std::string(asset.path), [asset](const httplib::Request&, httplib::Response& res) {
            res.set_content(reinterpret_cast<const char*>(asset.bytes.data()), asset.bytes.size(),
                            std::string(asset.contentType).c_str());
        });
    }
    http.Get("/metrics", [&board](const httplib::Request&, httplib::Response& res) {
        res.set_content(metricsText(board.views()), kMetricsContentType);
    });
    http.Get("/api/status", [&board](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(statusJson(board.views()), kJson);
    });
    http.Get("/api/history", [&board](const httplib::Request& req, httplib::Response& res) {
        std::int64_t after = INT64_MIN;
        if (req.has_param("since")) {
            const std::string since = req.get_param_value("since");
            const auto parsed = parseSince(since);
            if (!parsed) {
                res.status = 400;
                res.set_content(
                    nlohmann::json{{"error", "since: expected Unix seconds or a UTC time like "
                                             "2026-12-07T20:22:52Z, got '" +
                                                 since + "'"}}
                            .dump() +
                        "\n",
                    kJson);
                return;
            }
            after = *parsed;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_content(historyJson(board.history(after)), kJson);
    });
    http.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (res.status == 404 && res.body.empty()) {
            res.set_content("Not found: " + req.path + "\n" + kKnownPaths, "text/plain");
        }
    });
}

WebFace::~WebFace() = default;

std::optional<std::string> WebFace::bind(const ListenAddress& address) {
    errno = 0;
    if (address.port == 0) {
        port_ = server_->http.bind_to_any_port(address.host);
    } else {
        port_ = server_->http.bind_to_port(address.host, address.port) ? address.port : -1;
    }
    if (port_ > 0) {
        return std::nullopt;
    }
    const std::string reason = errno == 0 ? "no such address here" : std::strerror(errno);
    return "cannot listen on " + address.host + ":" + std::to_string(address.port) + ": " + reason;
}

int WebFace::port() const {
    return port_;
}

void WebFace::run() {
    started_ = true;
    if (!stopRequested_) {
        server_->http.listen_after_bind();
    }
    finished_ = true;
}

// The server only hears a stop once it listens, so the stop is repeated until it has.
void WebFace::stop() {
    stopRequested_ = true;
    while (started_ && !finished_) {
        server_->http.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace brenvik::serve
