// SPDX-License-Identifier: MIT
// Below the list: the selected item's full path (selectable, with a copy button) and what
// the file system says about it: kind, the application that opens it, size, modified date.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace vesko {

class IndexStore;
struct FileDetail;

class DetailBar : public QWidget {
    Q_OBJECT

public:
    explicit DetailBar(IndexStore& store, QWidget* parent = nullptr);

    // The fields of `detail` joined by " · "; "Folder" for a folder the desktop gives no kind.
    static QString fieldsText(const FileDetail& detail, bool isDirectory);
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
