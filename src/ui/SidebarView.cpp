// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SidebarView.h"

#include "store/SearchSession.h"
#include "store/Settings.h"
#include "ui/CollapsibleSection.h"
#include "ui/FilterSummary.h"
#include "ui/LocationsView.h"
#include "ui/SavedSearchesView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleValidator>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace vesko {
namespace {

template <typename Enum, std::size_t N>
int positionOf(const std::array<std::pair<Enum, std::string_view>, N>& cases, Enum value) {
    for (std::size_t i = 0; i < N; ++i)
        if (cases[i].first == value) return static_cast<int>(i);
    return 0;
}

// The number a size field shows: nothing for "no bound", so the placeholder speaks.
QString sizeText(double size) {
    return size > 0 ? QLocale().toString(size, 'f', QLocale::FloatingPointShortest) : QString();
}

constexpr int smallestWidth = 240;

void showText(QLineEdit* field, const QString& text) {
    if (field->text() != text) field->setText(text);
}

} // namespace

SidebarView::SidebarView(IndexLifecycle& lifecycle, SearchSession& session,
                         FileActionCenter& fileActions, Settings& settings, QWidget* parent)
    : QWidget(parent), session_(session), settings_(settings) {
    setObjectName("sidebar");
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    layout->addWidget(buildHeader());
    layout->addWidget(sectionTitle(QT_TR_NOOP("Saved")));
    layout->addWidget(new SavedSearchesView(fileActions, content));
    layout->addWidget(sectionTitle(QT_TR_NOOP("Location")));
    layout->addWidget(new LocationsView(lifecycle, content));
    layout->addWidget(buildKind());
    layout->addWidget(buildName());
    layout->addWidget(buildContents());
    layout->addWidget(buildSizeAndDate());
    layout->addStretch();

    scrolled_ = content;
    scrolled_->installEventFilter(this);
    auto* scroll = new QScrollArea(this);
    scroll_ = scroll;
    scroll->setObjectName("sidebarScroll");
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    connect(&session_, &SearchSession::filtersChanged, this, &SidebarView::showFilters);
    retranslate();
}

QWidget* SidebarView::buildHeader() {
    auto* header = new QWidget;
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel;
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    const QIcon fallback = style()->standardIcon(QStyle::SP_FileDialogContentsView);
    icon->setPixmap(
        QIcon::fromTheme("view-filter", QIcon::fromTheme("edit-find", fallback)).pixmap(size));
    auto* title = new QLabel;
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    title->setFont(bold);
    texts_.text(title, QT_TR_NOOP("Search Filters"));
    active_ = new QLabel;
    active_->setObjectName("activeFilters");
    active_->setForegroundRole(QPalette::Highlight);
    clear_ = new QPushButton;
    clear_->setObjectName("clearFilters");
    texts_.text(clear_, QT_TR_NOOP("Clear"));
    connect(clear_, &QPushButton::clicked, this, [this] { session_.setFilters(Filters()); });
    row->addWidget(icon);
    row->addWidget(title, 1);
    row->addWidget(clear_);
    layout->addLayout(row);
    // On a line of its own, so the header fits the narrowest sidebar in every language.
    layout->addWidget(active_);
    note(layout,
         QT_TR_NOOP("Narrows the results. Excluding folders from the index is in Settings."));
    return header;
}

