// An impairment relay for the TFTP tests (Linux). It listens where a server would, sends
// each request on to the real server, and follows the transfer IDs the server answers
// from: every server port gets its own client-facing port, so the client sees the same
// shape of conversation as with the server itself. On the way it drops, duplicates,
// delays and reorders datagrams, drawn from a seeded generator.
//
//   tftp-relay --listen ADDR --server ADDR [--loss P] [--duplicate P] [--reorder P]
//              [--delay MS] [--seed N]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string listen, server;
    double loss = 0, duplicate = 0, reorder = 0, delay_ms = 0;
    unsigned seed = 1;
};

struct Pending {
    Clock::time_point at;
    unsigned long order;
    int fd;
    sockaddr_in to;
    std::vector<char> bytes;
    bool operator>(const Pending& o) const { return at != o.at ? at > o.at : order > o.order; }
};

struct Session {
    sockaddr_in client{};
    int server_side = -1;          // everything towards the server leaves from here
    std::map<int, int> port_of_fd; // client-facing socket -> server TID port
    std::map<int, int> fd_of_port; // server TID port -> client-facing socket
};

int Bound(const std::string& address, int port) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::perror("relay: bind");
        std::exit(1);
    }
    return fd;
}

bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        const char* v = argv[i + 1];
        if (k == "--listen")
            o.listen = v;
        else if (k == "--server")
            o.server = v;
        else if (k == "--loss")
            o.loss = std::atof(v);
        else if (k == "--duplicate")
            o.duplicate = std::atof(v);
        else if (k == "--reorder")
            o.reorder = std::atof(v);
        else if (k == "--delay")
            o.delay_ms = std::atof(v);
        else if (k == "--seed")
            o.seed = static_cast<unsigned>(std::atoi(v));
    }
    if (o.listen.empty() || o.server.empty()) {
        std::fprintf(stderr, "usage: tftp-relay --listen ADDR --server ADDR [...]\n");
        return 2;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    inet_pton(AF_INET, o.server.c_str(), &server.sin_addr);

    std::mt19937 random(o.seed);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> queue;
    unsigned long order = 0;
    const auto delay = std::chrono::microseconds(static_cast<long>(o.delay_ms * 1000));

    auto forward = [&](int fd, const sockaddr_in& to, const char* data, std::size_t size) {
        if (chance(random) < o.loss) {
            return;
        }
        const Clock::time_point now = Clock::now();
        auto at = now + delay;
        if (chance(random) < o.reorder) {
            // Held back long enough for the next few datagrams to overtake it.
            at += std::chrono::microseconds(500 + static_cast<long>(chance(random) * 3000));
        }
        queue.push({at, order++, fd, to, std::vector<char>(data, data + size)});
        if (chance(random) < o.duplicate) {
            queue.push({at + std::chrono::microseconds(200), order++, fd, to,
                        std::vector<char>(data, data + size)});
        }
    };

    const int listener = Bound(o.listen, 69);
    std::vector<Session> sessions;
    std::vector<char> buffer(65536 + 4);
    for (;;) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        for (const Session& s : sessions) {
            fds.push_back({s.server_side, POLLIN, 0});
            for (const auto& [fd, port] : s.port_of_fd) {
                fds.push_back({fd, POLLIN, 0});
            }
        }
        // ppoll, not poll: a 1 ms delay must not become 2 ms by rounding.
        timespec timeout{};
        timespec* wait_for = nullptr;
        if (!queue.empty()) {
            const auto wait =
                std::chrono::duration_cast<std::chrono::nanoseconds>(queue.top().at - Clock::now());
            const long long ns = wait.count() < 0 ? 0 : wait.count();
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
            wait_for = &timeout;
        }
        ppoll(fds.data(), fds.size(), wait_for, nullptr);
        for (const pollfd& p : fds) {
            if (!(p.revents & POLLIN)) {
                continue;
            }
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = recvfrom(p.fd, buffer.data(), buffer.size(), 0,
                                       reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0) {
                continue;
            }
            const auto size = static_cast<std::size_t>(n);
            if (p.fd == listener) {
                // A request (or its repetition): one session per client endpoint.
                Session* s = nullptr;
                for (Session& each : sessions) {
                    if (SameEndpoint(each.client, from)) {
                        s = &each;
                    }
                }
                if (s == nullptr) {
                    sessions.push_back({});
                    s = &sessions.back();
                    s->client = from;
                    s->server_side = Bound(o.listen, 0);
                }
                sockaddr_in to = server;
                to.sin_port = htons(69);
                forward(s->server_side, to, buffer.data(), size);
                continue;
            }
            for (Session& s : sessions) {
                if (p.fd == s.server_side) {
                    if (from.sin_addr.s_addr != server.sin_addr.s_addr) {
                        break;
                    }
                    const int port = ntohs(from.sin_port);
                    auto it = s.fd_of_port.find(port);
                    if (it == s.fd_of_port.end()) {
                        const int fd = Bound(o.listen, 0);
                        it = s.fd_of_port.emplace(port, fd).first;
                        s.port_of_fd[fd] = port;
                    }
                    forward(it->second, s.client, buffer.data(), size);
                    break;
                }
                const auto it = s.port_of_fd.find(p.fd);
                if (it != s.port_of_fd.end()) {
                    sockaddr_in to = server;
                    to.sin_port = htons(static_cast<std::uint16_t>(it->second));
                    forward(s.server_side, to, buffer.data(), size);
                    break;
                }
            }
        }
        const Clock::time_point now = Clock::now();
        while (!queue.empty() && queue.top().at <= now) {
            const Pending& d = queue.top();
            sendto(d.fd, d.bytes.data(), d.bytes.size(), 0,
                   reinterpret_cast<const sockaddr*>(&d.to), sizeof d.to);
            queue.pop();
        }
    }
}
