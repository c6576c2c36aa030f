// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/QueryService.h"

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "scan/IndexBuilder.h"
#include "search/Search.h"
#include "store/FindQuery.h"
#include "store/IndexStore.h"
#include "store/QueryDescription.h"
#include "store/ShownText.h"

#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>

#include <algorithm>

namespace vesko {
namespace {

// The theme icon of an item's type by its name. On the store's thread: the icon theme is
// the window's and not safe to read from others.
QString iconName(const QString& name, bool isDirectory) {
    if (isDirectory) return QStringLiteral("folder");
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const QString icon = type.iconName();
    if (QIcon::themeName().isEmpty() || QIcon::hasThemeIcon(icon)) return icon;
    return type.genericIconName();
}

std::vector<QueryService::LauncherHit> hitsOf(const std::vector<SearchRow>& rows) {
    std::vector<QueryService::LauncherHit> hits;
    hits.reserve(rows.size());
    for (const SearchRow& row : rows) {
        const QString name = shownText(row.name);
        hits.push_back({row.path(), name, shownText(row.directory), iconName(name, row.isDirectory),
                        row.isDirectory});
    }
    return hits;
}

// The request as FindQuery::toJson writes it; nothing when a member is missing or mistyped.
std::optional<FindQuery> findQueryOf(const QByteArray& json) {
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
    if (object.contains("within")) {
        if (!object["within"].isString()) return std::nullopt;
        find.within = object["within"].toString().toStdString();
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

QueryPreferences QueryPreferences::of(const Preferences& preferences) {
    return beside(preferences.filePath(), preferences.initialConsonants());
}

void ReturnAddress::post(std::function<void()> work) {
    std::lock_guard guard(lock_);
    if (mailbox_) mailbox_->post(std::move(work));
}

void ReturnAddress::close() {
    std::lock_guard guard(lock_);
    mailbox_ = nullptr;
}

void QueryService::onStoreThread(std::function<void()> work) const {
    store_->tasks().deliver(std::move(work));
}

void QueryService::find(const QByteArray& request,
                        std::function<void(const QByteArray&)> reply) const {
    auto query = findQueryOf(request);
    if (!query) return reply("error bad request\n");
    const IndexStore& store = *store_;
    if (store.lifecycle().phase() != IndexLifecycle::Phase::ready || !store.lifecycle().index() ||
        !store.lifecycle().names())
        return reply("error busy\n");
    if (query->sort.field == ResultSort::Field::kind && !query->countOnly)
        return reply("error unsupported\n");
    auto asked = IndexBuilder::normalize(query->roots);
    auto ours = store.lifecycle().roots();
    std::ranges::sort(asked);
    std::ranges::sort(ours);
    if (asked != ours) return reply("error roots\n");
    // The index is a value sharing its columns, so the copy is cheap and the window may
    // install a newer one meanwhile.
    store.tasks().run(
        StoreTasks::Priority::userInitiated,
        [service = *this, query = std::move(*query), index = *store.lifecycle().index(),
         names = store.lifecycle().names(), preferences = QueryPreferences::of(store.preferences()),
         reply = std::move(reply)] {
            QByteArray text =
                QByteArray::fromStdString(query.answerText(index, *names, preferences));
            service.onStoreThread([reply, text = std::move(text)] { reply(text); });
        });
}

void QueryService::launcherSearch(std::string text, std::shared_ptr<ReturnAddress> back,
                                  std::function<void(std::vector<LauncherHit>)> done) const {
    onStoreThread([service = *this, text = std::move(text), back = std::move(back),
                   done = std::move(done)]() mutable {
        const IndexStore& store = *service.store_;
        if (store.lifecycle().phase() != IndexLifecycle::Phase::ready ||
            !store.lifecycle().index() || !store.lifecycle().names()) {
            back->post([done = std::move(done)] { done({}); });
            return;
        }
        QueryDescription query;
        query.text = std::move(text);
        query.filters.matchDiacritics = store.preferences().matchDiacritics();
        query.sort = {ResultSort::Field::relevance, true};
        query.limit = launcherHits;
        Search::Request request = query.request(QueryPreferences::of(store.preferences()));
        request.folderNoise = store.session().folderNoise();
        store.tasks().run(StoreTasks::Priority::userInitiated,
                          [service, request = std::move(request),
                           index = *store.lifecycle().index(), names = store.lifecycle().names(),
                           back = std::move(back), done = std::move(done)]() mutable {
                              const Search::Result result = Search::run(request, index, *names);
                              auto rows = SearchRow::build(result.hits, index, *names);
                              // The icons are looked up on the store's thread, then the hits go
                              // home.
                              service.onStoreThread([rows = std::move(rows), back = std::move(back),
                                                     done = std::move(done)]() mutable {
                                  back->post(
                                      [hits = hitsOf(rows), done = std::move(done)]() mutable {
                                          done(std::move(hits));
                                      });
                              });
                          });
    });
}

void QueryService::open(std::string path, std::function<void()> done) const {
    onStoreThread([store = store_, path = std::move(path), done = std::move(done)] {
        store->actions().searchHistory().recordUse(path);
        FileActions::open(path, store->actions().desktop());
        done();
    });
}

void QueryService::showInFileManager(std::string path, std::function<void()> done) const {
    onStoreThread([store = store_, path = std::move(path), done = std::move(done)] {
        store->actions().searchHistory().recordUse(path);
        FileActions::showInFileManager(path, store->actions().desktop(), [](auto) {});
        done();
    });
}

} // namespace vesko
