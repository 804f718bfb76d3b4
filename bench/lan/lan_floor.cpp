// SPDX-License-Identifier: GPL-3.0-or-later
// lan_floor: the floor of the machine under the LAN benchmark. A relay that does nothing else:
// it welcomes the bots as the server does (in its own name as participant 0), starts their
// games when told to on stdin, and passes every message on as it came, to every other
// connection, or for a chat line and an end of a game to every connection, without looking
// at games, clocks or windows. What arrives together goes out together: one write per
// connection for all it has read in one wake. Like the program's main loop it waits at most 10 ms,
// so what it costs while nothing arrives is what waking up costs this machine. What the program
// costs above what this relay costs, with the same bots on the same sockets, is the program's.
// lan_floor PORT PARTICIPANTS TIME_BY_PLAYER TIME_BY_MOVE; prints "listening", then runs
// until its stdin ends.
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "net/framing.h"
#include "net/protocol.h"
#include "platform/sockets.h"
#include "platform/system.h"

namespace tavlora {
namespace {

constexpr int MostEventsPerWait = 128;
constexpr size_t ReadChunk = 64 * 1024;
constexpr int WaitMs = 10;  // as the program's main loop

struct Peer {
    OwnedSocket Socket;
    ReceiveBuffer Received;
    Bytes Unsent;          // what the peer has not taken yet, in order
    bool Due = false;      // in the list of peers to write to at the end of this wake
    bool Waiting = false;  // for the peer to take more
};

class Relay {
public:
    Relay(int32_t participants, int32_t timeByPlayer, int32_t timeByMove)
        : participants_(participants), timeByPlayer_(timeByPlayer), timeByMove_(timeByMove) {}
    ~Relay() { close(epoll_); }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    bool Listen(uint16_t port) {
        listener_ = OwnedSocket(OpenListeningSocket(port));
        if (!listener_.IsOpen()) {
            return false;
        }
        Watch(listener_.Get());
        Watch(STDIN_FILENO);
        return true;
    }

    void Run() {
        std::array<epoll_event, MostEventsPerWait> events;
        while (!done_) {
            const int ready = epoll_wait(epoll_, events.data(), MostEventsPerWait, WaitMs);
            for (int i = 0; i < ready; ++i) {
                const epoll_event& event = events[static_cast<size_t>(i)];
                const int fd = event.data.fd;
                if (fd == listener_.Get()) {
                    Accept();
                } else if (fd == STDIN_FILENO) {
                    ReadCommands();
                } else if (event.events & EPOLLOUT) {
                    Flush(fd);
                } else if (peers_.contains(fd)) {
                    Serve(fd);
                }
            }
            for (int fd : due_) {
                Flush(fd);
            }
            due_.clear();
        }
    }

private:
    void Watch(int fd, int operation = EPOLL_CTL_ADD, uint32_t events = EPOLLIN) {
        epoll_event event{};
        event.events = events;
        event.data.fd = fd;
        epoll_ctl(epoll_, operation, fd, &event);
    }

    void Accept() {
        OwnedSocket socket(AcceptConnection(listener_.Get()));
        if (!socket.IsOpen()) {
            return;
        }
        const int fd = socket.Get();
        order_.push_back(fd);
        Peer& peer = peers_[fd];
        peer.Socket = std::move(socket);
        Watch(fd);
        // Participant 0 is the relay's own; every newcomer checks its name against the
        // others', which it does not know, so they go empty.
        const auto count = static_cast<int32_t>(order_.size()) + 1;
        MsgWelcome welcome{participants_, count, timeByPlayer_, timeByMove_, {{"Boden", 1}}};
        welcome.Players.resize(static_cast<size_t>(count) - 1, WelcomeEntry{"", 1});
        Send(peer, *EncodeFrame(welcome));
    }

    void ReadCommands() {
        char text[256];
        const ssize_t count = read(STDIN_FILENO, text, sizeof text);
        if (count <= 0) {
            done_ = true;
            return;
        }
        if (std::string_view(text, static_cast<size_t>(count)).starts_with("start")) {
            Start();
        }
    }

