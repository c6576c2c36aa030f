// SPDX-License-Identifier: GPL-3.0-or-later
// "Search here": the searches limited to one folder. A folder inside the indexed roots is
// searched in the index at once; one outside them is read once into an index of its own,
// which is never saved and never joins the roots unless the user adds the folder.
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vesko {

class IndexLifecycle;
class PartialBox;
class SearchSession;
class StoreTasks;
struct StoreEnvironment;
namespace IndexBuilder {
struct Result;
}

class SearchScope : public QObject {
    Q_OBJECT

public:
    // none: the whole index. inside: a folder of the index. walking: an outside folder being
    // read, which answers from what has been read so far once a part is handed out (a long
    // read's first part comes after the first scan's interval). outside: read, and searched
    // in its own index.
    // failed: it could not be read (see problem).
    enum class State { none, inside, walking, outside, failed };

    SearchScope(IndexLifecycle& lifecycle, SearchSession& session, StoreTasks& tasks,
                const StoreEnvironment& env, QObject* parent = nullptr);
    ~SearchScope() override;

    // Limits the searches to the folder at `path`: absolute, its stored bytes.
    void enter(std::string path);
    // Back to the whole index; a walk in progress stops.
    void clear();
    // Makes the outside folder one of the indexed roots; its own index answers until the
    // rebuild that takes it in is installed.
    void addToRoots();

    State state() const { return state_; }
    const std::string& path() const { return path_; }
    // Folders read so far by the walk.
    qint64 foldersRead() const { return foldersRead_; }
    // Why the walk failed, in the builder's words.
    const std::string& problem() const { return problem_; }
    // Whether the folder lies inside the indexed roots and is not left out of them.
    bool isIndexed(const std::string& path) const;

    // Runs on the walk's thread before it reads anything; tests hold the walk there.
    void setWalkGate(std::function<void()> gate) { walkGate_ = std::move(gate); }

signals:
    void changed();
    void progressChanged();

private:
    struct Walk;

    void startWalk();
    void showPart(const std::shared_ptr<Walk>& walk, PartialBox& partials);
    void finishWalk(IndexBuilder::Result& built);
    void stopWalk();
    void setState(State state);
    void followRoots();

    IndexLifecycle& lifecycle_;
    SearchSession& session_;
    StoreTasks& tasks_;
    int workers_;
    std::chrono::milliseconds partialInterval_;
    std::function<void()> partialHandedOver_;
    State state_ = State::none;
    std::string path_;
    std::string problem_;
    qint64 foldersRead_ = 0;
    std::shared_ptr<Walk> walk_;
    QTimer progressTimer_;
    std::function<void()> walkGate_;
};

} // namespace vesko