CollapsibleSection* SidebarView::buildKind() {
    kind_ = new CollapsibleSection(settings_, "sbKind");
    QVBoxLayout* body = kind_->body();
    kindPicker_ = picker("kindPicker", {QT_TR_NOOP("Files & Folders"), QT_TR_NOOP("Only Files"),
                                        QT_TR_NOOP("Only Folders")});
    caption(body, QT_TR_NOOP("Search for"), kindPicker_);
    body->addWidget(kindPicker_);
    connect(kindPicker_, &QComboBox::activated, this, [this](int i) {
        edit([i](Filters& f) { f.chooseKind(Filters::kindTexts[i].first); });
    });
    familyPicker_ =
        picker("familyPicker", {QT_TR_NOOP("Any Type"), QT_TR_NOOP("Documents"),
                                QT_TR_NOOP("Images"), QT_TR_NOOP("Audio"), QT_TR_NOOP("Video"),
                                QT_TR_NOOP("Archives"), QT_TR_NOOP("Code")});
    caption(body, QT_TR_NOOP("Type"), familyPicker_);
    body->addWidget(familyPicker_);
    connect(familyPicker_, &QComboBox::activated, this, [this](int i) {
        edit([i](Filters& f) { f.chooseFamily(Filters::familyTexts[i].first); });
    });
    caption(body, QT_TR_NOOP("Include"));
    toggle(body, "showInvisible", QT_TR_NOOP("Hidden files and folders"), &Filters::showInvisible);
    // Bundles (folders named *.app) are rare on Linux; the switch shows only while a saved
    // search has their contents left out, so that it can be turned back on.
    packages_ = toggle(body, "showPackageContents", QT_TR_NOOP("Contents of .app bundles"),
                       &Filters::showPackageContents);
    return kind_;
}

CollapsibleSection* SidebarView::buildName() {
    name_ = new CollapsibleSection(settings_, "sbName");
    QVBoxLayout* body = name_->body();
    toggle(body, "matchPath", QT_TR_NOOP("Match Path"), &Filters::matchPath);
    toggle(body, "matchDiacritics", QT_TR_NOOP("Match Diacritics"), &Filters::matchDiacritics);
    caption(body, QT_TR_NOOP("Syntax"));
    toggle(body, "useRegex", QT_TR_NOOP("Regular Expression"), &Filters::useRegex);
    toggle(body, "matchCase", QT_TR_NOOP("Match Case"), &Filters::matchCase);
    regexNote_ = note(body, QT_TR_NOOP("POSIX extended. Use [[:digit:]], not \\d."));
    regexSpeedNote_ = note(body, QT_TR_NOOP("Slower - every name is tested."));
    syntaxNote_ = note(body, QT_TR_NOOP("Space = and,  | = or,  ! = not,  <> = group"));
    extensions_ = new QLineEdit;
    extensions_->setObjectName("extensions");
    extensions_->setClearButtonEnabled(true);
    caption(body, QT_TR_NOOP("Extension"));
    texts_.placeholder(extensions_, QT_TR_NOOP("e.g. pdf, jpg, docx"));
    body->addWidget(extensions_);
    connect(extensions_, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&text](Filters& f) { f.extensions = text.toStdString(); });
    });
    return name_;
}

CollapsibleSection* SidebarView::buildContents() {
    contents_ = new CollapsibleSection(settings_, "sbContent");
    QVBoxLayout* body = contents_->body();
    content_ = new QLineEdit;
    content_->setObjectName("contentQuery");
    content_->setClearButtonEnabled(true);
    caption(body, QT_TR_NOOP("Contains text"));
    texts_.placeholder(content_, QT_TR_NOOP("Search file contents"));
    body->addWidget(content_);
    note(body, QT_TR_NOOP("Slow - narrow by name first"));
    note(body, QT_TR_NOOP("Opens each matching file. Binary files are skipped."));
    connect(content_, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&text](Filters& f) { f.contentQuery = text.toStdString(); });
    });
    return contents_;
}

