// SPDX-License-Identifier: GPL-3.0-or-later
// The optional search inside file contents: one matcher per search tests one file path at
// a time for the content query, reading at most the first 32 MiB of a file, skipping files
// that look binary and giving up after a fixed number of files, with counters for the status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace vesko {

class ContentMatcher {
public:
    static constexpr std::int64_t readCap = 32 * 1024 * 1024;
    static constexpr std::int64_t binaryProbe = 8192;

    // The query is normalized like a name query (NFC, full lowercase); the engine does not
    // consult a matcher whose needle is empty.
    ContentMatcher(std::string_view query, std::int64_t examineLimit);
    ContentMatcher(const ContentMatcher&) = delete;
    ContentMatcher& operator=(const ContentMatcher&) = delete;

    const std::string& needle() const { return needle_; }
    std::int64_t examineLimit() const { return examineLimit_; }
    bool isEmpty() const { return needle_.empty(); }

    // Whether the regular file at the path holds the needle within its first `readCap`
    // bytes. Safe to call from several threads; each call opens, maps and closes its own
    // file. Once `examineLimit` files were examined it fails without touching the file.
    bool matches(const std::string& path);

    // The in-memory test: data bytes A-Z fold to lower case, all other bytes compare as
    // they are, so a non-ASCII needle matches only its own lowercase UTF-8 bytes.
    bool contains(const unsigned char* bytes, std::size_t count) const;

    // Each read under the lock, so the status line may read them while a search runs.
    std::int64_t examined() const;
    std::int64_t skippedBinary() const;
    std::int64_t unreadable() const;
    std::int64_t truncatedMiss() const;
    bool hitLimit() const;

private:
    enum class Outcome { match, miss, skippedBinary, unreadable, truncatedMiss };

    bool beginExamination();
    Outcome examine(const std::string& path) const;
    Outcome searchMapped(const unsigned char* data, std::size_t mapped, std::int64_t size) const;
    void record(Outcome outcome);

    std::string needle_;
    std::int64_t examineLimit_;

    mutable std::mutex lock_; // guards the four counters
    std::int64_t examined_ = 0;
    std::int64_t skippedBinary_ = 0;
    std::int64_t unreadable_ = 0;
    std::int64_t truncatedMiss_ = 0;
};

} // namespace vesko
