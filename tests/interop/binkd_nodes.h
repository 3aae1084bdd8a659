// binkd nodes on 127.0.0.1 for the tests that run the real mailer as a
// peer: where binkd is, free ports, each node's directory and
// configuration, and waiting for what binkd writes.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "child_group.h"
#include "run_program.h"

namespace rv::testing {

inline std::size_t fileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<std::size_t>(size);
}

inline bool waitForSize(const std::string& path, std::size_t size,
                        std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fileSize(path) < size) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A free TCP port on 127.0.0.1, as the kernel hands one out.
// With held, the socket stays bound, not listening, and its descriptor
// goes to *held: a call to the port is refused, and no other program (a
// test running beside this one) can take it meanwhile.
inline int freeLoopbackPort(int* held = nullptr) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (held && port != 0)
        *held = fd;
    else
        ::close(fd);
    return port;
}

// The listening sockets on a port, as "address" texts of /proc/net/tcp{,6}.
inline std::vector<std::string> listenersOn(int port) {
    char portHex[8];
    std::snprintf(portHex, sizeof portHex, ":%04X", port);
    std::vector<std::string> found;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::istringstream lines(slurp(table));
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == portHex)
                found.push_back(local);
        }
    }
    return found;
}

inline std::string findBinkd() {
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin"}) {
        const std::string path = std::string(dir) + "/binkd";
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return "";
}

// One binkd node of the exchange: its address, port and directory, which
// holds its configuration, inbound, outbound, logs and histories.
struct Node {
    std::string name;
    std::int16_t number = 0;  // 2:5020/number
    int port = 0;
    std::string dir;

    std::string address() const { return "2:5020/" + std::to_string(number) + "@fidonet"; }
    std::string config() const { return dir + "/binkd.cfg"; }
    std::string file(const std::string& leaf) const { return dir + "/" + leaf; }
    // Bink-style outbound flow file for node 2:5020/to of zone 2.
    std::string flowTo(std::int16_t to) const {
        char leaf[16];
        std::snprintf(leaf, sizeof leaf, "%04x%04x.flo", 5020, static_cast<unsigned>(to));
        return dir + "/outbound/" + leaf;
    }
};

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline void writeFilled(const std::string& path, std::size_t size, char seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 7 + (i >> 9));
    writeText(path, bytes);
}

// Every node listens on 127.0.0.1 only (`listen`; `iport` would bind every
// address) and names its peers by numeric address, so nothing is resolved.
inline void writeConfig(const Node& self,
                        const std::vector<std::pair<const Node*, std::string>>& peers) {
    std::string text;
    text += "domain fidonet " + self.dir + "/outbound 2\n";
    text += "address " + self.address() + "\n";
    text += "sysname \"Node " + self.name + "\"\nlocation \"Loopback\"\nsysop \"Peer Test\"\n";
    text += "nodeinfo 115200,TCP,BINKP\n";
    text += "listen 127.0.0.1:" + std::to_string(self.port) + "\n";
    text += "inbound " + self.dir + "/inbound\n";
    text += "inbound-nonsecure " + self.dir + "/inbound-unprotected\n";
    text += "temp-inbound " + self.dir + "/temp\n";
    text += "log " + self.file("binkd.log") + "\nloglevel 4\nconlog 0\n";
    text += "binlog " + self.file("binkd.his") + "\n";
    text += "fdinhist " + self.file("binkd.ihs") + "\n";
    text += "fdouthist " + self.file("binkd.ohs") + "\n";
    text += "try 1\nhold 1s\ncall-delay 1\nrescan-delay 1\n";
    for (const auto& [peer, password] : peers)
        text += "node " + peer->address() + " 127.0.0.1:" + std::to_string(peer->port) + " " +
                password + "\n";
    writeText(self.config(), text);
}

// Waits until the server listens on port; false when it ended or did not
// listen within ten seconds.
inline bool awaitListener(ChildGroup& server, int port) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (listenersOn(port).empty()) {
        if (server.waitExit(std::chrono::milliseconds(0), nullptr) ||
            std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace rv::testing
