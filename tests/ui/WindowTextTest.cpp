// SPDX-License-Identifier: GPL-3.0-or-later
// What the window says, to the eye and to a screen reader: every text follows a language
// switch at once, and every control a reader reaches has a name (and a section its state).
#include "store/Localization.h"
#include "store/StoreFixture.h"
#include "ui/DisplayText.h"
#include "ui/MainView.h"
#include "ui/PreviewWindow.h"
#include "ui/ResultModel.h"
#include "ui/SettingsWindow.h"
#include "ui/StatusBar.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QToolButton>

#include <functional>

namespace vesko {
namespace {

using test::patience;

struct Text {
    QString where;
    QString text;
};

class Texts {
public:
    void add(const QObject* owner, const QString& what, const QString& text) {
        if (text.isEmpty()) return;
        list.push_back({QStringLiteral("%1 '%2' %3")
                            .arg(owner->metaObject()->className(), owner->objectName(), what),
                        text});
    }

    // Captions, placeholders, tips, choices, actions, the titles and worded cells of lists.
    void addWidget(const QWidget& widget) {
        add(&widget, "tooltip", widget.toolTip());
        add(&widget, "name", widget.accessibleName());
        add(&widget, "description", widget.accessibleDescription());
        if (widget.isWindow()) add(&widget, "title", widget.windowTitle());
        if (const auto* label = qobject_cast<const QLabel*>(&widget))
            add(&widget, "text", QTextDocumentFragment::fromHtml(label->text()).toPlainText());
        if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
            add(&widget, "text", button->text());
        if (const auto* field = qobject_cast<const QLineEdit*>(&widget))
            add(&widget, "placeholder", field->placeholderText());
        if (const auto* group = qobject_cast<const QGroupBox*>(&widget))
            add(&widget, "title", group->title());
        if (const auto* box = qobject_cast<const QComboBox*>(&widget))
            for (int i = 0; i < box->count(); ++i)
                add(&widget, "item", box->itemText(i));
        for (const QAction* action : widget.actions()) {
            add(action, "text", action->text());
            add(action, "tooltip", action->toolTip());
        }
        if (const auto* view = qobject_cast<const QAbstractItemView*>(&widget)) addView(*view);
    }

    // Names and descriptions down the accessible tree; big lists only in part.
    void addAccessible(QAccessibleInterface* node, int depth = 0) {
        if (!node || depth > 40) return;
        const QObject* owner = node->object() ? node->object() : node->parent()->object();
        add(owner, "accessible name", node->text(QAccessible::Name));
        add(owner, "accessible description", node->text(QAccessible::Description));
        for (int i = 0; i < std::min(node->childCount(), 120); ++i)
            addAccessible(node->child(i), depth + 1);
    }

