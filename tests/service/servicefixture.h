#pragma once
// Shared set-up of the speech service tests: a private folder for the three
// settings files and the recording UPCTV library's log, and the errors the
// service reports.

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/profilefile.h"
#include "speech/speechengines.h"
#include "speech/speechservice.h"
#include "speech/tformtts.h"
#include "speech/upctvvoice.h"
#include "speech/unitfileini.h"
#include "tests/support/recordingvoice.h"

namespace brunzit::testing {

inline const char* const kRecordingUpctv = "libupctv_recording.so";
inline const char* const kNoUpctv = "libupctv_not_installed.so";

class ServiceTest : public ::testing::Test {
protected:
    // The settings writes are queued: done before the folder goes.
    void TearDown() override { ProfileFile::finishQueuedWrites(); }
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        iniPath = folder_.filePath("brunzit.ini").toStdString();
        mussolPath = folder_.filePath("mussol.ini").toStdString();
        logPath = folder_.filePath("upctv.log").toStdString();
        OpenProgramIniAt(iniPath);
        setenv("RECORDING_UPCTV_LOG", logPath.c_str(), 1);
        unsetenv("RECORDING_UPCTV_BUSY");
        unsetenv("DISPLAY");  // the window finder must not reach a real desktop
    }

    SpeechEngines Engines(std::vector<std::string> mspVoices, std::vector<std::string> sapiVoices,
                          const char* upctvLibrary = kRecordingUpctv) {
        SpeechEngines engines;
        engines.createMsp = RecordingVoice::factory(std::move(mspVoices), msp);
        engines.createSapi = RecordingVoice::factory(std::move(sapiVoices), sapi);
        engines.upctvLibrary = upctvLibrary;
        engines.mussolIniPath = mussolPath;
        return engines;
    }

    // The errors it reports go to `errors`.
    std::unique_ptr<SpeechService> Service(SpeechEngines engines, const ExceptionsInUse* exceptions = nullptr) {
        return std::make_unique<SpeechService>(std::move(engines), exceptions,
                                               [this](const std::string& text) { errors.push_back(text); });
    }
    // Two MSP voices, one SAPI voice and the recording UPCTV library.
    std::unique_ptr<SpeechService> FullService() { return Service(Engines({"Veu A", "Veu B"}, {"Veu S"})); }

    static UpctvVoice& Upctv(SpeechService& service) {
        return dynamic_cast<UpctvVoice&>(service.Engine(EngineKind::Upctv));
    }

    std::string Program(const std::string& key) const {
        return ProfileFile(iniPath).read("tts", key, "<absent>");
    }
    std::string Mussol(const std::string& key) const {
        return ProfileFile(mussolPath).read("tts to Wav", key, "<absent>");
    }
    void StoreProgram(const std::string& key, const std::string& value) const {
        ProfileFile(iniPath).write("tts", key, value);
    }

    std::vector<std::string> UpctvCalls() const {
        std::vector<std::string> lines;
        std::ifstream file(logPath, std::ios::binary);
        for (std::string line; std::getline(file, line);) lines.push_back(line);
        return lines;
    }
    void ClearUpctvCalls() const { std::ofstream(logPath, std::ios::binary | std::ios::trunc); }

    std::shared_ptr<VoiceRecord> msp = std::make_shared<VoiceRecord>();
    std::shared_ptr<VoiceRecord> sapi = std::make_shared<VoiceRecord>();
    std::vector<std::string> errors;
    std::string iniPath;
    std::string mussolPath;
    std::string logPath;

private:
    QTemporaryDir folder_;
};

}  // namespace brunzit::testing
