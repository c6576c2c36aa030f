// SPDX-License-Identifier: MIT
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

class IndexStore;
struct FileDetail;
struct SearchRow;

class DetailBar : public QWidget {
    Q_OBJECT

public:
    explicit DetailBar(IndexStore& store, QWidget* parent = nullptr);

    // The fields of `detail` joined by " · "; "Folder" for a folder the desktop gives no kind.
    static QString fieldsText(const FileDetail& detail, bool isDirectory);
    // For several marked rows: how many, and the total size of the files among them.
    static QString marksText(const std::vector<SearchRow>& rows);
    QString path() const;
    QString fields() const;

signals:
    void pathCopied();

private:
    void follow();
    void copy();

    IndexStore& store_;
    QLineEdit* path_;
    QPushButton* copy_;
    QLabel* warning_;
    QLabel* fields_;
    QTimer* copied_;
    bool detailFresh_ = false; // the store's detail belongs to the selected row
};

} // namespace vesko
