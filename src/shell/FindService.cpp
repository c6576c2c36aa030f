// SPDX-License-Identifier: MIT
#include "shell/FindService.h"

#include "shell/SingleInstance.h"
#include "store/QueryService.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vesko {
namespace {

// Reads the answer's lines into `answer` until its final line. False on "error …", a closed
// connection, a malformed line, or `patience` without a byte.
bool readAnswer(int fd, std::chrono::milliseconds patience, FindService::Answer& answer) {
    std::string received;
    bool counted = false;
    for (;;) {
        std::size_t start = 0;
        for (std::size_t end; (end = received.find('\n', start)) != std::string::npos;
             start = end + 1) {
            const std::string_view line(received.data() + start, end - start);
            if (line == "ok") return counted;
            if (line.starts_with("path ")) {
                auto path = FindQuery::unescapedPath(line.substr(5));
                if (!path) return false;
                answer.paths.push_back(std::move(*path));
            } else if (line.starts_with("found ")) {
                const auto number = line.substr(6);
                const auto [last, error] =
                    std::from_chars(number.data(), number.data() + number.size(), answer.found);
                counted = error == std::errc() && last == number.data() + number.size();
            } else {
                return false; // "error …" or a line this build does not know
            }
        }
        received.erase(0, start);
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(patience.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[1 << 16];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return false;
        received.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

std::optional<FindService::Answer> FindService::ask(const std::string& socket,
                                                    const FindQuery& query,
                                                    std::chrono::milliseconds patience) {
    const auto json = query.toJson();
    if (!json) return std::nullopt;
    SingleInstance::Handover failure{};
    const int fd = SingleInstance::connectTo(socket, failure);
    if (fd < 0) return std::nullopt;
    const std::string line = "find " + json->toStdString() + "\n";
    Answer answer;
    const bool answered =
        ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size()) &&
        readAnswer(fd, patience, answer);
    ::close(fd);
    if (!answered) return std::nullopt;
    return answer;
}

FindService::FindService(IndexStore& store, QObject* parent) : QObject(parent), store_(store) {}

void FindService::attach(SingleInstance& instance) {
    instance.setHandler("find", [this](const QByteArray& argument, SingleInstance::Reply reply) {
        answer(argument, reply);
    });
}

void FindService::answer(const QByteArray& argument,
                         const std::function<void(const QByteArray&)>& reply) {
    auto query = FindQuery::fromJson(argument);
    if (!query) return reply("error bad request\n");
    QueryService(store_).find(std::move(*query), reply);
}

} // namespace vesko