    std::vector<Text> list;

private:
    void addView(const QAbstractItemView& view) {
        const QAbstractItemModel* model = view.model();
        if (!model) return;
        const auto* results = qobject_cast<const ResultModel*>(model);
        for (int column = 0; column < model->columnCount(); ++column) {
            add(&view, "header", model->headerData(column, Qt::Horizontal).toString());
            // Names and paths are the user's; kinds, sizes and dates are ours.
            const bool worded =
                !results || (results->columnAt(column) != ResultModel::Column::name &&
                             results->columnAt(column) != ResultModel::Column::path);
            for (int row = 0; worded && row < std::min(model->rowCount(), 20); ++row)
                add(&view, "cell", model->index(row, column).data().toString());
        }
    }
};

Texts everyText(const std::vector<QWidget*>& windows) {
    Texts texts;
    for (QWidget* window : windows) {
        texts.addWidget(*window);
        for (const QWidget* widget : window->findChildren<QWidget*>())
            texts.addWidget(*widget);
        texts.addAccessible(QAccessible::queryAccessibleInterface(window));
    }
    return texts;
}

bool hasHangul(const QString& text) {
    for (QChar c : text)
        if ((c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3) ||
            (c.unicode() >= 0x3131 && c.unicode() <= 0x318E))
            return true;
    return false;
}

// Words of English left among Korean texts: once the user's own names (all "report…" under
// "docs") and commands are taken out, any word of three Latin letters or more in a text with
// no Hangul, and a lower-case one beside Hangul (names such as "Word 2007 문서" or "JPEG 그림"
// are capitalised). Key, unit and format names are written in Latin letters in Korean too.
QStringList englishIn(const QString& text, const QString& home) {
    static const QRegularExpression mine(QStringLiteral(
        "\\S*(report|docs)\\S*|(sudo|flatpak) [^)\\n]*|\\S*inotify\\S*|(?<!\\S)[~]?/\\S*"));
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]{3,}"));
    static const QStringList kept{"Vesko",  "Ctrl",  "Alt",  "Shift",  "Super", "Space",
                                  "Return", "Enter", "Esc",  "Tab",    "Del",   "Ins",
                                  "Home",   "End",   "PgUp", "PgDown", "Down",  "POSIX",
                                  "digit",  "pdf",   "jpg",  "docx",   "app"};
    QString rest = text;
    rest.remove(home);
    rest.remove(mine);
    const bool korean = hasHangul(rest);
    QStringList found;
    for (const auto& match : latin.globalMatch(rest)) {
        const QString word = match.captured();
        if (!kept.contains(word) && (!korean || word.front().isLower())) found << word;
    }
    return found;
}

class WindowTextTest : public test::StoreFixture {
protected:
    WindowTextTest() {
        for (const char* name :
             {"report-1.pdf", "report-2.tar.gz", "report-3.txt", "report-4.docx", "report-5.jpg"})
            home.file(std::string("docs/") + name, std::string(2048, 'x'));
        home.dir("docs/report-folder");
    }
};

// Built and searched in English, then switched while running: nothing may stay behind in the
// language left, neither on screen nor for a screen reader, and switching back undoes it all.
// Names one error away are offered only with the word that found nothing, in the words of
// the language chosen.
TEST_F(WindowTextTest, ALanguageSwitchReachesEveryTextAtOnce) {
    auto store = startedStore();
    Localization localization(store->settings());
    localization.setLanguage("en");
    PreviewWindow preview(store->session(), store->tasks());
    MainView view(*store, preview);
    SettingsWindow settings(store->lifecycle(), store->session(), store->preferences(),
                            localization);
    view.resize(1180, 760);
    view.show();
    settings.show();
    searchFor(*store, "report");
    store->session().setSelection(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->actions().detail().has_value(); }, patience));
    auto* regex = view.findChild<QAbstractButton*>("useRegex");
    QSignalSpy regexRows(&store->session(), &SearchSession::rowsChanged);
    regex->click();
    ASSERT_TRUE(regexRows.wait(patience)); // the regular-expression search, delayed
    const QString homePath = QString::fromStdString(home.root());
    const std::vector<QWidget*> windows{&view, &settings, &preview};

    const auto switchTo = [&](const char* code) {
        // The window words the same facts anew: no search runs again.
        QSignalSpy searches(&store->session(), &SearchSession::searchStarted);
        QSignalSpy detail(&store->actions(), &FileActionCenter::detailChanged);
        localization.setLanguage(QString::fromLatin1(code));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        ASSERT_TRUE(detail.wait(patience) || detail.count() > 0); // the kind read again
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(searches.count(), 0);
    };
    switchTo("ko");
    EXPECT_TRUE(regex->isChecked()); // retitled in place, nothing rebuilt
    QStringList languages;           // each language's name is written in that language
    for (const Localization::Choice& choice : localization.choices())
        languages << choice.endonym;
    for (const Text& text : everyText(windows).list)
        EXPECT_TRUE(languages.contains(text.text) || englishIn(text.text, homePath).isEmpty())
            << text.where.toStdString() << ": " << text.text.toStdString();

    switchTo("en");
    for (const Text& text : everyText(windows).list) {
        // The language's own name and the Korean example of a setting stay Korean.
        const bool example =
            text.text.contains(QStringLiteral("ㅂㄱㅅ")) || text.text == QStringLiteral("한국어");
        EXPECT_TRUE(example || !hasHangul(text.text))
            << text.where.toStdString() << ": " << text.text.toStdString();
    }

    regex->click();
    searchFor(*store, "reprot");
    ASSERT_GT(store->session().rowCount(), 0);
    auto* status = view.findChild<QLabel*>("statusText");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("No results for “reprot”. Showing ")))
        << status->text().toStdString();
    localization.setLanguage("ko");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    EXPECT_TRUE(status->text().contains(QStringLiteral("reprot")) && hasHangul(status->text()))
        << status->text().toStdString();
    localization.setLanguage("en");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// The first scan's progress: numbers grouped as the locale groups them, the estimate shown