CollapsibleSection* SidebarView::buildSizeAndDate() {
    meta_ = new CollapsibleSection(settings_, "sbMeta");
    QVBoxLayout* body = meta_->body();
    caption(body, QT_TR_NOOP("Size"));
    minimumSize_ = sizeField("minimumSize", &Filters::minimumSize);
    maximumSize_ = sizeField("maximumSize", &Filters::maximumSize);
    minimumUnit_ = picker("minimumSizeUnit", {});
    maximumUnit_ = picker("maximumSizeUnit", {});
    for (QComboBox* box : {minimumUnit_, maximumUnit_})
        for (std::size_t i = 0; i < Filters::sizeUnitTexts.size(); ++i)
            box->addItem(QString());
    const auto unitEdit = [this](QComboBox* box, Filters::SizeUnit Filters::*field) {
        connect(box, &QComboBox::activated, this, [this, field](int i) {
            edit([&](Filters& f) { f.*field = Filters::sizeUnitTexts[i].first; });
        });
    };
    unitEdit(minimumUnit_, &Filters::minimumSizeUnit);
    unitEdit(maximumUnit_, &Filters::maximumSizeUnit);
    const auto sizeRow = [&](const char* source, QLineEdit* field, QComboBox* unit) {
        auto* row = new QHBoxLayout;
        auto* label = new QLabel;
        texts_.text(label, source, field);
        row->addWidget(label, 1);
        row->addWidget(field);
        row->addWidget(unit);
        body->addLayout(row);
    };
    sizeRow(QT_TR_NOOP("Larger than"), minimumSize_, minimumUnit_);
    sizeRow(QT_TR_NOOP("Smaller than"), maximumSize_, maximumUnit_);

    dateField_ = picker("dateField",
                        {QT_TR_NOOP("Modified"), QT_TR_NOOP("Created"), QT_TR_NOOP("Last Opened")});
    caption(body, QT_TR_NOOP("Which date"), dateField_);
    body->addWidget(dateField_);
    connect(dateField_, &QComboBox::activated, this, [this](int i) {
        edit([i](Filters& f) { f.dateField = Filters::dateFieldTexts[i].first; });
    });
    range_ = picker("dateRange",
                    {QT_TR_NOOP("Any Time"), QT_TR_NOOP("Today"), QT_TR_NOOP("This Week"),
                     QT_TR_NOOP("This Month"), QT_TR_NOOP("This Year"), QT_TR_NOOP("Last 7 Days"),
                     QT_TR_NOOP("Last 30 Days"), QT_TR_NOOP("Last Year")});
    caption(body, QT_TR_NOOP("Date range"), range_);
    body->addWidget(range_);
    connect(range_, &QComboBox::activated, this, [this](int i) {
        edit([i](Filters& f) { f.modified = Filters::dateRangeTexts[i].first; });
    });
    return meta_;
}

QLabel* SidebarView::caption(QVBoxLayout* layout, const char* source, QWidget* named) {
    auto* label = new QLabel;
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    texts_.text(label, source, named);
    layout->addWidget(label);
    return label;
}

QLabel* SidebarView::note(QVBoxLayout* layout, const char* source) {
    auto* label = new QLabel;
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    label->setFont(small);
    texts_.text(label, source);
    layout->addWidget(label);
    return label;
}

QLabel* SidebarView::sectionTitle(const char* source) {
    auto* label = new QLabel;
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    texts_.text(label, source);
    return label;
}

QCheckBox* SidebarView::toggle(QVBoxLayout* layout, const char* name, const char* source,
                               bool Filters::*field) {
    auto* box = new QCheckBox;
    box->setObjectName(name);
    texts_.text(box, source);
    layout->addWidget(box);
    toggles_.emplace_back(box, field);
    connect(box, &QCheckBox::toggled, this,
            [this, field](bool on) { edit([&](Filters& f) { f.*field = on; }); });
    return box;
}

QComboBox* SidebarView::picker(const char* name, std::vector<const char*> choices) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    texts_.items(box, std::move(choices));
    return box;
}

QLineEdit* SidebarView::sizeField(const char* name, double Filters::*field) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setPlaceholderText(QStringLiteral("0"));
    edit->setMaximumWidth(80);
    auto* validator = new QDoubleValidator(0, 1e15, 3, edit);
    validator->setNotation(QDoubleValidator::StandardNotation);
    edit->setValidator(validator);
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        bool ok = false;
        const double value = QLocale().toDouble(text, &ok);
        this->edit([&](Filters& f) { f.*field = ok ? value : 0; });
    });
    return edit;
}

