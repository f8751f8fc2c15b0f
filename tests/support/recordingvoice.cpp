#include "tests/support/recordingvoice.h"

#include <utility>

namespace brunzit {

void VoiceRecord::finishOne() {
    if (queued.empty()) return;
    said.push_back(queued.front());
    queued.erase(queued.begin());
}

void VoiceRecord::clear() {
    *this = VoiceRecord{};
}

RecordingVoice::RecordingVoice(std::vector<std::string> voices, std::shared_ptr<VoiceRecord> record,
                               bool available)
    : voices_(std::move(voices)), record_(std::move(record)), available_(available) {}

int RecordingVoice::voiceCount() {
    record_->calls.push_back("count");
    return countFails_ ? -1 : static_cast<int>(voices_.size());
}

std::string RecordingVoice::voiceDescription(int index) {
    record_->calls.push_back("describe " + std::to_string(index));
    if (index == descriptionFailsAt_ || index < 0 || index >= static_cast<int>(voices_.size())) return {};
    return voices_[static_cast<size_t>(index)];
}

bool RecordingVoice::chooseVoice(int index) {
    record_->calls.push_back("choose " + std::to_string(index));
    record_->chosen.push_back(index);
    if (index < 0 || index >= static_cast<int>(voices_.size())) return false;
    current_ = index;
    return true;
}

void RecordingVoice::speak(const std::string& text) {
    record_->calls.push_back("speak " + text);
    record_->spoken.push_back(text);
    record_->queued.push_back(text);
}

void RecordingVoice::skip() {
    record_->calls.push_back("skip");
    ++record_->skips;
    record_->queued.clear();
}

void RecordingVoice::setRate(int rate) {
    record_->calls.push_back("rate " + std::to_string(rate));
    record_->rates.push_back(rate);
}

std::function<std::unique_ptr<VoiceEngine>()> RecordingVoice::factory(std::vector<std::string> voices,
                                                                      std::shared_ptr<VoiceRecord> record,
                                                                      bool available) {
    return [voices = std::move(voices), record = std::move(record), available]() -> std::unique_ptr<VoiceEngine> {
        return std::make_unique<RecordingVoice>(voices, record, available);
    };
}

}  // namespace brunzit
