// Speech Dispatcher engine without a daemon: listed, silent, never blocking.

#include "speech/speechdvoice.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

TEST_F(SpeechdVoiceTest, OffersCatalanAndSpanishMaleAndFemaleVoiceTypes)
{
    SpeechdVoice voice(false);
    ASSERT_EQ(voice.voiceCount(), 4);
    const char* expected[] = {
        "Speech Dispatcher - Catal\xE0, home",
        "Speech Dispatcher - Catal\xE0, dona",
        "Speech Dispatcher - Castell\xE0, home",
        "Speech Dispatcher - Castell\xE0, dona",
    };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(voice.voiceDescription(i), expected[i]) << i;
    EXPECT_EQ(voice.voiceDescription(4), "");
    EXPECT_EQ(voice.voiceDescription(-1), "");
    EXPECT_TRUE(voice.chooseVoice(3));
    EXPECT_FALSE(voice.chooseVoice(4));
    EXPECT_FALSE(voice.chooseVoice(-1));
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
