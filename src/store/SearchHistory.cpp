// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SearchHistory.h"

#include "search/UseCounts.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <chrono>

namespace vesko {
namespace {

constexpr const char* historyKey = "searchHistory";
constexpr const char* keepKey = "keepSearchHistory";

} // namespace

SearchHistory::SearchHistory(Settings& settings, QObject* parent)
    : QObject(parent), settings_(settings) {
    keep_ = settings.boolean(keepKey, true);
    if (keep_)
        queries_ =
            decode(QByteArray::fromStdString(settings.text(historyKey))).value_or(QStringList());
}

void SearchHistory::record(const QString& query) {
    const QString text = query.trimmed();
    if (!keep_ || text.isEmpty() || (!queries_.isEmpty() && queries_.front() == text)) return;
    queries_.removeAll(text);
    queries_.prepend(text);
    if (queries_.size() > capacity) queries_.resize(capacity);
    store();
}

void SearchHistory::recordUse(const std::string& path) {
    if (!keep_) return;
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch());
    // Ranking hints only: a use that cannot be written is simply not counted.
    UseCounts::recordIn(UseCounts::fileBeside(settings_.filePath()), path, now.count());
}

bool SearchHistory::remembersUses() const {
    return !UseCounts::read(UseCounts::fileBeside(settings_.filePath())).uses().empty();
}

void SearchHistory::clear() {
    UseCounts::forget(UseCounts::fileBeside(settings_.filePath()));
    // Also removes a stored list that could not be read, which the user asked to forget.
    const bool hadStored = settings_.contains(historyKey);
    if (queries_.isEmpty() && !hadStored) return;
    queries_.clear();
    settings_.remove(historyKey);
    emit changed();
}

void SearchHistory::setKeepsHistory(bool on) {
    if (on == keep_) return;
    keep_ = on;
    settings_.setBoolean(keepKey, on);
    if (!on) clear();
    emit changed();
}

void SearchHistory::store() {
    settings_.setText(historyKey, encode(queries_).toStdString());
    emit changed();
}

QByteArray SearchHistory::encode(const QStringList& queries) {
    return QJsonDocument(QJsonArray::fromStringList(queries)).toJson(QJsonDocument::Compact);
}

std::optional<QStringList> SearchHistory::decode(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) return std::nullopt;
    QStringList queries;
    for (const QJsonValue& value : document.array()) {
        if (!value.isString()) return std::nullopt;
        const QString text = value.toString().trimmed();
        if (!text.isEmpty() && !queries.contains(text)) queries << text;
    }
    if (queries.size() > capacity) queries.resize(capacity);
    return queries;
}

} // namespace vesko
