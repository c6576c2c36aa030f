// SPDX-License-Identifier: MIT
#include "shell/FindService.h"

#include "shell/SingleInstance.h"
#include "store/QueryService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vesko {
namespace {

// The request as FindQuery::toJson writes it; nothing when a member is missing or mistyped.
std::optional<FindQuery> fromJson(const QByteArray& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    FindQuery find;
    if (!object["query"].isString() || !object["roots"].isArray() || !object["limit"].isDouble())
        return std::nullopt;
    find.query = object["query"].toString().toStdString();
    for (const QJsonValue& root : object["roots"].toArray()) {
        if (!root.isString()) return std::nullopt;
        find.roots.push_back(root.toString().toStdString());
    }
    find.limit = object["limit"].toInteger(-1);
    const auto sort = ResultSort::fromJson(object["sort"].toString().toStdString());
    if (find.limit < 0 || !sort) return std::nullopt;
    find.sort = *sort;
    for (const auto& [key, member] : FindQuery::switches) {
        if (!object[key].isBool()) return std::nullopt;
        find.*member = object[key].toBool();
    }
    return find;
}

} // namespace

FindService::FindService(IndexStore& store, QObject* parent) : QObject(parent), store_(store) {}

void FindService::attach(SingleInstance& instance) {
    instance.setHandler("find", [this](const QByteArray& argument, SingleInstance::Reply reply) {
        answer(argument, reply);
    });
}

void FindService::answer(const QByteArray& argument,
                         const std::function<void(const QByteArray&)>& reply) {
    auto query = fromJson(argument);
    if (!query) return reply("error bad request\n");
    QueryService(store_).find(std::move(*query), reply);
}

} // namespace vesko
