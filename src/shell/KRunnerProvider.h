// SPDX-License-Identifier: GPL-3.0-or-later
// org.kde.krunner1 on /runner: KRunner sends what is typed, lists our best hits with their
// folders, and runs the chosen one: opened, or shown in the file manager. Match ids are
// ProviderSearch's (the file URL, which is also the match's url); one never handed out runs
// nothing.
#pragma once

#include "store/ProviderSearch.h"

#include <QDBusArgument>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace vesko {

// One row of Match's answer, a(sssida{sv}).
struct RunnerMatch {
    QString id;
    QString text;
    QString iconName;
    int type = 0; // KRunner's match types: 100 exact, 30 possible
    double relevance = 0;
    QVariantMap properties;
};

// One row of Actions' answer, a(sss).
struct RunnerAction {
    QString id;
    QString text;
    QString iconName;
};

QDBusArgument& operator<<(QDBusArgument& out, const RunnerMatch& match);
const QDBusArgument& operator>>(const QDBusArgument& in, RunnerMatch& match);
QDBusArgument& operator<<(QDBusArgument& out, const RunnerAction& action);
const QDBusArgument& operator>>(const QDBusArgument& in, RunnerAction& action);

class KRunnerProvider : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.krunner1")

public:
    static constexpr int exactMatch = 100;
    static constexpr int possibleMatch = 30;
    static constexpr const char* showInFolder = "open-folder";

    explicit KRunnerProvider(ProviderSearch& search, QObject* parent = nullptr);
    // The D-Bus types must be known before an object using them is exported.
    static void registerTypes();

public slots:
    QList<RunnerMatch> Match(const QString& query);
    QList<RunnerAction> Actions();
    void Run(const QString& matchId, const QString& actionId);
    // KRunner's end of a query session; nothing is held between queries.
    void Teardown() {}

private:
    ProviderSearch& search_;
};

} // namespace vesko

Q_DECLARE_METATYPE(vesko::RunnerMatch)
Q_DECLARE_METATYPE(vesko::RunnerAction)
