// SPDX-License-Identifier: GPL-3.0-or-later
// The sidebar's list of what is indexed: the home folder always, and each mounted volume the
// user can add or drop, with the extra roots that are configured but absent right now.
#pragma once

#include <QWidget>

class QVBoxLayout;

namespace vesko {

class IndexLifecycle;
class RowButton;

class LocationsView : public QWidget {
    Q_OBJECT

public:
    explicit LocationsView(IndexLifecycle& lifecycle, QWidget* parent = nullptr);

    // Adds the path to the extra roots, or takes it out.
    void setIndexed(const QString& path, bool on);

protected:
    void changeEvent(QEvent* event) override;

private:
    void showRows();
    void addRow(QVBoxLayout* rows, const QIcon& icon, const QString& name, const QString& path);
    void addNote(QVBoxLayout* rows, const QString& text);

    IndexLifecycle& lifecycle_;
    QVBoxLayout* rows_;
    QWidget* rowsBox_ = nullptr;
    RowButton* rescan_;
};

} // namespace vesko