    // One game per pair, colours by chance, as the server starts them.
    void Start() {
        MsgStartGames start{static_cast<int32_t>(order_.size()) + 1, {}};
        for (int32_t pair = 0; pair < PairCount(start.PlayerCount); ++pair) {
            start.Colours.push_back(random_.RandomBelow(2));
        }
        const Frame frame = EncodeFrame(start);
        for (int fd : order_) {
            Send(peers_.at(fd), *frame);
        }
    }

    void Serve(int fd) {
        Peer& peer = peers_.at(fd);
        buffer_.resize(ReadChunk);
        const IoResult read = ReceiveSome(fd, buffer_);
        peer.Received.Append(std::span(buffer_).first(read.Count));
        while (peer.Received.Status() == FrameStatus::Complete) {
            Pass(fd, peer.Received.TakeBody());
        }
        if (read.Ended || peer.Received.Status() == FrameStatus::Broken) {
            epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
            std::erase(order_, fd);
            peers_.erase(fd);
        }
    }

    // Names and readiness concern nobody here; a chat line and an agreed or resigned end go
    // back to their sender too, as the server sends them; the rest goes to the others.
    void Pass(int from, const Bytes& body) {
        const uint8_t code = body[0];
        if (code == MsgName::Code || code == MsgReady::Code) {
            return;
        }
        const bool toSender =
            code == MsgChat::Code || code == MsgDrawAccept::Code || code == MsgResign::Code;
        const Frame frame = MakeFrame(body);
        for (int fd : order_) {
            if (fd != from || toSender) {
                Send(peers_.at(fd), *frame);
            }
        }
    }

    // Written at the end of the wake; what the peer does not take then goes once it can take
    // more.
    void Send(Peer& peer, const Bytes& frame) {
        peer.Unsent.insert(peer.Unsent.end(), frame.begin(), frame.end());
        if (!peer.Due && !peer.Waiting) {
            peer.Due = true;
            due_.push_back(peer.Socket.Get());
        }
    }

    void Flush(int fd) {
        const auto it = peers_.find(fd);
        if (it == peers_.end()) {
            return;
        }
        Peer& peer = it->second;
        peer.Due = false;
        const IoResult sent = SendSome(fd, peer.Unsent);
        peer.Unsent.erase(peer.Unsent.begin(),
                          peer.Unsent.begin() + static_cast<ptrdiff_t>(sent.Count));
        if (peer.Waiting != !peer.Unsent.empty()) {
            peer.Waiting = !peer.Unsent.empty();
            Watch(fd, EPOLL_CTL_MOD, peer.Waiting ? EPOLLIN | EPOLLOUT : EPOLLIN);
        }
    }

    const int32_t participants_;
    const int32_t timeByPlayer_;
    const int32_t timeByMove_;
    int epoll_ = epoll_create1(EPOLL_CLOEXEC);
    OwnedSocket listener_;
    std::unordered_map<int, Peer> peers_;
    std::vector<int> order_;  // in the order they came: their index less one
    std::vector<int> due_;    // peers with something to write at the end of this wake
    RandomSource random_;
    Bytes buffer_;
    bool done_ = false;
};

template <typename T>
bool Number(const char* text, T& value) {
    const std::string_view view(text);
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    return error == std::errc() && end == view.data() + view.size();
}

}  // namespace
}  // namespace tavlora

int main(int argc, char** argv) {
    using namespace tavlora;
    uint16_t port = 0;
    int32_t participants = 0;
    int32_t timeByPlayer = 0;
    int32_t timeByMove = 0;
    if (argc != 5 || !Number(argv[1], port) || !Number(argv[2], participants) ||
        !Number(argv[3], timeByPlayer) || !Number(argv[4], timeByMove) || participants < 2 ||
        participants > MostParticipants) {
        std::fputs("usage: lan_floor PORT PARTICIPANTS TIME_BY_PLAYER TIME_BY_MOVE\n", stderr);
        return 2;
    }
    fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    Relay relay(participants, timeByPlayer, timeByMove);
    if (!relay.Listen(port)) {
        std::fputs("error lan_floor: cannot listen\n", stdout);
        return 1;
    }
    std::fputs("listening\n", stdout);
    std::fflush(stdout);
    relay.Run();
    return 0;
}
