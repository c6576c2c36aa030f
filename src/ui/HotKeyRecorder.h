// SPDX-License-Identifier: GPL-3.0-or-later
// Records the global hot key: a click starts recording, the next key pressed with a
// modifier becomes the shortcut, Escape cancels. Below the field it shows why a press was
// refused and why the stored shortcut could not be registered.
#pragma once

#include <QWidget>

class QKeyEvent;
class QLabel;
class QPushButton;

namespace vesko {

class Preferences;
class ShortcutField;

class HotKeyRecorder : public QWidget {
    Q_OBJECT

public:
    explicit HotKeyRecorder(Preferences& preferences, QWidget* parent = nullptr);
    ~HotKeyRecorder() override;

    bool isRecording() const;
    // Why the stored shortcut could not be registered; empty while it is.
    void setProblem(const QString& problem);

    // The stored modifier mask of a key event's modifiers (Super 0x100, Shift 0x200,
    // Alt 0x800, Ctrl 0x1000); keypad and other flags do not count.
    static int modifierMask(Qt::KeyboardModifiers modifiers);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void capture(const QKeyEvent& event);
    void setComplaint(const QString& complaint);
    void refresh();

    Preferences& preferences_;
    QString problemText_;
    ShortcutField* field_;
    QPushButton* defaultButton_;
    QLabel* complaint_;
    QLabel* problem_;
};

} // namespace vesko
