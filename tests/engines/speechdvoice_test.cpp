// Speech Dispatcher engine without a daemon: listed, silent, never blocking.

#include "speech/speechdvoice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>
#include <string>

#include "tests/engines/fakespeechd.h"

namespace brunzit {
namespace {

// Every test points the engine at a socket nobody listens on, and asks it not
// to start a daemon of its own.
class SpeechdVoiceTest : public testing::Test {
protected:
    void SetUp() override { setenv("SPEECHD_ADDRESS", "unix_socket:/nonexistent-brunzit/speechd.sock", 1); }
    void TearDown() override { unsetenv("SPEECHD_ADDRESS"); }
};

// Only the languages the daemon really speaks are offered, and nothing at all
// when no daemon answers.
TEST_F(SpeechdVoiceTest, OffersMaleAndFemaleTypesOfTheDaemonsCatalanAndSpanish)
{
    const std::string ca = "Speech Dispatcher - Catal\xE0, ";
    const std::string es = "Speech Dispatcher - Castell\xE0, ";
    struct Row {
        const char* name;
        bool daemon;
        std::vector<std::string> languages;
        std::vector<std::string> offered;
    };
    const Row rows[] = {
        {"no daemon", false, {}, {}},
        {"both languages", true, {"en", "es", "ca"}, {ca + "home", ca + "dona", es + "home", es + "dona"}},
        {"regional Catalan only", true, {"ca-ES", "en-GB"}, {ca + "home", ca + "dona"}},
        {"neither", true, {"en", "fr"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<test::FakeSpeechd> daemon;
        if (row.daemon) {
            daemon.emplace(row.languages);
            setenv("SPEECHD_ADDRESS", daemon->address().c_str(), 1);
        }
        SpeechdVoice voice(false);
        std::vector<std::string> offered;
        for (int i = 0; i < voice.voiceCount(); ++i)
            offered.push_back(voice.voiceDescription(i));
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ(voice.voiceDescription(static_cast<int>(offered.size())), "");
        EXPECT_EQ(voice.voiceDescription(-1), "");
        EXPECT_EQ(voice.canMakeSound(), !row.offered.empty());
        EXPECT_EQ(voice.chooseVoice(static_cast<int>(offered.size()) - 1), !row.offered.empty());
        EXPECT_FALSE(voice.chooseVoice(static_cast<int>(offered.size())));
    }
}

TEST_F(SpeechdVoiceTest, WithNoDaemonStaysSilentAndNeverBlocks)
{
    testing::internal::CaptureStderr();
    {
        SpeechdVoice voice(false);
        EXPECT_TRUE(voice.isAvailable());
        voice.chooseVoice(1);
        voice.setRate(-10);
        voice.speak("bloc lletres");
        voice.speak("nombres");
        voice.skip();
        voice.speak("bloc");
        EXPECT_FALSE(voice.waitUntilSent());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(SpeechdVoiceTest, QueuesAsMessagesAndCancelsOnlyItsOwnSpeech)
{
    test::FakeSpeechd daemon;
    setenv("SPEECHD_ADDRESS", daemon.address().c_str(), 1);
    {
        SpeechdVoice voice(false);
        voice.setRate(-3);
        voice.chooseVoice(1);
        voice.speak("bloc lletres");
        voice.speak("pa\xEDs");
        EXPECT_TRUE(voice.waitUntilSent());
        voice.setRate(10);
        voice.skip();
        voice.chooseVoice(2);
        EXPECT_TRUE(voice.waitUntilSent());
    }
    ASSERT_TRUE(daemon.waitUntilClosed());
    std::vector<std::string> commands = daemon.commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front().rfind("SET SELF CLIENT_NAME", 0), 0u) << commands.front();
    commands.erase(commands.begin());
    const std::vector<std::string> expected = {
        "SET SELF RATE 0",  // on connecting: the engine's normal speed
        "SET SELF RATE -30",
        "SET SELF LANGUAGE ca",
        "SET SELF VOICE_TYPE FEMALE1",
        "SET SELF PRIORITY MESSAGE",  // queues; TEXT would cut the previous one
        "speak bloc lletres",
        "SET SELF PRIORITY MESSAGE",
        "speak pa\xC3\xADs",  // UTF-8 on the wire
        "SET SELF RATE 100",
        "CANCEL SELF",  // never CANCEL ALL: other clients keep talking
        "SET SELF LANGUAGE es",
        "SET SELF VOICE_TYPE MALE1",
    };
    EXPECT_EQ(commands, expected);
}

TEST_F(SpeechdVoiceTest, TextsNotYetSentAreDroppedBySkip)
{
    test::FakeSpeechd daemon;
    setenv("SPEECHD_ADDRESS", daemon.address().c_str(), 1);
    {
        SpeechdVoice voice(false);
        // Given before the connection is up: still waiting in the engine.
        voice.speak("bloc lletres");
        voice.speak("nombres");
        voice.skip();
        voice.speak("bloc");
        EXPECT_TRUE(voice.waitUntilSent());
    }
    ASSERT_TRUE(daemon.waitUntilClosed());
    std::vector<std::string> spoken;
    for (const std::string& c : daemon.commands())
        if (c.rfind("speak", 0) == 0)
            spoken.push_back(c);
    EXPECT_EQ(spoken, std::vector<std::string>{"speak bloc"});
}

}  // namespace
}  // namespace brunzit
