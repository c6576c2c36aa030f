// SPDX-License-Identifier: MIT
#include "shell/FindService.h"

#include "scan/IndexBuilder.h"
#include "shell/SingleInstance.h"
#include "store/IndexStore.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vesko {
namespace {

void escapeInto(std::string& out, std::string_view path) {
    for (char c : path) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

std::optional<std::string> unescape(std::string_view text) {
    std::string path;
    path.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            path += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        if (text[i] == 'n')
            path += '\n';
        else if (text[i] == '\\')
            path += '\\';
        else
            return std::nullopt;
    }
    return path;
}

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
                auto path = unescape(line.substr(5));
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

QByteArray FindService::answerText(const FindQuery& query, const FileIndex& index,
                                   const NameTable& names) {
    const Search::Result result = query.search(index, names, {});
    std::string text;
    const std::int64_t found = query.report(result, index, names, [&](std::string_view path) {
        text += "path ";
        escapeInto(text, path);
        text += '\n';
    });
    text += "found " + std::to_string(found) + "\nok\n";
    return QByteArray::fromStdString(text);
}

FindService::FindService(IndexStore& store, QObject* parent) : QObject(parent), store_(store) {
    pool_.setMaxThreadCount(1);
}

FindService::~FindService() {
    pool_.waitForDone();
}

void FindService::attach(SingleInstance& instance) {
    instance.setHandler("find", [this](const QByteArray& argument, SingleInstance::Reply reply) {
        answer(argument, reply);
    });
}

void FindService::answer(const QByteArray& argument,
                         const std::function<void(const QByteArray&)>& reply) {
    auto query = FindQuery::fromJson(argument);
    if (!query) return reply("error bad request\n");
    if (store_.phase() != IndexStore::Phase::ready || !store_.index() || !store_.names())
        return reply("error busy\n");
    if (query->sort.field == ResultSort::Field::kind && !query->countOnly)
        return reply("error unsupported\n");
    auto asked = IndexBuilder::normalize(query->roots);
    auto ours = store_.roots();
    std::ranges::sort(asked);
    std::ranges::sort(ours);
    if (asked != ours) return reply("error roots\n");
    // The index is a value sharing its columns, so the copy is cheap and the window may
    // install a newer one meanwhile.
    pool_.start(
        [this, query = std::move(*query), index = *store_.index(), names = store_.names(), reply] {
            QByteArray text = answerText(query, index, *names);
            QMetaObject::invokeMethod(
                this, [reply, text = std::move(text)] { reply(text); }, Qt::QueuedConnection);
        });
}

} // namespace vesko
