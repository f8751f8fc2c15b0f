#pragma once
// The real main window on the offscreen platform, with a speaker that records
// what reaches the speech service. Keys go to the editor as the user's would,
// each followed by processing the event queue.

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/tformlletra.h"
#include "editor/tformprincipal.h"
#include "speech/textspeaker.h"

namespace brunzit {

class RecordingSpeaker : public TextSpeaker {
public:
    void SpeakText(const std::string& text) override
    {
        spoken.push_back(text);
        log.push_back(text);
        lastAt = std::chrono::steady_clock::now();
        if (duringSpeak)
            duringSpeak();  // a speak that waits runs events meanwhile
    }
    void StopSpeaking() override
    {
        ++stops;
        log.push_back("<stop>");
    }
    bool StillSpeaking() override { return stillSpeaking; }

    std::vector<std::string> spoken;
    std::vector<std::string> log;  // texts and stops in order
    std::function<void()> duringSpeak;
    std::chrono::steady_clock::time_point lastAt{};
    int stops = 0;
    bool stillSpeaking = false;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<TFormPrincipal>();
        lletra = std::make_unique<TFormLletra>();
        lletra->SetMainWindow(form.get());
        form->SetCompanions(nullptr, lletra.get(), nullptr, &speaker);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->Editor->setFocus();
        QCoreApplication::processEvents();
    }

    void TearDown() override
    {
        lletra.reset();
        form.reset();
    }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(form->Editor, key, modifiers);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    void Keys(Qt::Key key, int times)
    {
        for (int i = 0; i < times; ++i)
            Key(key);
    }

    // Scanning: from the start of the letters block, step to an item and
    // choose it. What the steps said is dropped; what the choice says is kept.
    void Choose(int block, int item)
    {
        Keys(Qt::Key_Down, block);
        Keys(Qt::Key_Right, item);
        Said();
        Key(Qt::Key_Return);
    }

    // Grid: move from the current key to (column, row) and choose it, keeping
    // only what the choice says.
    void ChooseKey(int column, int row)
    {
        while (form->Choosing().position().col != column)
            Key(Qt::Key_Right);
        while (form->Choosing().position().row != row)
            Key(Qt::Key_Down);
        Said();
        Key(Qt::Key_Return);
    }

    std::vector<std::string> Said()
    {
        std::vector<std::string> said = std::move(speaker.spoken);
        speaker.spoken.clear();
        return said;
    }

    std::string LastSaid() const { return speaker.spoken.empty() ? std::string() : speaker.spoken.back(); }
    std::string Text() const { return form->EditorText(); }

    void ShowGrid()
    {
        form->MenuTeclatVisibleClick();
        Said();
    }

    using Spoken = std::vector<std::string>;

    RecordingSpeaker speaker;
    std::unique_ptr<TFormPrincipal> form;
    std::unique_ptr<TFormLletra> lletra;
};

}  // namespace brunzit