// as the round guess it is, and dropped once the scan has passed it.
TEST(StatusBarText, FirstScanProgressIsGroupedRoundedAndDropsAPassedEstimate) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(StatusBar::progressText(412'000, 1'000'000),
              QStringLiteral("Still indexing: 412,000 of about 1,000,000"));
    EXPECT_EQ(StatusBar::progressText(412'000, 1'452'141),
              QStringLiteral("Still indexing: 412,000 of about 1,500,000"));
    EXPECT_EQ(StatusBar::progressText(96, 97), QStringLiteral("Still indexing: 96 of about 97"));
    EXPECT_EQ(StatusBar::progressText(1'200'000, 1'000'000),
              QStringLiteral("Still indexing: 1,200,000"));
    EXPECT_EQ(StatusBar::progressText(5, 0), QStringLiteral("Still indexing: 5"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(StatusBar::progressText(412'000, 1'000'000),
              QStringLiteral("Still indexing: 412.000 of about 1.000.000"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void eachAccessible(QAccessibleInterface* node,
                    const std::function<void(QAccessibleInterface*)>& visit, int depth = 0) {
    if (!node || depth > 40) return;
    visit(node);
    for (int i = 0; i < std::min(node->childCount(), 400); ++i)
        eachAccessible(node->child(i), visit, depth + 1);
}

QAccessibleInterface* accessibleOf(QWidget& root, const char* name) {
    auto* widget = root.findChild<QWidget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
}

// Every control a screen reader lands on has a name; the count, the detail and the key hints
// are read as their words; a section header says whether it is open.
TEST_F(WindowTextTest, ScreenReadersGetANameForEveryControlAndTheStateOfEverySection) {
    auto store = startedStore();
    store->preferences().setShowSidebar(true);
    PreviewWindow preview(store->session(), store->tasks());
    MainView view(*store, preview);
    view.resize(1180, 760);
    view.show();
    searchFor(*store, "report-1");
    store->session().setSelection(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->actions().detail().has_value(); }, patience));
    view.findChild<QWidget*>("resultList")->setFocus();
    QCoreApplication::sendPostedEvents();

    const QList<QAccessible::Role> controls{
        QAccessible::Button,    QAccessible::CheckBox,     QAccessible::RadioButton,
        QAccessible::ComboBox,  QAccessible::EditableText, QAccessible::ButtonMenu,
        QAccessible::RowHeader, QAccessible::ColumnHeader, QAccessible::ButtonDropDown};
    int named = 0;
    eachAccessible(QAccessible::queryAccessibleInterface(&view), [&](QAccessibleInterface* node) {
        // Row headers are read with their rows even while the header column is not drawn.
        if (!controls.contains(node->role()) ||
            (node->state().invisible && node->role() != QAccessible::RowHeader))
            return;
        const QObject* owner = node->object() ? node->object() : node->parent()->object();
        EXPECT_FALSE(node->text(QAccessible::Name).trimmed().isEmpty())
            << "role " << node->role() << " in " << owner->metaObject()->className() << " '"
            << owner->objectName().toStdString() << "'";
        ++named;
    });
    EXPECT_GT(named, 15);

    const QString count = accessibleOf(view, "statusText")->text(QAccessible::Name);
    EXPECT_TRUE(count.contains(QLocale().toString(store->session().rowCount())))
        << count.toStdString();
    const QString detail = accessibleOf(view, "detailFields")->text(QAccessible::Name);
    EXPECT_TRUE(detail.contains(DisplayText::sizeText(2048))) << detail.toStdString();
    const QString hints = accessibleOf(view, "statusHints")->text(QAccessible::Name);
    EXPECT_TRUE(hints.contains("Preview")) << hints.toStdString();

    QAccessibleInterface* section = accessibleOf(view, "sbNameHeader");
    ASSERT_NE(section, nullptr);
    EXPECT_TRUE(section->state().expandable);
    EXPECT_TRUE(section->state().collapsed);
    EXPECT_FALSE(section->state().expanded);
    section->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(section->state().expanded);
    EXPECT_FALSE(section->state().collapsed);
    EXPECT_TRUE(view.findChild<QWidget*>("useRegex")->isVisibleTo(&view));
}

} // namespace
} // namespace vesko
