#pragma once
// The HTTP side of serving: the live page, /metrics, /api/status and /api/history, answered
// from the board while the pollers go on.

#include "serve/board.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace brenvik::serve {

// "127.0.0.1:9731", "[::1]:9731", "localhost:80": the host and port; nothing when malformed.
struct ListenAddress {
    std::string host;
    int port = 0;
};
std::optional<ListenAddress> parseListenAddress(const std::string& text);

class WebFace {
public:
    explicit WebFace(const Board& board);
    ~WebFace();
    WebFace(const WebFace&) = delete;
    WebFace& operator=(const WebFace&) = delete;

    // Binds the address (port 0: any free port); the reason when it cannot.
    std::optional<std::string> bind(const ListenAddress& address);
    int port() const;
    // Answers requests until stop(); returns at once when stop() came first.
    void run();
    // From any thread; returns once run() has ended or will not start.
    void stop();

private:
    struct Server;
    std::unique_ptr<Server> server_;
    int port_ = 0;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
};

} // namespace brenvik::serve
