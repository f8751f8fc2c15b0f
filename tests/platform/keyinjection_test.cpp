// Injected keys arrive after the event being handled, press then release,
// at the widget with the focus.

#include <gtest/gtest.h>

#include <ostream>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QWidget>

#include <vector>

#include "platform/keyinjection.h"

namespace brunzit {
namespace {

struct SeenKey {
    QEvent::Type type;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
};

class KeyRecorder : public QObject {
public:
    std::vector<SeenKey> seen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            seen.push_back({event->type(), key->key(), key->modifiers(), key->text()});
        }
        return QObject::eventFilter(watched, event);
    }
};

class KeyInjection : public testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(line = new QLineEdit);
        layout->addWidget(editor = new QPlainTextEdit);
        window.show();
        window.activateWindow();
        QApplication::processEvents();
    }
    QWidget window;
    QLineEdit* line = nullptr;
    QPlainTextEdit* editor = nullptr;
};

struct StrokeCase {
    const char* name;
    void (*inject)();
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
};
inline void PrintTo(const StrokeCase& c, std::ostream* os)
{
    *os << c.name;
}

class KeyInjectionStroke : public KeyInjection, public testing::WithParamInterface<StrokeCase> {};

TEST_P(KeyInjectionStroke, PostsPressThenRelease)
{
    const StrokeCase& c = GetParam();
    line->setFocus();
    QApplication::processEvents();
    KeyRecorder recorder;
    line->installEventFilter(&recorder);
    c.inject();
    EXPECT_TRUE(recorder.seen.empty()) << "delivered before the current event ended";
    QApplication::processEvents();
    ASSERT_EQ(recorder.seen.size(), 2u);
    EXPECT_EQ(recorder.seen[0].type, QEvent::KeyPress);
    EXPECT_EQ(recorder.seen[1].type, QEvent::KeyRelease);
    for (const SeenKey& key : recorder.seen) {
        EXPECT_EQ(key.key, c.key);
        EXPECT_EQ(key.modifiers, c.modifiers);
        EXPECT_EQ(key.text, c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyInjectionStroke,
    testing::Values(StrokeCase {"return", injectReturn, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r")},
                    StrokeCase {"ctrl_end", injectCtrlEnd, Qt::Key_End, Qt::ControlModifier, QString()}),
    [](const testing::TestParamInfo<StrokeCase>& info) { return std::string(info.param.name); });

TEST_F(KeyInjection, CtrlEndMovesTheCaretOfTheFocusedEditor)
{
    editor->setPlainText(QStringLiteral("first line\nsecond line"));
    editor->moveCursor(QTextCursor::Start);
    editor->setFocus();
    QApplication::processEvents();
    injectCtrlEnd();
    QApplication::processEvents();
    EXPECT_EQ(editor->textCursor().position(), editor->toPlainText().size());
}

TEST_F(KeyInjection, KeyInjectedFromAKeyHandlerComesAfterIt)
{
    // A handler of Return that injects Ctrl+End sees its own key finish first.
    editor->setFocus();
    QApplication::processEvents();
    KeyRecorder recorder;
    editor->installEventFilter(&recorder);
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    injectCtrlEnd();
    QApplication::sendEvent(editor, &typed);
    QApplication::processEvents();
    ASSERT_EQ(recorder.seen.size(), 3u);
    EXPECT_EQ(recorder.seen[0].key, Qt::Key_A);
    EXPECT_EQ(recorder.seen[1].key, Qt::Key_End);
    EXPECT_EQ(recorder.seen[2].key, Qt::Key_End);
}

}  // namespace
}  // namespace brunzit