void SidebarView::edit(const std::function<void(Filters&)>& change) {
    Filters filters = session_.filters();
    change(filters);
    session_.setFilters(filters);
}

void SidebarView::showFilters() {
    const Filters& f = session_.filters();
    for (auto [box, field] : toggles_) {
        const QSignalBlocker blocker(box);
        box->setChecked(f.*field);
    }
    kindPicker_->setCurrentIndex(positionOf(Filters::kindTexts, f.kind));
    familyPicker_->setCurrentIndex(positionOf(Filters::familyTexts, f.family));
    minimumUnit_->setCurrentIndex(positionOf(Filters::sizeUnitTexts, f.minimumSizeUnit));
    maximumUnit_->setCurrentIndex(positionOf(Filters::sizeUnitTexts, f.maximumSizeUnit));
    dateField_->setCurrentIndex(positionOf(Filters::dateFieldTexts, f.dateField));
    range_->setCurrentIndex(positionOf(Filters::dateRangeTexts, f.modified));
    {
        const QSignalBlocker a(extensions_), b(content_);
        showText(extensions_, QString::fromStdString(f.extensions));
        showText(content_, QString::fromStdString(f.contentQuery));
    }
    // A field being typed in keeps "1." as typed while it means the stored value.
    for (auto [field, value] :
         {std::pair{minimumSize_, f.minimumSize}, std::pair{maximumSize_, f.maximumSize}}) {
        bool ok = false;
        const double shown = QLocale().toDouble(field->text(), &ok);
        if (field->hasFocus() && (ok ? shown : 0) == std::max(value, 0.0)) continue;
        showText(field, sizeText(value));
    }
    packages_->setVisible(!f.showPackageContents);
    regexNote_->setVisible(f.useRegex);
    regexSpeedNote_->setVisible(f.useRegex);
    syntaxNote_->setVisible(!f.useRegex);

    const int count = f.activeCount();
    active_->setText(count > 0 ? tr("%1 active").arg(count) : QString());
    active_->setVisible(count > 0);
    active_->setAccessibleName(active_->text());
    clear_->setEnabled(!f.isEmpty());
    kind_->setSummary(FilterSummary::kind(f));
    name_->setSummary(FilterSummary::name(f));
    contents_->setSummary(FilterSummary::contents(f));
    meta_->setSummary(FilterSummary::sizeAndDate(f));
}

// Wide enough for the widest control beside the scroll bar: the bar appears once sections are
// open and would otherwise cover the right edge of the Clear button, the pickers and fields.
void SidebarView::fitWidth() {
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    setMinimumWidth(std::max(smallestWidth, scrolled_->minimumSizeHint().width() + bar));
}

bool SidebarView::eventFilter(QObject* watched, QEvent* event) {
    // Words, a language or an opened section changed what the widest control needs.
    if (watched == scrolled_ && event->type() == QEvent::LayoutRequest) fitWidth();
    return QWidget::eventFilter(watched, event);
}

void SidebarView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void SidebarView::retranslate() {
    texts_.apply();
    kind_->setTitle(tr("Kind"));
    name_->setTitle(tr("Name"));
    contents_->setTitle(tr("Contents"));
    meta_->setTitle(tr("Size & Date"));
    extensions_->setAccessibleName(tr("File extensions"));
    content_->setAccessibleName(tr("Search file contents"));
    const QString unit = tr("%1 unit");
    minimumUnit_->setAccessibleName(unit.arg(tr("Larger than")));
    maximumUnit_->setAccessibleName(unit.arg(tr("Smaller than")));
    for (QComboBox* box : {minimumUnit_, maximumUnit_})
        for (int i = 0; i < box->count(); ++i)
            box->setItemText(i, FilterSummary::unitText(Filters::sizeUnitTexts[i].first));
    showFilters();
}

} // namespace vesko
