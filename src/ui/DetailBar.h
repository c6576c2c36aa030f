// SPDX-License-Identifier: GPL-3.0-or-later
// Below the list: the selected item's full path (selectable, with a copy button) and what
// the file system says about it: kind, the application that opens it, size, modified date;
// with several rows marked, their count and size instead.
#pragma once

#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace vesko {

class SearchSession;
class FileActionCenter;
class Preferences;
struct FileDetail;
struct SearchRow;

class DetailBar : public QWidget {
    Q_OBJECT

public:
    explicit DetailBar(SearchSession& session, FileActionCenter& fileActions,
                       Preferences& preferences, QWidget* parent = nullptr);

    // The fields of `detail` joined by " · "; a folder's kind is "Folder" as in the list.
    static QString fieldsText(const FileDetail& detail, bool isDirectory);
    // For several marked rows: how many, and the total size of the files among them.
    static QString marksText(const std::vector<SearchRow>& rows);
    // The selected item's path as the path bar style writes it, uncut.
    QString path() const;
    QString fields() const;

signals:
    void pathCopied();

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    void copy();
    void retranslate();
    void showPath();

    SearchSession& session_;
    FileActionCenter& fileActions_;
    Preferences& preferences_;
    QLineEdit* path_;
    QString pathText_; // what the path field shows when it has the room
    QPushButton* copy_;
    QLabel* warning_;
    QLabel* fields_;
    QTimer* copied_;
    bool detailFresh_ = false; // the store's detail belongs to the selected row
};

} // namespace vesko
