// SPDX-License-Identifier: GPL-3.0-or-later
// The application's state, in three rooms wired together here: the index's life
// (IndexLifecycle), the search the user is typing (SearchSession, with the folder it is
// limited to, SearchScope) and what the user does with the results (FileActionCenter). It
// owns what they share: the preferences file, the preferences read from it and the pool
// their background work runs on. Every member lives on the main thread; background results
// come back to it before they are installed.
#pragma once

#include "store/FileActionCenter.h"
#include "store/IndexLifecycle.h"
#include "store/Preferences.h"
#include "store/SearchScope.h"
#include "store/SearchSession.h"
#include "store/Settings.h"
#include "store/StoreEnvironment.h"
#include "store/StoreProblems.h"
#include "store/StoreTasks.h"

#include <QObject>

#include <chrono>
#include <memory>

namespace vesko {

class IndexStore : public QObject {
    Q_OBJECT

public:
    explicit IndexStore(StoreEnvironment environment = {}, QObject* parent = nullptr);
    ~IndexStore() override;

    IndexLifecycle& lifecycle() { return lifecycle_; }
    const IndexLifecycle& lifecycle() const { return lifecycle_; }
    SearchSession& session() { return session_; }
    const SearchSession& session() const { return session_; }
    SearchScope& scope() { return scope_; }
    FileActionCenter& actions() { return actions_; }
    const FileActionCenter& actions() const { return actions_; }
    Settings& settings() { return settings_; }
    Preferences& preferences() { return preferences_; }
    const Preferences& preferences() const { return preferences_; }
    // The pool every background job of the application runs on; safe from any thread.
    StoreTasks& tasks() const { return *tasks_; }
    StoreProblems& problems() { return problems_; }

    // The termination save: searches stop, the preferences are written (a failure is
    // listed), then the lifecycle's bounded save (see there).
    bool saveBeforeExit(std::chrono::milliseconds bound = std::chrono::milliseconds(5000));

private:
    StoreEnvironment env_;
    Settings settings_;
    std::unique_ptr<StoreTasks> tasks_;
    StoreProblems problems_;
    Preferences preferences_{settings_};
    IndexLifecycle lifecycle_;
    SearchSession session_;
    FileActionCenter actions_;
    SearchScope scope_;
};

} // namespace vesko
