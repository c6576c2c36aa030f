// SPDX-License-Identifier: GPL-3.0-or-later
// The filter panel beside the results: saved searches, locations and the filter sections.
// It edits the store's filter record in place; every change runs the search again.
#pragma once

#include "store/SearchOptions.h"
#include "ui/TextBinder.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace vesko {

class CollapsibleSection;
class FileActionCenter;
class IndexLifecycle;
class SearchSession;
class Settings;

class SidebarView : public QWidget {
    Q_OBJECT

public:
    SidebarView(IndexLifecycle& lifecycle, SearchSession& session, FileActionCenter& fileActions,
                Settings& settings, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildHeader();
    CollapsibleSection* buildKind();
    CollapsibleSection* buildName();
    CollapsibleSection* buildContents();
    CollapsibleSection* buildSizeAndDate();
    QLabel* caption(QVBoxLayout* layout, const char* source, QWidget* named = nullptr);
    QLabel* note(QVBoxLayout* layout, const char* source);
    QLabel* sectionTitle(const char* source);
    QCheckBox* toggle(QVBoxLayout* layout, const char* name, const char* source,
                      bool Filters::*field);
    QComboBox* picker(const char* name, std::vector<const char*> choices);
    QLineEdit* sizeField(const char* name, double Filters::*field);
    void edit(const std::function<void(Filters&)>& change);
    void showFilters();
    void retranslate();
    void fitWidth();

    SearchSession& session_;
    Settings& settings_;
    TextBinder texts_{"vesko::SidebarView"};
    QScrollArea* scroll_ = nullptr;
    QWidget* scrolled_ = nullptr; // everything inside the scroll area
    QLabel* active_ = nullptr;
    QPushButton* clear_ = nullptr;
    CollapsibleSection* kind_ = nullptr;
    CollapsibleSection* name_ = nullptr;
    CollapsibleSection* contents_ = nullptr;
    CollapsibleSection* meta_ = nullptr;
    QComboBox* kindPicker_ = nullptr;
    QComboBox* familyPicker_ = nullptr;
    std::vector<std::pair<QCheckBox*, bool Filters::*>> toggles_;
    QCheckBox* packages_ = nullptr;
    QLabel* regexNote_ = nullptr;
    QLabel* regexSpeedNote_ = nullptr;
    QLabel* syntaxNote_ = nullptr;
    QLineEdit* extensions_ = nullptr;
    QLineEdit* content_ = nullptr;
    QLineEdit* minimumSize_ = nullptr;
    QLineEdit* maximumSize_ = nullptr;
    QComboBox* minimumUnit_ = nullptr;
    QComboBox* maximumUnit_ = nullptr;
    QComboBox* dateField_ = nullptr;
    QComboBox* range_ = nullptr;
};

} // namespace vesko
