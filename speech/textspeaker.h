#pragma once
// What the editor needs of the speech service: the one way to say a text
// and the one way to silence it.

#include <string>

namespace brunzit {

class TextSpeaker {
public:
    virtual ~TextSpeaker() = default;
    // Speaks a Windows-1252 text with the chosen voice, after the exceptions
    // dictionary has rewritten it.
    virtual void SpeakText(const std::string& text) = 0;
    virtual void StopSpeaking() = 0;
    // Whether the voice still says or holds something given to it, where
    // its engine can tell.
    virtual bool StillSpeaking() { return false; }
};

}  // namespace brunzit
