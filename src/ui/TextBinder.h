// SPDX-License-Identifier: GPL-3.0-or-later
// Remembers the English text behind every caption, placeholder and choice of a view, so that
// a language switch re-sets them all in place: no view is rebuilt and no state is lost.
// Texts are marked with QT_TR_NOOP in the view's own member functions, so they are found
// for translation under the view's class.
#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

class QComboBox;
class QLineEdit;

namespace vesko {

class TextBinder {
public:
    // `context` is the translation context, the view's class name.
    explicit TextBinder(const char* context) : context_(context) {}

    // A label, button, check box or group box, also the accessible name of `named` (the
    // control a label describes) when given.
    void text(QWidget* shown, const char* source, QWidget* named = nullptr);
    void placeholder(QLineEdit* field, const char* source);
    // The choices of a combo box, in item order.
    void items(QComboBox* box, std::vector<const char*> sources);

    // Sets every text in the current language.
    void apply() const;
    QString translated(const char* source) const;

private:
    struct Caption {
        QPointer<QWidget> shown;
        const char* source;
        QPointer<QWidget> named;
    };
    struct Placeholder {
        QPointer<QLineEdit> field;
        const char* source;
    };
    struct Items {
        QPointer<QComboBox> box;
        std::vector<const char*> sources;
    };

    const char* context_;
    std::vector<Caption> captions_;
    std::vector<Placeholder> placeholders_;
    std::vector<Items> items_;
};

} // namespace vesko
