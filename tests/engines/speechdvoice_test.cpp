// Speech Dispatcher engine without a daemon: listed, silent, never blocking.

#include "speech/speechdvoice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

}  // namespace
}  // namespace brunzit
