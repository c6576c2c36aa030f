// SPDX-License-Identifier: GPL-3.0-or-later
// The bottom line: what the store is doing on the left, the keys that work where the focus
// is on the right, in the desktop's own key names.
#pragma once

#include <QWidget>

#include <utility>
#include <vector>

class QLabel;
class QTimer;

namespace vesko {

class IndexLifecycle;
class SearchSession;
class FileActionCenter;
class Preferences;
class ResultActions;
struct SearchStatus;

class StatusBar : public QWidget {
    Q_OBJECT

public:
    enum class Focus { none, query, list };
    // A hint: what happens, and the key that does it.
    using Hint = std::pair<QString, QString>;

    explicit StatusBar(IndexLifecycle& lifecycle, SearchSession& session,
                       FileActionCenter& fileActions, Preferences& preferences,
                       QWidget* parent = nullptr);

    // The list's hints are these actions' own texts and keys.
    void setActions(const ResultActions& actions);
    void setFocusPlace(Focus focus);
    // Shows "Path copied" for a moment.
    void notePathCopied();
    QString text() const;
    std::vector<Hint> hints() const;
    // The session's status in words, in the language of now.
    static QString statusText(const SearchStatus& status);
    // How far the first scan has come: entries read, and about how many there will be.
    static QString progressText(qint64 entries, qint64 expected);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void followStore();
    void layoutHints();

    IndexLifecycle& lifecycle_;
    SearchSession& session_;
    FileActionCenter& fileActions_;
    Preferences& preferences_;
    const ResultActions* actions_ = nullptr;
    QLabel* left_;
    QLabel* right_;
    QTimer* copied_;
    Focus focus_ = Focus::none;
};

} // namespace vesko
