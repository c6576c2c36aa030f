// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SavedSearch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <variant>

namespace vesko {
namespace {

constexpr const char* savedSearchesKey = "savedSearches";
const QStringList fieldNames = {"id", "name", "query", "filters", "sort", "isBuiltIn"};

QJsonObject filtersObject(const Filters& filters) {
    QJsonObject object;
    for (const auto& [key, value] : filters.encode()) {
        const QString name = QString::fromStdString(key);
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>)
                    object.insert(name, QString::fromStdString(v));
                else
                    object.insert(name, v);
            },
            value);
    }
    return object;
}

std::optional<Filters> filtersFrom(const QJsonObject& object) {
    Filters::Record record;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string key = it.key().toStdString();
        if (it->isBool())
            record.emplace(key, it->toBool());
        else if (it->isDouble())
            record.emplace(key, it->toDouble());
        else if (it->isString())
            record.emplace(key, it->toString().toStdString());
        else
            return std::nullopt;
    }
    return Filters::decode(record).filters;
}

std::optional<SavedSearch> searchFrom(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    const QJsonObject object = value.toObject();
    for (const QString& field : fieldNames)
        if (!object.contains(field)) return std::nullopt;
    SavedSearch saved;
    saved.id = QUuid::fromString(object["id"].toString());
    if (saved.id.isNull() || !object["name"].isString() || !object["query"].isString() ||
        !object["filters"].isObject() || !object["sort"].isObject() ||
        !object["isBuiltIn"].isBool())
        return std::nullopt;
    saved.name = object["name"].toString();
    saved.query = object["query"].toString();
    saved.isBuiltIn = object["isBuiltIn"].toBool();
    const auto filters = filtersFrom(object["filters"].toObject());
    const auto sort =
        ResultSort::fromJson(QJsonDocument(object["sort"].toObject()).toJson().toStdString());
    if (!filters || !sort) return std::nullopt;
    saved.filters = *filters;
    saved.sort = *sort;
    return saved;
}

} // namespace

QByteArray SavedSearch::encode(const std::vector<SavedSearch>& list) {
    QJsonArray array;
    for (const SavedSearch& saved : list) {
        if (saved.isBuiltIn) continue;
        const auto sort = QJsonDocument::fromJson(QByteArray::fromStdString(saved.sort.toJson()));
        array.append(QJsonObject{{"id", saved.id.toString(QUuid::WithoutBraces).toUpper()},
                                 {"name", saved.name},
                                 {"query", saved.query},
                                 {"filters", filtersObject(saved.filters)},
                                 {"sort", sort.object()},
                                 {"isBuiltIn", false}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<std::vector<SavedSearch>> SavedSearch::decode(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) return std::nullopt;
    std::vector<SavedSearch> list;
    for (const QJsonValue& value : document.array()) {
        auto saved = searchFrom(value);
        if (!saved) return std::nullopt;
        if (!saved->isBuiltIn) list.push_back(std::move(*saved));
    }
    return list;
}

SavedSearches::SavedSearches(Settings& settings) : settings_(settings) {
    const std::string stored = settings.text(savedSearchesKey);
    list_ =
        SavedSearch::decode(QByteArray::fromStdString(stored)).value_or(std::vector<SavedSearch>{});
}

std::optional<SavedSearch> SavedSearches::add(const QString& name, const QString& query,
                                              const Filters& filters, const ResultSort& sort) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    SavedSearch saved{QUuid::createUuid(), trimmed, query, filters, sort, false};
    list_.push_back(saved);
    store();
    return saved;
}

void SavedSearches::remove(const SavedSearch& saved) {
    if (saved.isBuiltIn) return;
    std::erase_if(list_, [&](const SavedSearch& item) { return item.id == saved.id; });
    store();
}

void SavedSearches::store() {
    settings_.setText(savedSearchesKey, SavedSearch::encode(list_).toStdString());
}

} // namespace vesko
